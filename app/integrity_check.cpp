#include "app/integrity_check.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include "base/pe_checksum.h"
#include "base/owners.h"
#include "base/system_library.h"

int32_t checkExecutableIntegrity(const wchar_t* path) {
    if (!path || !path[0]) return INTEGRITY_CANNOT_READ;
    Handle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.valid()) return INTEGRITY_CANNOT_READ;
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return INTEGRITY_CANNOT_READ;
    if (high != 0 || low > INTEGRITY_MAX_FILE_SIZE) return INTEGRITY_TOO_LARGE;

    HeapBlock content(low, false);
    uint8_t* bytes = content.as<uint8_t>();
    if (!bytes) return INTEGRITY_TOO_LARGE;
    DWORD total = 0;
    while (total < low) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes + total, low - total, &got, NULL) || got == 0)
            return INTEGRITY_CANNOT_READ;
        total += got;
    }
    return checkImageIntegrity(bytes, low);
}

const char* describeIntegrityResult(int32_t result) {
    switch (result) {
    case INTEGRITY_OK:
        return "The integrity stamp matches: the file is not damaged. The stamp is a checksum, which "
               "catches accidental damage but not a deliberate change.";
    case INTEGRITY_CANNOT_READ: return "The file cannot be read.";
    case INTEGRITY_NOT_EXECUTABLE: return "The file is not a Windows executable.";
    case INTEGRITY_NOT_STAMPED: return "The file carries no integrity stamp.";
    case INTEGRITY_MISMATCH: return "The integrity stamp does not match: the file was damaged or changed after it was stamped.";
    case INTEGRITY_TOO_LARGE: return "The file is too large to be checked.";
    default: return "Unknown result.";
    }
}

int32_t checkFileSignature(const wchar_t* path) {
    typedef LONG(WINAPI * VerifyTrust)(HWND, GUID*, LPVOID);
    static const VerifyTrust verify = systemFunctionAs<VerifyTrust>(L"wintrust.dll", "WinVerifyTrust");
    if (!verify || !path || !path[0]) return SIGNATURE_UNKNOWN;

    WINTRUST_FILE_INFO file;
    ZeroMemory(&file, sizeof(file));
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path;
    WINTRUST_DATA data;
    ZeroMemory(&data, sizeof(data));
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = verify(HWND(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verify(HWND(INVALID_HANDLE_VALUE), &action, &data);

    switch (DWORD(status)) {
    case ERROR_SUCCESS: return SIGNATURE_TRUSTED;
    case DWORD(TRUST_E_NOSIGNATURE):
    case DWORD(TRUST_E_SUBJECT_FORM_UNKNOWN):
        return SIGNATURE_NONE;
    case DWORD(TRUST_E_BAD_DIGEST): return SIGNATURE_BROKEN;
    case DWORD(TRUST_E_PROVIDER_UNKNOWN):
    case DWORD(TRUST_E_ACTION_UNKNOWN):
        return SIGNATURE_UNKNOWN;
    default:
        // A file that cannot be opened is no signature question; every other refusal is about
        // the signer: unknown root, expired, revoked, explicitly distrusted.
        return GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES ? SIGNATURE_UNKNOWN : SIGNATURE_NOT_TRUSTED;
    }
}

const char* describeSignatureResult(int32_t result) {
    switch (result) {
    case SIGNATURE_TRUSTED: return "Digital signature: valid, and trusted by Windows.";
    case SIGNATURE_NONE: return "Digital signature: none. Nothing shows who made the file.";
    case SIGNATURE_NOT_TRUSTED: return "Digital signature: present, but Windows does not trust the signer.";
    case SIGNATURE_BROKEN: return "Digital signature: does not match: the file was changed after it was signed.";
    default: return "Digital signature: cannot be checked on this system.";
    }
}
