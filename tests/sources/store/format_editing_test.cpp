#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sources/store/format_editing.h"
#include "support/test_registry.h"

namespace {

const std::wstring kEntry = L"{0.0.0.00000000}.{11111111-2222-3333-4444-555555555555}";

// A format value: the 8-byte prefix, WAVEFORMATEXTENSIBLE, and whatever follows.
std::vector<uint8_t> formatValue(size_t size, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t mask) {
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i) v[i] = uint8_t(0x40 + i * 3);  // recognisable filler everywhere
    auto put16 = [&](size_t at, uint32_t x) { v[at] = uint8_t(x); v[at + 1] = uint8_t(x >> 8); };
    auto put32 = [&](size_t at, uint32_t x) { put16(at, x); put16(at + 2, x >> 16); };
    put16(8, 0xFFFE);
    put16(10, channels);
    put32(12, rate);
    const uint32_t blockAlign = bits / 8 * channels;
    put32(16, blockAlign * rate);
    put16(20, blockAlign);
    put16(22, bits);
    put16(24, 22);
    put16(26, bits);
    put32(28, mask);
    return v;
}

uint32_t get16(const std::vector<uint8_t>& v, size_t at) { return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8; }
uint32_t get32(const std::vector<uint8_t>& v, size_t at) { return get16(v, at) | get16(v, at + 2) << 16; }

class FormatEditingTest : public testing::Test {
protected:
    std::wstring path() const { return TestRegistry::propertiesPath(L"Render", kEntry); }
    // Writes an endpoint entry with both values and reads its record as the panel has it.
    EndpointRegistryRecord entry(const std::vector<uint8_t>& device, const std::vector<uint8_t>& oem,
                                 REGSAM view = 0) {
        registry.addEndpoint(L"Render", kEntry, L"VESSO Input", L"Halvane Virtual Vesso", L"x:HalvaneVSOWDM", L"",
                             view);
        registry.setBinary(path(), kStoreValue.deviceFormat, device, view);
        registry.setBinary(path(), kStoreValue.oemFormat, oem, view);
        EndpointRegistryRecord record;
        EXPECT_EQ(1, readTableRow("HalvaneVSOWDM", &record));
        return record;
    }
    std::vector<uint8_t> stored(const wchar_t* name, REGSAM view = 0) {
        HKEY key;
        std::vector<uint8_t> value(1024);
        DWORD size = DWORD(value.size()), type = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path().c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return {};
        RegQueryValueExW(key, name, NULL, &type, value.data(), &size);
        RegCloseKey(key);
        value.resize(size);
        return value;
    }
    FILETIME lastWrite() {
        HKEY key;
        FILETIME time = {0, 0};
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path().c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &time);
            RegCloseKey(key);
        }
        return time;
    }
    TestRegistry registry;
};

TEST_F(FormatEditingTest, SampleRateRecomputesTheByteRate) {
    EndpointRegistryRecord record = entry(formatValue(68, 2, 48000, 24, 0x3), formatValue(68, 2, 48000, 24, 0x3));
    EndpointRegistryRecord copy = record;
    EXPECT_EQ(0, setEndpointSampleRate(44100, &copy));
    for (const wchar_t* name : {kStoreValue.deviceFormat, kStoreValue.oemFormat}) {
        const std::vector<uint8_t> v = stored(name);
        ASSERT_EQ(68u, v.size());  // written back with exactly the length read
        EXPECT_EQ(44100u, get32(v, 12));
        EXPECT_EQ(264600u, get32(v, 16));
        // Every byte but the two fields is as it was.
        std::vector<uint8_t> expected = formatValue(68, 2, 48000, 24, 0x3);
        for (size_t i = 12; i < 20; ++i) expected[i] = v[i];
        EXPECT_EQ(expected, v);
    }
    // The copy still says 48000, the registry 44100: the registry decides.
    copy = record;
    EXPECT_EQ(0, setEndpointSampleRate(48000, &copy));
    EXPECT_EQ(288000u, get32(stored(kStoreValue.deviceFormat), 16));
    EXPECT_EQ(48000u, get32(std::vector<uint8_t>(copy.deviceFormatValue, copy.deviceFormatValue + 68), 12));
}

