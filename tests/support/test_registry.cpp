#include "support/test_registry.h"

#include <sddl.h>

#include "sources/store/endpoint_store.h"  // the device list's table, which readTableRow reads

namespace {

typedef LONG(WINAPI* RegDeleteKeyExWFn)(HKEY, LPCWSTR, REGSAM, DWORD);

// Gives everyone full access to a key again, after a test took write access away.
void allowEverything(HKEY parent, const std::wstring& name, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExW(parent, name.c_str(), 0, WRITE_DAC | view, &key) != ERROR_SUCCESS) return;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KA;;;WD)", SDDL_REVISION_1, &descriptor, NULL)) {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        LocalFree(descriptor);
    }
    RegCloseKey(key);
}

void deleteTree(HKEY parent, const std::wstring& name, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) {
        allowEverything(parent, name, view);
        if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
    }
    wchar_t child[1024];
    while (RegEnumKeyW(key, 0, child, 1024) == ERROR_SUCCESS) {
        deleteTree(key, child, view);
        // A child that cannot be removed would loop for ever.
        wchar_t again[1024];
        if (RegEnumKeyW(key, 0, again, 1024) == ERROR_SUCCESS && lstrcmpW(again, child) == 0) break;
    }
    RegCloseKey(key);
    static const RegDeleteKeyExWFn deleteKeyEx = reinterpret_cast<RegDeleteKeyExWFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExW")));
    if (deleteKeyEx) deleteKeyEx(parent, name.c_str(), view, 0);
    else RegDeleteKeyW(parent, name.c_str());
}

}  // namespace

bool runsOnWow64() {
    BOOL wow64 = FALSE;
    typedef BOOL(WINAPI * Fn)(HANDLE, PBOOL);
    Fn isWow64 = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

void TestRegistry::deleteStore() {
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)}) deleteTree(HKEY_LOCAL_MACHINE, kStoreRoot, view);
}

void TestRegistry::denyWrites(const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC | KEY_READ, &key) != ERROR_SUCCESS) return;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                             &descriptor, NULL)) {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        LocalFree(descriptor);
    }
    RegCloseKey(key);
}

void TestRegistry::allowWrites(const std::wstring& path, REGSAM view) { allowEverything(HKEY_LOCAL_MACHINE, path, view); }

TestRegistry::TestRegistry() { deleteStore(); }
TestRegistry::~TestRegistry() { deleteStore(); }

std::wstring TestRegistry::directionPath(const wchar_t* direction) {
    return std::wstring(kStoreRoot) + L"\\" + direction;
}

std::wstring TestRegistry::propertiesPath(const wchar_t* direction, const std::wstring& entry) {
    return directionPath(direction) + L"\\" + entry + L"\\Properties";
}

void TestRegistry::createKey(const std::wstring& path, REGSAM view) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS | view, NULL, &key, NULL) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

void TestRegistry::setValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size,
                            REGSAM view) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS | view, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void TestRegistry::setRawValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
                               DWORD size) {
    struct UnicodeString {
        USHORT length, maximumLength;
        PWSTR buffer;
    };
    typedef LONG(WINAPI * NtSetValueKeyFn)(HANDLE, UnicodeString*, ULONG, ULONG, const void*, ULONG);
    static const NtSetValueKeyFn setValueKey = reinterpret_cast<NtSetValueKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
    HKEY key;
    if (!setValueKey || RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                                        NULL) != ERROR_SUCCESS)
        return;
    std::wstring valueName(name);
    UnicodeString us = {USHORT(valueName.size() * sizeof(wchar_t)), USHORT(valueName.size() * sizeof(wchar_t)),
                        &valueName[0]};
    setValueKey(key, &us, 0, type, data, size);
    RegCloseKey(key);
}

void TestRegistry::setString(const std::wstring& path, const wchar_t* name, const std::wstring& value, REGSAM view) {
    setValue(path, name, REG_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t)), view);
}

void TestRegistry::setDword(const std::wstring& path, const wchar_t* name, DWORD value, REGSAM view) {
    setValue(path, name, REG_DWORD, &value, sizeof(value), view);
}

void TestRegistry::setBinary(const std::wstring& path, const wchar_t* name, const std::vector<uint8_t>& value,
                             REGSAM view) {
    setValue(path, name, REG_BINARY, value.data(), DWORD(value.size()), view);
}

void TestRegistry::addEndpoint(const wchar_t* direction, const std::wstring& entry, const std::wstring& description,
                               const std::wstring& adapter, const std::wstring& driverText, const std::wstring& icon,
                               REGSAM view) {
    const std::wstring path = propertiesPath(direction, entry);
    createKey(path, view);
    if (!description.empty()) setString(path, kStoreValue.description, description, view);
    if (!adapter.empty()) setString(path, kStoreValue.adapterName, adapter, view);
    if (!driverText.empty()) setString(path, kStoreValue.driverText, driverText, view);
    if (!icon.empty()) setString(path, kStoreValue.iconPath, icon, view);
}

int readTableRow(const char* hardwareId, EndpointRegistryRecord* playback, EndpointRegistryRecord* recording) {
    static EndpointRegistryTable table;  // too large for a test thread's stack
    memset(&table, 0, sizeof(table));
    const char* const ids[] = {hardwareId};
    readEndpointRegistryTable(&table, HardwareIdSet{ids, 1});
    if (playback) *playback = table.renderEntries[0];
    if (recording) *recording = table.captureEntries[0];
    return table.pairCount;
}
