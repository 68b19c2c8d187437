// Files for tests: a temporary folder removed with everything in it, whoever wrote it.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::wstring widePath() const;
    // Writes a file into the folder and returns its full path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes);
    // The names in the folder, sorted.
    std::vector<std::wstring> names() const;

private:
    std::string path_;
};

// A catalogue (.cat) added to the system's catalogues of drivers, as an installer adds one, and
// removed again at the end of its life. The built test catalogue (bin\\signed\\catalogue.cat)
// lists bin\\signed\\catalogued.sys and is signed by the throwaway test signer.
class InstalledCatalogue {
public:
    explicit InstalledCatalogue(const std::wstring& path);
    ~InstalledCatalogue();
    InstalledCatalogue(const InstalledCatalogue&) = delete;
    InstalledCatalogue& operator=(const InstalledCatalogue&) = delete;

    bool added() const { return !installedPath_.empty(); }
    // Where Windows keeps it now.
    const std::wstring& installedPath() const { return installedPath_; }

private:
    void* admin_ = nullptr;
    std::wstring installedPath_;
};

// The whole content of a file; false when it cannot be read.
bool readWholeFile(const std::wstring& path, std::string* bytes);
bool writeWholeFile(const std::wstring& path, const std::string& bytes);

#include "driver/checker_driver.h"  // checkerExePath
