#include "app/safe_file.h"

#include <ntsecapi.h>
#include <string.h>
#include <wchar.h>

#include "base/owners.h"

namespace {

// The NT calls that act on an open file rather than on a name: the temporary file is renamed
// over the report, or deleted, through the handle that created it, so that nothing another
// user puts at its name in between is ever moved or deleted. ntdll is in every process.
struct IoStatusBlock {
    LONG status;
    ULONG_PTR information;
};
typedef LONG(WINAPI* SetInformationFileCall)(HANDLE file, IoStatusBlock* status, void* information,
                                             ULONG length, int informationClass);
const int kFileRenameInformation = 10;
const int kFileDispositionInformation = 13;

LONG setFileInformation(HANDLE file, void* information, ULONG length, int informationClass) {
    static const SetInformationFileCall call = reinterpret_cast<SetInformationFileCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
    if (!call) return LONG(0xC0000002);  // STATUS_NOT_IMPLEMENTED
    IoStatusBlock status = {0, 0};
    return call(file, &status, information, length, informationClass);
}

// The NT form of a full Win32 path: "\??\C:\..." or "\??\UNC\server\share\...".
bool toNtPath(const wchar_t* path, wchar_t* out, size_t capacity) {
    const wchar_t* rest = path;
    const wchar_t* prefix = L"\\??\\";
    if (wcsncmp(path, L"\\\\?\\", 4) == 0 || wcsncmp(path, L"\\??\\", 4) == 0) {
        rest = path + 4;
    } else if (path[0] == L'\\' && path[1] == L'\\') {
        prefix = L"\\??\\UNC\\";
        rest = path + 2;
    }
    const int length = _snwprintf(out, capacity, L"%ls%ls", prefix, rest);
    return length > 0 && size_t(length) < capacity;
}

// Only a plain file with this one name may take the report: what the handle reaches must not be
// a link another name also reaches, a reparse point, a folder or a device.
bool isPlainFileOfOneLink(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) return false;
    return info.nNumberOfLinks == 1 &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// The temporary file beside the report under a name nobody can predict, created only where no
// file or link of that name exists. Everything is done through its own handle; when the report
// does not take its place, the file it created, and only that, is deleted.
class TemporaryFile {
public:
    ~TemporaryFile() {
        if (!file_.valid()) return;
        const DWORD error = GetLastError();  // the caller's reason, not the clean-up's
        if (!moved_) {
            BOOLEAN deleteFile = TRUE;
            setFileInformation(file_.get(), &deleteFile, sizeof(deleteFile), kFileDispositionInformation);
        }
        file_.reset();
        SetLastError(error);
    }

    bool create(const wchar_t* target) {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            uint32_t random[2] = {0, 0};
            if (!g_reportFileRandom(random, sizeof(random))) {
                SetLastError(ERROR_GEN_FAILURE);
                return false;
            }
            wchar_t path[kCapacity];
            // A name cut short could end up naming the report itself; such a path fails instead.
            const int length = _snwprintf(path, kCapacity, L"%ls.%08lx%08lx.tmp", target,
                                          (unsigned long)random[0], (unsigned long)random[1]);
            if (length <= 0 || length >= MAX_PATH) {
                SetLastError(ERROR_FILENAME_EXCED_RANGE);
                return false;
            }
            // CREATE_NEW fails on any name that exists, a dangling link included; a reparse point
            // is never followed.
            HANDLE file = CreateFileW(path, GENERIC_WRITE | DELETE, 0, NULL, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
            if (file == INVALID_HANDLE_VALUE) {
                const DWORD error = GetLastError();
                if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
                return false;
            }
            file_.reset(file);
            if (isPlainFileOfOneLink(file_.get())) return true;
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    HANDLE handle() const { return file_.get(); }

    // Renames the open file over target, replacing whatever name is there (never writing
    // through it), then flushes the rename to the disk.
    bool moveOver(const wchar_t* target) {
        wchar_t ntPath[kCapacity + 8];
        if (!toNtPath(target, ntPath, kCapacity + 8)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        const size_t nameBytes = wcslen(ntPath) * sizeof(wchar_t);
        struct {
            BOOLEAN replaceIfExists;
            HANDLE rootDirectory;
            ULONG fileNameLength;
            wchar_t fileName[kCapacity + 8];
        } rename;
        rename.replaceIfExists = TRUE;
        rename.rootDirectory = NULL;
        rename.fileNameLength = ULONG(nameBytes);
        memcpy(rename.fileName, ntPath, nameBytes + sizeof(wchar_t));
        const LONG status = setFileInformation(file_.get(), &rename, ULONG(sizeof(rename)), kFileRenameInformation);
        if (status < 0) {
            SetLastError(statusToError(status));
            return false;
        }
        moved_ = true;
        FlushFileBuffers(file_.get());  // the new name, like the data, reaches the disk
        file_.reset();
        return true;
    }

private:
    static DWORD statusToError(LONG status) {
        typedef ULONG(WINAPI * ToError)(LONG);
        static const ToError convert = reinterpret_cast<ToError>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
        return convert ? DWORD(convert(status)) : ERROR_ACCESS_DENIED;
    }
    // Paths longer than MAX_PATH do not open on XP anyway; the rest is for the suffix.
    static const int kCapacity = MAX_PATH + 32;
    // Names of 64 random bits do not collide by chance; a few tries get past planted ones.
    static const int kAttempts = 8;
    Handle file_;
    bool moved_ = false;
};

BOOLEAN WINAPI systemRandom(PVOID buffer, ULONG size) { return RtlGenRandom(buffer, size); }

}  // namespace

BOOLEAN(WINAPI* g_reportFileRandom)(PVOID buffer, ULONG size) = systemRandom;

bool writeAll(HANDLE file, const void* bytes, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, NULL) && written == size;
}

int32_t replaceFileSafely(const wchar_t* path, const FileContent& content) {
    if (!path || !path[0]) {
        SetLastError(ERROR_INVALID_NAME);
        return REPORT_FILE_NO_PATH;
    }
    // Windows refuses to replace a read-only file, Wine does not: asking first keeps it
    // unchanged on both.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return REPORT_FILE_NOT_REPLACEABLE;
    }

    wchar_t fullPath[MAX_PATH];
    const DWORD length = GetFullPathNameW(path, MAX_PATH, fullPath, NULL);
    if (length == 0 || length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return REPORT_FILE_CANNOT_CREATE;
    }
    TemporaryFile temporary;
    if (!temporary.create(fullPath)) return REPORT_FILE_CANNOT_CREATE;
    if (!content.write(temporary.handle(), content.context) || !FlushFileBuffers(temporary.handle()))
        return REPORT_FILE_CANNOT_WRITE;
    if (!temporary.moveOver(fullPath)) return REPORT_FILE_CANNOT_REPLACE;
    return REPORT_FILE_OK;
}
