// Reading (and the one kind of writing) the registry below HKEY_LOCAL_MACHINE: the key owner,
// the typed reads on an open key, so that one open serves many values, and the path form of the
// string read, which opens, reads one value and closes.
#pragma once

#include <windows.h>
#include <stdint.h>

// The registry calls the program makes: the real ones; tests wrap them to count opened and
// closed keys. Writes go through the same table.
struct RegistryApi {
    LONG(WINAPI* regOpenKeyExW)(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
    LONG(WINAPI* regEnumKeyW)(HKEY key, DWORD index, LPWSTR name, DWORD nameSize);
    LONG(WINAPI* regQueryValueExW)(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                   LPDWORD size);
    LONG(WINAPI* regSetValueExW)(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
    LONG(WINAPI* regCloseKey)(HKEY key);
};
extern RegistryApi g_registryApi;

enum {
    REGISTRY_STRING_SIZE = 1024,  // destinations of the string reads, in characters
    REGISTRY_BINARY_SIZE = 1024,  // destinations of the binary reads, in bytes
    REGISTRY_MAX_STRING_BYTES = 4096,
};

// An open registry key, closed once. A key opened by another table of calls (SetupAPI's
// interface keys) is closed through that table's function.
class RegistryKey {
public:
    typedef LONG(WINAPI* Close)(HKEY);
    RegistryKey() : key_(NULL), close_(NULL) {}
    RegistryKey(HKEY key, Close close) : key_(key), close_(close) {}
    ~RegistryKey() { close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // A key below HKEY_LOCAL_MACHINE; view is 0 or KEY_WOW64_64KEY.
    bool open(const wchar_t* path, REGSAM access, REGSAM view);
    // KEY_READ, and when that fails the 64-bit view, which *in64 then tells.
    bool openEitherView(const wchar_t* path, bool* in64);
    void close();
    bool valid() const { return key_ != NULL && key_ != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE); }
    HKEY get() const { return key_; }

private:
    HKEY key_;
    Close close_;
};

// The reads on an open key. Each checks the value's type and size and leaves the destination
// untouched on every failure.
// 1 when the value is REG_SZ of at most 4096 bytes; its text (up to its first terminator, cut
// on a whole character to 1023 characters) is then in the destination of 1024 characters.
int32_t readStringValue(HKEY key, const wchar_t* valueName, wchar_t* destination);
// 1 when the value is a REG_DWORD of 4 bytes.
int32_t readDwordValue(HKEY key, const wchar_t* valueName, uint32_t* destination);
// The byte count (0 or more) of a REG_BINARY value of at most 1024 bytes; -1 another type;
// -2 missing or longer.
int32_t readBinaryValue(HKEY key, const wchar_t* valueName, uint8_t* destination);

// readStringValue below HKEY_LOCAL_MACHINE by path: the key is opened with KEY_READ, then in the
// 64-bit view, and closed again; 0 when it cannot be opened.
int32_t readRegistryString(const wchar_t* keyPath, const wchar_t* valueName, wchar_t* destination);

// Writes a REG_BINARY value into an open key, only when a value of that name exists already:
// 1 written; 0 missing or refused.
int32_t writeBinaryValue(HKEY key, const wchar_t* valueName, const uint8_t* data, uint32_t size);
// Writes a text into an open key as REG_SZ, only over a REG_SZ value of that name that exists
// already: ERROR_SUCCESS, or Windows' reason (ERROR_FILE_NOT_FOUND for a missing value,
// ERROR_DATATYPE_MISMATCH for a value of another type).
LONG writeStringValue(HKEY key, const wchar_t* valueName, const wchar_t* text);
