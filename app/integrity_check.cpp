#include "app/integrity_check.h"

#include <windows.h>
#include <mscat.h>
#include <softpub.h>
#include <stdio.h>
#include <wintrust.h>

#include "base/pe_checksum.h"
#include "base/owners.h"
#include "base/system_functions.h"

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

int32_t checkOwnIntegrity() {
    // The wide name: the ANSI one turns a folder named outside the code page into "?".
    wchar_t ownFile[1024];
    const DWORD capacity = sizeof(ownFile) / sizeof(ownFile[0]);
    const DWORD length = GetModuleFileNameW(NULL, ownFile, capacity);
    // A cut name (XP leaves it unterminated) is no name: the check then says it cannot read it.
    ownFile[length < capacity ? length : 0] = 0;
    return checkExecutableIntegrity(ownFile);
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

namespace {

// wintrust's and crypt32's functions, looked up the first time a file is checked.
const SystemFunctions& trust() { return systemFunctions(SYSTEM_FUNCTIONS_TRUST); }

// The catalogue functions every Windows from XP on has.
bool cataloguesAvailable(const SystemFunctions& f) {
    return f.cryptCatAdminAcquireContext && f.cryptCatAdminCalcHashFromFileHandle &&
           f.cryptCatAdminEnumCatalogFromHash && f.cryptCatCatalogInfoFromContext &&
           f.cryptCatAdminReleaseCatalogContext && f.cryptCatAdminReleaseContext;
}

// What WinVerifyTrust's answer means for the user.
int32_t signatureResult(LONG status) {
    switch (DWORD(status)) {
    case ERROR_SUCCESS: return SIGNATURE_TRUSTED;
    case DWORD(TRUST_E_NOSIGNATURE):
    case DWORD(TRUST_E_SUBJECT_FORM_UNKNOWN):
        return SIGNATURE_NONE;
    case DWORD(TRUST_E_BAD_DIGEST):
    case DWORD(CRYPT_E_HASH_VALUE):
        return SIGNATURE_BROKEN;
    case DWORD(TRUST_E_PROVIDER_UNKNOWN):
    case DWORD(TRUST_E_ACTION_UNKNOWN):
        return SIGNATURE_UNKNOWN;
    default:
        // Every other refusal is about the signer: unknown root, expired, revoked, distrusted.
        return SIGNATURE_NOT_TRUSTED;
    }
}

// One WinVerifyTrust question, without a window and without the network, and its state closed.
int32_t verifyTrust(GUID action, DWORD choice, void* subject, void* policy) {
    WINTRUST_DATA data;
    ZeroMemory(&data, sizeof(data));
    data.cbStruct = sizeof(data);
    data.pPolicyCallbackData = policy;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = choice;
    data.pFile = static_cast<WINTRUST_FILE_INFO*>(subject);  // the union: a file or a catalogue record
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    const LONG status = trust().winVerifyTrust(HWND(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    trust().winVerifyTrust(HWND(INVALID_HANDLE_VALUE), &action, &data);
    return signatureResult(status);
}

// A catalogue context of Windows, released with its catalogue once done.
class CatalogueAdmin {
public:
    explicit CatalogueAdmin(const wchar_t* hashAlgorithm) {
        const SystemFunctions& f = trust();
        GUID subsystem = DRIVER_ACTION_VERIFY;  // the catalogues of the system and of drivers
        const BOOL acquired = hashAlgorithm ? f.cryptCatAdminAcquireContext2(&admin_, &subsystem, hashAlgorithm, NULL, 0)
                                            : f.cryptCatAdminAcquireContext(&admin_, &subsystem, 0);
        if (!acquired) admin_ = NULL;
    }
    ~CatalogueAdmin() {
        if (catalogue_) trust().cryptCatAdminReleaseCatalogContext(admin_, catalogue_, 0);
        if (admin_) trust().cryptCatAdminReleaseContext(admin_, 0);
    }
    CatalogueAdmin(const CatalogueAdmin&) = delete;
    CatalogueAdmin& operator=(const CatalogueAdmin&) = delete;

    HCATADMIN get() const { return admin_; }
    // The first catalogue that lists the hash, or null.
    HCATINFO find(BYTE* hash, DWORD size) {
        catalogue_ = trust().cryptCatAdminEnumCatalogFromHash(admin_, hash, size, 0, NULL);
        return catalogue_;
    }

private:
    HCATADMIN admin_ = NULL;
    HCATINFO catalogue_ = NULL;
};

// Looks the open file up in the system's catalogues by one hash algorithm (null: SHA-1) and,
// when a catalogue lists it, verifies it through that catalogue. False when none lists it.
bool checkThroughCatalogue(HANDLE file, const wchar_t* path, const wchar_t* hashAlgorithm, SignatureCheck* check) {
    const SystemFunctions& f = trust();
    CatalogueAdmin admin(hashAlgorithm);
    if (!admin.get()) return false;
    BYTE hash[64];
    DWORD size = sizeof(hash);
    SetFilePointer(file, 0, NULL, FILE_BEGIN);
    const BOOL hashed = hashAlgorithm ? f.cryptCatAdminCalcHashFromFileHandle2(admin.get(), file, &size, hash, 0) : f.cryptCatAdminCalcHashFromFileHandle(file, &size, hash, 0);
    if (!hashed || size == 0 || size > sizeof(hash)) return false;
    HCATINFO found = admin.find(hash, size);
    CATALOG_INFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbStruct = sizeof(info);
    if (!found || !f.cryptCatCatalogInfoFromContext(found, &info, 0)) return false;

    // The member tag: the hash in upper-case hex, as catalogues list their files.
    wchar_t tag[2 * sizeof(hash) + 1];
    static const wchar_t hex[] = L"0123456789ABCDEF";
    for (DWORD i = 0; i < size; ++i) {
        tag[2 * i] = hex[hash[i] >> 4];
        tag[2 * i + 1] = hex[hash[i] & 15];
    }
    tag[2 * size] = 0;
    // From Windows 8 on the record ends in the context that made the hash, which tells Windows
    // its algorithm; older systems know only the shorter record, and only SHA-1.
    struct CatalogueInfo {
        WINTRUST_CATALOG_INFO info;
        HCATADMIN hCatAdmin;
    } catalogue;
    ZeroMemory(&catalogue, sizeof(catalogue));
    catalogue.info.cbStruct = hashAlgorithm ? sizeof(catalogue) : sizeof(catalogue.info);
    catalogue.info.pcwszCatalogFilePath = info.wszCatalogFile;
    catalogue.info.pcwszMemberTag = tag;
    catalogue.info.pcwszMemberFilePath = path;
    catalogue.info.hMemberFile = file;
    catalogue.info.pbCalculatedFileHash = hash;
    catalogue.info.cbCalculatedFileHash = size;
    catalogue.hCatAdmin = admin.get();
    // The driver policy, as Windows checks catalogue-signed files; an empty version record
    // leaves out its check of the Windows versions the catalogue names.
    DRIVER_VER_INFO versions;
    ZeroMemory(&versions, sizeof(versions));
    versions.cbStruct = sizeof(versions);
    check->result = verifyTrust(DRIVER_ACTION_VERIFY, WTD_CHOICE_CATALOG, &catalogue.info, &versions);
    if (versions.pcSignerCertContext && trust().certFreeCertificateContext)
        trust().certFreeCertificateContext(versions.pcSignerCertContext);
    lstrcpynW(check->catalogue, info.wszCatalogFile, MAX_PATH);
    return true;
}

}  // namespace

void checkFileSignature(const wchar_t* path, SignatureCheck* check) {
    check->result = SIGNATURE_UNKNOWN;
    check->catalogue[0] = 0;
    const SystemFunctions& f = trust();
    if (!f.winVerifyTrust) return;
    if (!path || !path[0]) {
        check->result = SIGNATURE_CANNOT_READ;
        return;
    }
    Handle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.valid()) {
        check->result = SIGNATURE_CANNOT_READ;
        return;
    }
    WINTRUST_FILE_INFO embedded;
    ZeroMemory(&embedded, sizeof(embedded));
    embedded.cbStruct = sizeof(embedded);
    embedded.pcwszFilePath = path;
    embedded.hFile = file.get();
    check->result = verifyTrust(WINTRUST_ACTION_GENERIC_VERIFY_V2, WTD_CHOICE_FILE, &embedded, NULL);
    if (check->result != SIGNATURE_NONE || !cataloguesAvailable(f)) return;

    // Catalogues of Windows 8 and later list SHA-256 hashes, older ones SHA-1.
    if (f.cryptCatAdminAcquireContext2 && f.cryptCatAdminCalcHashFromFileHandle2 && checkThroughCatalogue(file.get(), path, L"SHA256", check)) return;
    if (checkThroughCatalogue(file.get(), path, NULL, check)) return;
    check->result = SIGNATURE_NONE;
}

void describeSignature(const SignatureCheck& check, wchar_t* text, size_t capacity) {
    const wchar_t* sentence;
    switch (check.result) {
    case SIGNATURE_TRUSTED: sentence = L"Digital signature: valid, and trusted by Windows."; break;
    case SIGNATURE_NONE: sentence = L"Digital signature: none. Nothing shows who made the file."; break;
    case SIGNATURE_NOT_TRUSTED: sentence = L"Digital signature: present, but Windows does not trust the signer."; break;
    case SIGNATURE_BROKEN:
        sentence = check.catalogue[0] ? L"Digital signature: does not match: the catalogue was changed after it was signed."
                                      : L"Digital signature: does not match: the file was changed after it was signed.";
        break;
    case SIGNATURE_CANNOT_READ: sentence = L"Digital signature: cannot be checked: the file cannot be read."; break;
    default: sentence = L"Digital signature: cannot be checked on this system."; break;
    }
    if (check.catalogue[0])
        _snwprintf(text, capacity, L"%ls\nSigned through the catalogue %ls", sentence, check.catalogue);
    else
        _snwprintf(text, capacity, L"%ls", sentence);
    if (capacity) text[capacity - 1] = 0;
}
