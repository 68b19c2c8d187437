#include "app/safe_file.h"

#include <ntsecapi.h>
#include <string.h>
#include <wchar.h>

#include "base/owners.h"
#include "base/system_functions.h"

namespace {

// NtCreateFile's dispositions and options, and the information classes used here.
const ULONG kFileOpen = 1;
const ULONG kFileCreate = 2;
const ULONG kSynchronousIoNonAlert = 0x20;
const ULONG kNonDirectoryFile = 0x40;
const ULONG kOpenReparsePoint = 0x00200000;
const int kFileRenameInformation = 10;
const int kFileDispositionInformation = 13;
const NTSTATUS kStatusNotImplemented = NTSTATUS(0xC0000002);
const NTSTATUS kStatusObjectNameCollision = NTSTATUS(0xC0000035);


NTSTATUS WINAPI ntCreateFile(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes, IO_STATUS_BLOCK* status,
                             LARGE_INTEGER* allocationSize, ULONG fileAttributes, ULONG share, ULONG disposition,
                             ULONG options, void* extendedAttributes, ULONG extendedAttributesLength) {
    const auto call = systemFunctions().ntCreateFile;
    if (!call) return kStatusNotImplemented;
    return call(file, access, attributes, status, allocationSize, fileAttributes, share, disposition, options,
                extendedAttributes, extendedAttributesLength);
}

NTSTATUS WINAPI ntSetInformationFile(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length,
                                     int informationClass) {
    const auto call = systemFunctions().ntSetInformationFile;
    if (!call) return kStatusNotImplemented;
    return call(file, status, information, length, informationClass);
}

NTSTATUS WINAPI ntQueryInformationFile(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length,
                                       int informationClass) {
    const auto call = systemFunctions().ntQueryInformationFile;
    if (!call) return kStatusNotImplemented;
    return call(file, status, information, length, informationClass);
}

DWORD errorOf(NTSTATUS status) {
    const auto convert = systemFunctions().rtlNtStatusToDosError;
    return convert ? DWORD(convert(status)) : ERROR_ACCESS_DENIED;
}

NTSTATUS setFileInformation(HANDLE file, void* information, ULONG length, int informationClass) {
    IO_STATUS_BLOCK status;
    return g_safeFileCalls.setInformationFile(file, &status, information, length, informationClass);
}

// Opens or creates name (one name, no folder in it) inside the open folder, for synchronous
// I/O, never following a link at that name.
NTSTATUS openInFolder(HANDLE folder, const wchar_t* name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, Handle* file) {
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<wchar_t*>(name);
    objectName.Length = USHORT(wcslen(name) * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes;
    ZeroMemory(&attributes, sizeof(attributes));
    attributes.Length = sizeof(attributes);
    attributes.RootDirectory = folder;
    attributes.ObjectName = &objectName;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;  // as Win32 names files
    IO_STATUS_BLOCK status;
    HANDLE opened = NULL;
    const NTSTATUS result =
        g_safeFileCalls.createFile(&opened, access | SYNCHRONIZE, &attributes, &status, NULL, FILE_ATTRIBUTE_NORMAL,
                                   share, disposition, options | kSynchronousIoNonAlert | kOpenReparsePoint, NULL, 0);
    if (result >= 0) file->reset(opened);
    return result;
}

// Whether the reparse point the handle reaches stands for another name (a junction or a
// symbolic link), rather than for data kept elsewhere (a cloud folder, which OneDrive's
// Documents are). Unknown counts as a link.
bool isLinkToAnotherName(HANDLE handle) {
    struct {
        ULONG fileAttributes;
        ULONG reparseTag;
    } tag = {0, 0};
    IO_STATUS_BLOCK status;
    const int kFileAttributeTagInformation = 35;
    if (g_safeFileCalls.queryInformationFile(handle, &status, &tag, sizeof(tag), kFileAttributeTagInformation) < 0)
        return true;
    return (tag.reparseTag & 0x20000000) != 0;  // the name-surrogate bit of the tag
}

// The report's folder, opened once. What the handle reaches must be a folder on a disk, and not
// itself a junction or link: one that someone can repoint is not a folder to trust.
bool openFolder(const wchar_t* path, Handle* folder) {
    folder->reset(g_safeFileCalls.createFileW(path, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                              NULL));
    if (!folder->valid()) {
        // The folder is part of the report's path: a missing one is a path not found.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(folder->get()) != FILE_TYPE_DISK ||
        !g_safeFileCalls.getFileInformationByHandle(folder->get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkToAnotherName(folder->get())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

// Windows refuses to replace a read-only file, Wine does not: asking first keeps it unchanged
// on both. A folder at the name is no file to replace either.
bool isReplaceable(HANDLE folder, const wchar_t* name) {
    Handle target;
    if (openInFolder(folder, name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     kFileOpen, 0, &target) < 0)
        return true;  // nothing there (or nothing to ask): the rename decides
    BY_HANDLE_FILE_INFORMATION info;
    return !g_safeFileCalls.getFileInformationByHandle(target.get(), &info) ||
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
}

// Only a plain file with this one name may take the report: what the handle reaches must not be
// a link another name also reaches, a reparse point, a folder or a device.
bool isPlainFileOfOneLink(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !g_safeFileCalls.getFileInformationByHandle(file, &info)) return false;
    return info.nNumberOfLinks == 1 &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// The temporary file in the opened folder under a name nobody can predict, created only where no
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

    // name: the report's name in the folder; pathLength: the length of its full path, which
    // with the temporary name's suffix must stay within MAX_PATH.
    bool create(HANDLE folder, const wchar_t* name, size_t pathLength) {
        if (pathLength + kSuffixLength >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            uint32_t random[2] = {0, 0};
            if (!g_safeFileCalls.temporaryNameRandom(random, sizeof(random))) {
                SetLastError(ERROR_GEN_FAILURE);
                return false;
            }
            wchar_t temporaryName[MAX_PATH];
            _snwprintf(temporaryName, MAX_PATH, L"%ls.%08lx%08lx.tmp", name, (unsigned long)random[0],
                       (unsigned long)random[1]);
            temporaryName[MAX_PATH - 1] = 0;
            // FILE_CREATE fails on any name that exists, a dangling link included.
            const NTSTATUS status = openInFolder(folder, temporaryName, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES,
                                                 0, kFileCreate, kNonDirectoryFile, &file_);
            if (status == kStatusObjectNameCollision) continue;
            if (status < 0) {
                SetLastError(errorOf(status));
                return false;
            }
            folder_ = folder;
            if (isPlainFileOfOneLink(file_.get())) return true;
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    HANDLE handle() const { return file_.get(); }

    // Renames the open file to name in the same opened folder, replacing whatever is there
    // (never writing through it), then flushes the rename to the disk.
    bool moveOver(const wchar_t* name) {
        const size_t nameBytes = wcslen(name) * sizeof(wchar_t);
        struct {
            BOOLEAN replaceIfExists;
            HANDLE rootDirectory;
            ULONG fileNameLength;
            wchar_t fileName[MAX_PATH];
        } rename;
        rename.replaceIfExists = TRUE;
        rename.rootDirectory = folder_;
        rename.fileNameLength = ULONG(nameBytes);
        memcpy(rename.fileName, name, nameBytes + sizeof(wchar_t));
        const NTSTATUS status = setFileInformation(file_.get(), &rename, ULONG(sizeof(rename)), kFileRenameInformation);
        if (status < 0) {
            SetLastError(errorOf(status));
            return false;
        }
        moved_ = true;
        FlushFileBuffers(file_.get());  // the new name, like the data, reaches the disk
        file_.reset();
        return true;
    }

private:
    // ".<16 hex digits>.tmp"
    static const size_t kSuffixLength = 21;
    // Names of 64 random bits do not collide by chance; a few tries get past planted ones.
    static const int kAttempts = 8;
    Handle file_;
    HANDLE folder_ = NULL;
    bool moved_ = false;
};

BOOLEAN WINAPI systemRandom(PVOID buffer, ULONG size) { return RtlGenRandom(buffer, size); }

}  // namespace

SafeFileCalls g_safeFileCalls = {ntCreateFile, ntSetInformationFile, ntQueryInformationFile, CreateFileW,
                                 GetFileInformationByHandle, systemRandom};

bool writeAll(HANDLE file, const void* bytes, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, NULL) && written == size;
}

SafeFileResult replaceFileSafely(const wchar_t* path, const FileContent& content) {
    if (!path || !path[0]) {
        SetLastError(ERROR_INVALID_NAME);
        return SAFE_FILE_NO_PATH;
    }
    // The full path ("\\?\", "\\.\" and UNC forms included) split into its folder, kept with
    // its last backslash so that a drive's root stays one, and the file's name.
    wchar_t folderPath[MAX_PATH];
    const DWORD length = GetFullPathNameW(path, MAX_PATH, folderPath, NULL);
    if (length == 0 || length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return SAFE_FILE_CANNOT_CREATE;
    }
    wchar_t* lastSeparator = wcsrchr(folderPath, L'\\');
    if (!lastSeparator) {
        SetLastError(ERROR_INVALID_NAME);
        return SAFE_FILE_NO_PATH;
    }
    wchar_t name[MAX_PATH];
    memcpy(name, lastSeparator + 1, (wcslen(lastSeparator + 1) + 1) * sizeof(wchar_t));
    lastSeparator[1] = 0;
    // A colon in the name would name a stream of another file. Windows takes a "\\?\" path as it
    // stands, a slash in it as part of the name, which would then name a file in a folder below
    // the one opened, reached past its link check (Wine splits there, with the same effect).
    if (wcschr(name, L':') || (wcsncmp(path, L"\\\\?\\", 4) == 0 && wcschr(path, L'/'))) {
        SetLastError(ERROR_INVALID_NAME);
        return SAFE_FILE_NO_PATH;
    }

    Handle folder;
    if (!openFolder(folderPath, &folder)) return SAFE_FILE_CANNOT_CREATE;
    if (!name[0] || !isReplaceable(folder.get(), name)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return SAFE_FILE_NOT_REPLACEABLE;
    }
    TemporaryFile temporary;
    if (!temporary.create(folder.get(), name, length)) return SAFE_FILE_CANNOT_CREATE;
    if (!content.write(temporary.handle(), content.context) || !FlushFileBuffers(temporary.handle()))
        return SAFE_FILE_CANNOT_WRITE;
    if (!temporary.moveOver(name)) return SAFE_FILE_CANNOT_REPLACE;
    return SAFE_FILE_OK;
}