TEST_F(FormatEditingTest, AValueAlreadyAtTheRateIsNotWritten) {
    EndpointRegistryRecord record = entry(formatValue(48, 2, 48000, 16, 0x3), formatValue(255, 2, 48000, 16, 0x3));
    const std::vector<uint8_t> before = stored(kStoreValue.deviceFormat);
    const FILETIME time = lastWrite();
    Sleep(20);
    EXPECT_EQ(0, setEndpointSampleRate(48000, &record));
    EXPECT_EQ(before, stored(kStoreValue.deviceFormat));
    const FILETIME after = lastWrite();
    EXPECT_EQ(time.dwLowDateTime, after.dwLowDateTime);
    EXPECT_EQ(time.dwHighDateTime, after.dwHighDateTime);
    // No stored formats at all: nothing to write, and a success.
    EndpointRegistryRecord empty;
    memset(&empty, 0, sizeof(empty));
    EXPECT_EQ(0, setEndpointSampleRate(44100, &empty));
    EXPECT_EQ(0, setEndpointChannels(6, &empty));
}

TEST_F(FormatEditingTest, ChannelsRecomputeBlockAlignByteRateAndMask) {
    EndpointRegistryRecord record = entry(formatValue(60, 2, 48000, 16, 0x3), formatValue(60, 2, 44100, 16, 0));
    EXPECT_EQ(0, setEndpointChannels(6, &record));
    const std::vector<uint8_t> device = stored(kStoreValue.deviceFormat);
    EXPECT_EQ(6u, get16(device, 10));
    EXPECT_EQ(12u, get16(device, 20));
    EXPECT_EQ(12u * 48000, get32(device, 16));
    EXPECT_EQ(0x3Fu, get32(device, 28));
    const std::vector<uint8_t> oem = stored(kStoreValue.oemFormat);
    EXPECT_EQ(12u * 44100, get32(oem, 16));
    EXPECT_EQ(0u, get32(oem, 28));  // a zero mask stays zero
    EXPECT_EQ(16u, get16(oem, 22));
    EXPECT_EQ(16u, get16(oem, 26));
    EXPECT_EQ(0xFFFEu, get16(oem, 8));
}

TEST(ChannelMask, ForEachCount) {
    const uint32_t masks[] = {0, 0, 0x3, 0x7, 0x33, 0x1F, 0x3F, 0x7F, 0xFF, 0};
    for (uint32_t channels = 0; channels < 10; ++channels) EXPECT_EQ(masks[channels], channelMaskFor(channels));
}

TEST_F(FormatEditingTest, RefusedWrites) {
    EndpointRegistryRecord record = entry(formatValue(48, 2, 48000, 16, 0x3), formatValue(48, 2, 48000, 16, 0x3));
    TestRegistry::denyWrites(path());
    EndpointRegistryRecord copy = record;
    EXPECT_EQ(-2, setEndpointSampleRate(44100, &copy));
    EXPECT_EQ(48000u, get32(stored(kStoreValue.deviceFormat), 12));
    // Only the device value needs a change, as the registry holds them now (the copy says
    // otherwise): one refused write.
    TestRegistry::deleteStore();
    record = entry(formatValue(48, 2, 48000, 16, 0x3), formatValue(48, 2, 44100, 16, 0x3));
    TestRegistry::denyWrites(path());
    copy = record;
    copy.oemFormatValue[12] = 0x80;
    copy.oemFormatValue[13] = 0xBB;
    EXPECT_EQ(-1, setEndpointSampleRate(44100, &copy));
}

bool keyExists(const std::wstring& path, REGSAM view = 0) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Every value of a key below HKEY_LOCAL_MACHINE, with its type, by name.
std::map<std::wstring, std::pair<DWORD, std::vector<uint8_t>>> valuesOf(const std::wstring& path) {
    std::map<std::wstring, std::pair<DWORD, std::vector<uint8_t>>> values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        std::vector<uint8_t> data(4096);
        DWORD nameSize = 1024, size = DWORD(data.size()), type = 0;
        if (RegEnumValueW(key, i, name, &nameSize, NULL, &type, data.data(), &size) != ERROR_SUCCESS) break;
        data.resize(size);
        values[std::wstring(name, nameSize)] = std::make_pair(type, data);
    }
    RegCloseKey(key);
    return values;
}

// Format values planted in HKEY_LOCAL_MACHINE itself, removed again at the end.
struct ValuesInTheRoot {
    ValuesInTheRoot() {
        for (const wchar_t* name : {kStoreValue.deviceFormat, kStoreValue.oemFormat})
            planted = planted && RegSetValueExW(HKEY_LOCAL_MACHINE, name, 0, REG_BINARY, value.data(),
                                                DWORD(value.size())) == ERROR_SUCCESS;
    }
    ~ValuesInTheRoot() {
        for (const wchar_t* name : {kStoreValue.deviceFormat, kStoreValue.oemFormat})
            RegDeleteValueW(HKEY_LOCAL_MACHINE, name);
    }
    const std::vector<uint8_t> value = formatValue(48, 2, 48000, 16, 0x3);
    bool planted = true;
};

