// The integrity check of an executable file on disk (see pe_checksum.h for the stamp).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

// Largest file the check reads whole; our executables are far smaller.
const uint32_t INTEGRITY_MAX_FILE_SIZE = 64u * 1024u * 1024u;

// One of the INTEGRITY_ codes of pe_checksum.h. The path is wide, so that a folder named
// outside the ANSI code page (a user folder in Cyrillic on a Western Windows) is found.
int32_t checkExecutableIntegrity(const wchar_t* path);
// The check of the program's own file (the "Initialization value" of every report).
int32_t checkOwnIntegrity();

// One sentence for a result code, for the "Check File Integrity..." message box. The stamp is a
// checksum: it tells accidental damage, never whether someone changed the file on purpose.
const char* describeIntegrityResult(int32_t result);

// What Windows says of a file's digital signature (Authenticode), the one thing that can tell
// who made a file and that nobody changed it since. The signature is in the file, or, as for most
// driver and system files, in a catalogue (.cat) of Windows that lists the file's hash.
enum SignatureResult {
    SIGNATURE_TRUSTED = 0,       // signed, unchanged since, by a publisher Windows trusts
    SIGNATURE_NONE = -1,         // no signature, neither in the file nor in a catalogue
    SIGNATURE_NOT_TRUSTED = -2,  // signed, but Windows does not trust the signer's certificate
    SIGNATURE_BROKEN = -3,       // signed, but the file (or its catalogue) was changed after signing
    SIGNATURE_UNKNOWN = -4,      // the system cannot check signatures
    SIGNATURE_CANNOT_READ = -5,  // the file cannot be read
};

struct SignatureCheck {
    int32_t result;               // one of SignatureResult
    wchar_t catalogue[MAX_PATH];  // the catalogue that signs the file; empty when none does
};

// Asks WinVerifyTrust (from the system folder's wintrust.dll) about the file, never over the
// network and never with a window of its own. Without a signature in the file, looks the file's
// hash up in the system's catalogues (SHA-256 where Windows has it, then SHA-1) and verifies it
// through the catalogue that holds it.
void checkFileSignature(const wchar_t* path, SignatureCheck* check);
// The box's sentences on it: what Windows says, and through which catalogue.
void describeSignature(const SignatureCheck& check, wchar_t* text, size_t capacity);
