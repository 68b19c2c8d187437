// Replacing a file safely, also in folders others can write in: the new content goes into a new
// temporary file beside it and is renamed over it, all through the program's own handles.
#pragma once

#include <windows.h>
#include <winternl.h>
#include <stdint.h>

#include "base/system_functions.h"

// What became of a replacement.
enum SafeFileResult : int32_t {
    SAFE_FILE_OK = 0,
    SAFE_FILE_NO_PATH = -1,         // no path: the one given could not be resolved
    SAFE_FILE_NOT_REPLACEABLE = -2, // the path names a read-only file or a folder
    SAFE_FILE_CANNOT_CREATE = -3,   // no temporary file beside it (missing folder, no rights)
    SAFE_FILE_CANNOT_WRITE = -4,    // writing or flushing the temporary file failed (disk full)
    SAFE_FILE_CANNOT_REPLACE = -5,  // the temporary file could not be moved over the path
};

// What goes into the file: write is called once with the open temporary file and returns false
// when a write failed.
struct FileContent {
    bool (*write)(HANDLE file, void* context);
    void* context;
};

// Writes the content to a new temporary file in the folder of path, flushes it and renames it
// over path, so that the file at path is either the one before or the whole new content. The
// folder is opened once (a folder that is itself a junction or symbolic link is refused), and
// every later step names its file relative to that handle: a folder on the path swapped or a
// link repointed in the meantime cannot send the report anywhere else. The temporary name has a
// random part and is created only where nothing of that name exists; it is written, renamed and
// on failure deleted through the program's own handle, so that a file or link someone prepared
// beside the target is never written, moved or deleted. On failure the file at path is
// unchanged and GetLastError gives the Windows reason.
SafeFileResult replaceFileSafely(const wchar_t* path, const FileContent& content);

// WriteFile of the whole block, or false.
bool writeAll(HANDLE file, const void* bytes, DWORD size);

// The calls that open the report's folder and tell what it is, the NT calls that create a file in
// it and rename or delete that file through its handle (from ntdll, which every process has),
// and the system's random source the temporary names come from (RtlGenRandom); tests put their
// own in between, also to make a folder look like a junction, which Wine cannot make, and to
// make the temporary names they plant links at.
struct SafeFileCalls {
    decltype(SystemFunctions::ntCreateFile) createFile;
    decltype(SystemFunctions::ntSetInformationFile) setInformationFile;
    decltype(SystemFunctions::ntQueryInformationFile) queryInformationFile;
    HANDLE(WINAPI* createFileW)(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
    BOOL(WINAPI* getFileInformationByHandle)(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
    BOOLEAN(WINAPI* temporaryNameRandom)(PVOID buffer, ULONG size);
};
extern SafeFileCalls g_safeFileCalls;
