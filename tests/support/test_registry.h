// The real registry for tests: the MMDevices endpoint store below HKEY_LOCAL_MACHINE, written
// in the default or the 64-bit view and removed again. Tests own the whole store of their
// private Wine prefix.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

bool runsOnWow64();

struct EndpointRegistryRecord;
// The device list's row of one hardware ID, as the table reads it: 1 with its playback and
// recording entries (each copied where given), 0 when the ID has no playback entry.
int readTableRow(const char* hardwareId, EndpointRegistryRecord* playback, EndpointRegistryRecord* recording = nullptr);
// The store's place and value names as Windows writes them (the values in the order of the
// fields), spelled out here rather than taken from the product, so that a wrong name there shows.
const wchar_t kStoreRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio";
const struct {
    const wchar_t *description, *adapterName, *iconPath, *driverText, *exclusiveFirst, *exclusiveSecond, *oemFormat,
        *deviceFormat;
} kStoreValue = {
    L"{a45c254e-df1c-4efd-8020-67d146a850e0},2",  L"{b3f8fa53-0004-438e-9003-51a46e139bfc},6",
    L"{259abffc-50a7-47ce-af08-68c9a7d73366},12", L"{83da6326-97a6-4088-9453-a1923f573b29},3",
    L"{b3f8fa53-0004-438e-9003-51a46e139bfc},3",  L"{b3f8fa53-0004-438e-9003-51a46e139bfc},4",
    L"{e4870e26-3cc5-4cd2-ba46-ca0a9a70ed04},0",  L"{f19f064d-082c-4e27-bc73-6882a1bb8e4c},0",
};

class TestRegistry {
public:
    TestRegistry();   // starts from an empty store in both views
    ~TestRegistry();  // and leaves one
    TestRegistry(const TestRegistry&) = delete;
    TestRegistry& operator=(const TestRegistry&) = delete;

    // "Render" or "Capture" key path of the store.
    static std::wstring directionPath(const wchar_t* direction);
    // The "Properties" key of an entry, created with its direction key.
    static std::wstring propertiesPath(const wchar_t* direction, const std::wstring& entry);

    // Creates an (empty) key; view is 0 or KEY_WOW64_64KEY.
    void createKey(const std::wstring& path, REGSAM view = 0);
    void setValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size,
                  REGSAM view = 0);
    // Exactly these bytes, through the native call: the Win32 one adds a terminator to text
    // values under Wine, so a value stored without one could not be made otherwise.
    void setRawValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size);
    void setString(const std::wstring& path, const wchar_t* name, const std::wstring& value, REGSAM view = 0);
    void setDword(const std::wstring& path, const wchar_t* name, DWORD value, REGSAM view = 0);
    void setBinary(const std::wstring& path, const wchar_t* name, const std::vector<uint8_t>& value, REGSAM view = 0);

    // An endpoint entry with the values the store reads for names and the hardware ID.
    void addEndpoint(const wchar_t* direction, const std::wstring& entry, const std::wstring& description,
                     const std::wstring& adapter, const std::wstring& driverText, const std::wstring& icon = L"",
                     REGSAM view = 0);

    static void deleteStore();
    // Takes write access to a key below HKEY_LOCAL_MACHINE away from everyone, as a user without
    // administrator rights meets it; the store's removal gives it back.
    static void denyWrites(const std::wstring& path);
    // Gives everyone full access to the key again.
    static void allowWrites(const std::wstring& path, REGSAM view = 0);
};