// An entry that went from the registry while its record was held is never brought back: no key
// and no value is created or written, and what went counts as no refused write.
TEST_F(FormatEditingTest, GoneKeysAndValuesAreSkippedNeverCreated) {
    const EndpointRegistryRecord record =
        entry(formatValue(48, 2, 48000, 16, 0x3), formatValue(48, 2, 48000, 16, 0x3));
    // The OEM value goes, and the device value is now too short to be a format.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, path().c_str(), 0, KEY_ALL_ACCESS, &key));
    RegDeleteValueW(key, kStoreValue.oemFormat);
    RegCloseKey(key);
    registry.setBinary(path(), kStoreValue.deviceFormat, std::vector<uint8_t>(20, 1));
    const auto before = valuesOf(path());
    const FILETIME time = lastWrite();
    Sleep(20);
    EndpointRegistryRecord copy = record;
    EXPECT_EQ(0, setEndpointSampleRate(44100, &copy));
    EXPECT_EQ(0, setEndpointChannels(6, &copy));
    EXPECT_EQ(std::vector<uint8_t>(20, 1), stored(kStoreValue.deviceFormat));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, path().c_str(), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, kStoreValue.oemFormat, NULL, NULL, NULL, NULL))
        << "written again";
    RegCloseKey(key);
    // Nothing written at all, not even a value as it was.
    EXPECT_EQ(before, valuesOf(path()));
    const FILETIME after = lastWrite();
    EXPECT_EQ(time.dwLowDateTime, after.dwLowDateTime);
    EXPECT_EQ(time.dwHighDateTime, after.dwHighDateTime);

    // The whole entry goes: nothing is created in either view.
    TestRegistry::deleteStore();
    copy = record;
    EXPECT_EQ(0, setEndpointSampleRate(44100, &copy));
    EXPECT_EQ(0, setEndpointChannels(6, &copy));
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)})
        EXPECT_FALSE(keyExists(kStoreRoot, view)) << "a key was created";

    // A record with no path names no key at all, not HKEY_LOCAL_MACHINE itself: format values
    // there are neither edited nor written.
    const ValuesInTheRoot root;
    ASSERT_TRUE(root.planted);
    const auto rootBefore = valuesOf(L"");
    EndpointRegistryRecord pathless = record;
    pathless.propertiesKeyPath[0] = 0;
    EXPECT_EQ(0, setEndpointSampleRate(44100, &pathless));
    EXPECT_EQ(0, setEndpointChannels(6, &pathless));
    EXPECT_EQ(rootBefore, valuesOf(L""));
    EXPECT_EQ(root.value, valuesOf(L"")[kStoreValue.deviceFormat].second);
}

TEST_F(FormatEditingTest, EntriesOfThe64BitViewAreWrittenThere) {
    if (!runsOnWow64()) {
        ASSERT_EQ(nullptr, getenv("HV_EXPECT_WOW64")) << "expected to run on 64-bit Windows";
        GTEST_SKIP() << "one registry view only: not 64-bit Windows";
    }
    EndpointRegistryRecord record =
        entry(formatValue(48, 2, 48000, 16, 0x3), formatValue(48, 2, 48000, 16, 0x3), KEY_WOW64_64KEY);
    ASSERT_TRUE(record.flags & ENDPOINT_64BIT_VIEW);
    EXPECT_EQ(0, setEndpointSampleRate(44100, &record));
    EXPECT_EQ(44100u, get32(stored(kStoreValue.deviceFormat, KEY_WOW64_64KEY), 12));
    EXPECT_TRUE(stored(kStoreValue.deviceFormat, 0).empty()) << "the 32-bit view got a value";

    // An empty 32-bit copy of the entry (its key without "Properties") beside the real one, and
    // another entry, so that the direction key lists entries in the default view: the entry's
    // own view is the 64-bit one, and it is read and written there, per entry.
    registry.createKey(TestRegistry::directionPath(L"Render") + L"\\" + kEntry);
    registry.addEndpoint(L"Render", L"{0.0.0.00000000}.{99999999-0000-0000-0000-000000000000}", L"Other",
                         L"Card", L"x:OTHER");
    EndpointRegistryRecord stubbed;
    ASSERT_EQ(1, readTableRow("HalvaneVSOWDM", &stubbed));
    EXPECT_TRUE(stubbed.flags & ENDPOINT_64BIT_VIEW);
    EXPECT_EQ(0, setEndpointSampleRate(48000, &stubbed));
    EXPECT_EQ(48000u, get32(stored(kStoreValue.deviceFormat, KEY_WOW64_64KEY), 12));
    EXPECT_FALSE(keyExists(path(), 0)) << "a Properties key was created in the 32-bit view";
}

}  // namespace
