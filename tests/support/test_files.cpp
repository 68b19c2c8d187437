#include "support/test_files.h"

#include <windows.h>
#include <mscat.h>
#include <softpub.h>

#include <stdio.h>

#include <algorithm>

namespace {

void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = folder + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) removeLink(full);
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(full);
            else DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// Runs a Linux command line under Wine and waits until done() holds.
template <typename Done>
bool runOnLinux(const std::wstring& commandLine, Done done) {
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(0);
    if (!CreateProcessW(NULL, writable.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);  // Wine does not wait for a Linux process: its effect is waited for
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        Sleep(10);
    }
    return false;
}

// The Linux path of a Windows path's folder, through Wine's own mapping, with the last name as
// it is (a link there is not followed).
std::wstring linuxPath(const std::wstring& path) {
    typedef char*(CDECL * UnixFileName)(LPCWSTR);
    const UnixFileName unixName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    const size_t slash = path.rfind(L'\\');
    char* folder = unixName && slash != std::wstring::npos ? unixName(path.substr(0, slash).c_str()) : NULL;
    if (!folder) return std::wstring();
    wchar_t wide[MAX_PATH * 2] = L"";
    MultiByteToWideChar(CP_UTF8, 0, folder, -1, wide, MAX_PATH * 2);
    HeapFree(GetProcessHeap(), 0, folder);
    return std::wstring(wide) + L"/" + path.substr(slash + 1);
}

}  // namespace

TempDirectory::TempDirectory() {
    char base[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, base);
    char name[64];
    static unsigned counter = 0;
    _snprintf(name, sizeof(name), "hvtest-%lu-%u", GetCurrentProcessId(), ++counter);
    path_ = std::string(base) + name;
    CreateDirectoryA(path_.c_str(), NULL);
}

TempDirectory::~TempDirectory() { removeTree(widePath()); }

std::wstring TempDirectory::widePath() const { return std::wstring(path_.begin(), path_.end()); }

std::string TempDirectory::write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string full = path_ + "\\" + name;
    FILE* f = fopen(full.c_str(), "wb");
    if (f) {
        if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    return full;
}

std::vector<std::wstring> TempDirectory::names() const { return namesIn(widePath()); }

std::vector<std::wstring> namesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool readWholeFile(const std::wstring& path, std::string* bytes) {
    bytes->clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof(chunk), &got, NULL) != 0) && got > 0) bytes->append(chunk, got);
    CloseHandle(file);
    return ok;
}

bool writeWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, NULL) && written == bytes.size();
    return CloseHandle(file) && ok;
}

namespace {
const wchar_t kCatalogueName[] = L"hv_test_catalogue.cat";
}

InstalledCatalogue::InstalledCatalogue(const std::wstring& path) {
    GUID drivers = DRIVER_ACTION_VERIFY;
    HCATADMIN admin = NULL;
    if (!CryptCATAdminAcquireContext(&admin, &drivers, 0)) return;
    admin_ = admin;
    HCATINFO added = CryptCATAdminAddCatalog(admin, const_cast<wchar_t*>(path.c_str()),
                                             const_cast<wchar_t*>(kCatalogueName), 0);
    if (!added) return;
    CATALOG_INFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbStruct = sizeof(info);
    if (CryptCATCatalogInfoFromContext(added, &info, 0)) installedPath_ = info.wszCatalogFile;
    CryptCATAdminReleaseCatalogContext(admin, added, 0);
}

InstalledCatalogue::~InstalledCatalogue() {
    if (!admin_) return;
    CryptCATAdminRemoveCatalog(static_cast<HCATADMIN>(admin_), kCatalogueName, 0);
    CryptCATAdminReleaseContext(static_cast<HCATADMIN>(admin_), 0);
}

bool pointLinkAt(const std::wstring& link, const std::wstring& target, const std::wstring& witness) {
    const std::wstring unixLink = linuxPath(link);
    if (unixLink.empty()) return false;
    const std::wstring seen = link + L"\\" + witness;
    return runOnLinux(L"/bin/ln -sfn \"" + target + L"\" \"" + unixLink + L"\"",
                      [&] { return GetFileAttributesW(seen.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

bool removeLink(const std::wstring& link) {
    const std::wstring unixLink = linuxPath(link);
    if (unixLink.empty()) return false;
    return runOnLinux(L"/bin/rm -f \"" + unixLink + L"\"",
                      [&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

std::wstring wineShareFolder(const std::wstring& server, const std::wstring& share) {
    std::wstring drive = linuxPath(L"C:\\windows\\x");  // <prefix>/dosdevices/c:/windows/x
    const size_t at = drive.rfind(L"/c:/");
    if (at == std::wstring::npos) return std::wstring();
    std::wstring folder = L"Z:" + drive.substr(0, at) + L"/unc";
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    CreateDirectoryW(folder.c_str(), NULL);
    for (const std::wstring& part : {server, share}) {
        folder += L"\\" + part;
        CreateDirectoryW(folder.c_str(), NULL);
    }
    return folder;
}
