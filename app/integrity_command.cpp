#include "app/integrity_command.h"

#include <commdlg.h>
#include <stdio.h>

#include "app/integrity_check.h"
#include "base/pe_checksum.h"

void checkChosenFileIntegrity(HWND owner) {
    // Wide throughout: a name outside the ANSI code page must reach the file as it is.
    wchar_t path[1024] = L"";
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Programs and drivers (*.exe;*.dll;*.sys)\0*.exe;*.dll;*.sys\0"
                         L"All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof(path) / sizeof(path[0]);
    dialog.lpstrTitle = L"Check File Integrity";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return;

    const int32_t result = checkExecutableIntegrity(path);
    SignatureCheck signature;
    checkFileSignature(path, &signature);
    wchar_t signatureText[MAX_PATH + 200];
    describeSignature(signature, signatureText, sizeof(signatureText) / sizeof(signatureText[0]));
    wchar_t text[2048];
    _snwprintf(text, sizeof(text) / sizeof(text[0]), L"%ls\n\n%hs\n\nResult: %i\n\n%ls", path,
               describeIntegrityResult(result), int(result), signatureText);
    text[sizeof(text) / sizeof(text[0]) - 1] = 0;
    const bool warn = result != INTEGRITY_OK || signature.result == SIGNATURE_NOT_TRUSTED ||
                      signature.result == SIGNATURE_BROKEN;
    MessageBoxW(owner, text, L"Check File Integrity", warn ? MB_ICONWARNING : MB_ICONINFORMATION);
}
