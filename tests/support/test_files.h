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

// The names in a folder, sorted.
std::vector<std::wstring> namesIn(const std::wstring& folder);

// The whole content of a file; false when it cannot be read.
bool readWholeFile(const std::wstring& path, std::string* bytes);
bool writeWholeFile(const std::wstring& path, const std::string& bytes);

// A symbolic link made or repointed by the Linux side, since Wine 8 cannot make one: link (a
// Windows path) then leads to target, a name beside it. Returns once the link leads to a folder
// holding witness, false when it does not within seconds.
bool pointLinkAt(const std::wstring& link, const std::wstring& target, const std::wstring& witness);
// Removes such a link (not what it leads to).
bool removeLink(const std::wstring& link);
// The folder that the UNC path \\server\share leads to under Wine, which keeps shares in the
// prefix's dosdevices\unc folder, as a path on drive Z:; made when missing. Empty without Wine.
std::wstring wineShareFolder(const std::wstring& server, const std::wstring& share);

#include "checker_remote/checker_remote.h"  // checkerExePath
