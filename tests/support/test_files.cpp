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
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(full);
            else DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
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

std::vector<std::wstring> TempDirectory::names() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((widePath() + L"\\*").c_str(), &found);
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
