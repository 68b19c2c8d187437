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

// The whole content of a file; false when it cannot be read.
bool readWholeFile(const std::wstring& path, std::string* bytes);
bool writeWholeFile(const std::wstring& path, const std::string& bytes);

#include "driver/checker_driver.h"  // checkerExePath
