#include "support/test_files.h"

#include <windows.h>

#include <stdio.h>

TempDirectory::TempDirectory() {
    char base[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, base);
    char name[64];
    static unsigned counter = 0;
    _snprintf(name, sizeof(name), "hvtest-%lu-%u", GetCurrentProcessId(), ++counter);
    path_ = std::string(base) + name;
    CreateDirectoryA(path_.c_str(), NULL);
}

TempDirectory::~TempDirectory() {
    for (const std::string& f : files_) DeleteFileA(f.c_str());
    RemoveDirectoryA(path_.c_str());
}

std::string TempDirectory::write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string full = path_ + "\\" + name;
    FILE* f = fopen(full.c_str(), "wb");
    if (f) {
        if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    files_.push_back(full);
    return full;
}
