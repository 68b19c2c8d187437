#include "base/registry.h"

#include <string.h>
#include <wchar.h>

#include "base/text.h"

namespace {

const RegistryApi kReal = {RegOpenKeyExW, RegEnumKeyW, RegQueryValueExW, RegSetValueExW, RegCloseKey};

}  // namespace

RegistryApi g_registryApi = kReal;

bool RegistryKey::open(const wchar_t* path, REGSAM access, REGSAM view) {
    close();
    HKEY key = NULL;
    if (g_registryApi.regOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access | view, &key) != ERROR_SUCCESS) return false;
    key_ = key;
    close_ = g_registryApi.regCloseKey;
    return true;
}

bool RegistryKey::openEitherView(const wchar_t* path, bool* in64) {
    *in64 = false;
    if (open(path, KEY_READ, 0)) return true;
    *in64 = true;
    return open(path, KEY_READ, KEY_WOW64_64KEY);
}

void RegistryKey::close() {
    if (valid() && close_) close_(key_);
    key_ = NULL;
}

int32_t readStringValue(HKEY key, const wchar_t* valueName, wchar_t* destination) {
    // Room for the largest accepted value and a terminator of our own: a value stored without
    // one is still ended, and one longer than the destination is cut.
    wchar_t value[REGISTRY_MAX_STRING_BYTES / sizeof(wchar_t) + 1];
    // The whole buffer is offered: some registries want room for a terminator of their own
    // behind a value stored without one.
    DWORD type = 0, size = sizeof(value);
    if (g_registryApi.regQueryValueExW(key, valueName, NULL, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ || size > REGISTRY_MAX_STRING_BYTES)
        return 0;
    value[size / sizeof(wchar_t)] = 0;
    copyText(destination, value, REGISTRY_STRING_SIZE);
    return 1;
}

int32_t readDwordValue(HKEY key, const wchar_t* valueName, uint32_t* destination) {
    DWORD value = 0, type = 0, size = sizeof(value);
    if (g_registryApi.regQueryValueExW(key, valueName, NULL, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return 0;
    *destination = value;
    return 1;
}

int32_t readBinaryValue(HKEY key, const wchar_t* valueName, uint8_t* destination) {
    uint8_t value[REGISTRY_BINARY_SIZE];
    DWORD type = REG_NONE, size = sizeof(value);
    const LONG result = g_registryApi.regQueryValueExW(key, valueName, NULL, &type, value, &size);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return -2;
    if (type != REG_BINARY) return -1;
    if (result == ERROR_MORE_DATA || size > sizeof(value)) return -2;
    memcpy(destination, value, size);
    return int32_t(size);
}

int32_t readRegistryString(const wchar_t* keyPath, const wchar_t* valueName, wchar_t* destination) {
    RegistryKey key;
    bool in64;
    return key.openEitherView(keyPath, &in64) ? readStringValue(key.get(), valueName, destination) : 0;
}

int32_t writeBinaryValue(HKEY key, const wchar_t* valueName, const uint8_t* data, uint32_t size) {
    DWORD type = 0, existing = 0;
    const LONG found = g_registryApi.regQueryValueExW(key, valueName, NULL, &type, NULL, &existing);
    if (found != ERROR_SUCCESS && found != ERROR_MORE_DATA) return 0;
    return g_registryApi.regSetValueExW(key, valueName, 0, REG_BINARY, data, size) == ERROR_SUCCESS ? 1 : 0;
}

LONG writeStringValue(HKEY key, const wchar_t* valueName, const wchar_t* text) {
    DWORD type = 0, existing = 0;
    const LONG found = g_registryApi.regQueryValueExW(key, valueName, NULL, &type, NULL, &existing);
    if (found != ERROR_SUCCESS && found != ERROR_MORE_DATA) return found;
    if (type != REG_SZ) return ERROR_DATATYPE_MISMATCH;
    const DWORD bytes = DWORD((wcslen(text) + 1) * sizeof(wchar_t));
    return g_registryApi.regSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}
