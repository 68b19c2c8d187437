#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks/driver_catalog.h"
#include "sources/store/endpoint_store.h"
#include "support/records.h"
#include "support/saved_table.h"
#include "support/test_registry.h"

namespace {

const std::wstring kEntry1 = L"{0.0.0.00000000}.{11111111-1111-1111-1111-111111111111}";
const std::wstring kEntry2 = L"{0.0.0.00000000}.{22222222-2222-2222-2222-222222222222}";
const std::wstring kEntry3 = L"{0.0.1.00000000}.{33333333-3333-3333-3333-333333333333}";

// Counts the keys the store opens (by path) and closes, passing every call to the registry.
struct KeyCounter {
    static int opens, closes, directionOpens;
    static std::wstring direction;
    static LONG WINAPI open(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
        const LONG status = RegOpenKeyExW(key, subKey, options, access, result);
        if (subKey && direction == subKey) ++directionOpens;
        if (status == ERROR_SUCCESS) ++opens;
        return status;
    }
    static LONG WINAPI close(HKEY key) {
        ++closes;
        return RegCloseKey(key);
    }
    KeyCounter(const wchar_t* directionName) : saved(g_registryApi) {
        opens = closes = directionOpens = 0;
        direction = TestRegistry::directionPath(directionName);
        g_registryApi.regOpenKeyExW = open;
        g_registryApi.regCloseKey = close;
    }
    const SavedTable<RegistryApi> saved;
};
int KeyCounter::opens, KeyCounter::closes, KeyCounter::directionOpens;
std::wstring KeyCounter::direction;

class EndpointStoreTest : public testing::Test {
protected:
    TestRegistry registry;
};

// --- completing device records ------------------------------------------------------------------

// Completes a record from a fresh reading of its direction, as the collection pass does.
int32_t complete(DeviceRecord* record, Direction direction, uint32_t flags) {
    EndpointStoreReading reading;
    reading.read(direction);
    return completeFromEndpointStore(reading.get(), record, flags);
}

DeviceRecord waveRecord(const std::wstring& name) {
    RecordFields fields;
    fields.name = name;
    return makeRecord(fields);
}

TEST_F(EndpointStoreTest, WaveNameCutTo31CharactersMatchesItsEntry) {
    registry.addEndpoint(L"Render", kEntry1, L"Speakers", L"Other Audio Device", L"x:OTHERID");
    registry.addEndpoint(L"Render", kEntry2, L"VESSO Input", L"Halvane Virtual Vesso", L"{1}.ROOT\\MEDIA\\0000:HalvaneVSOWDM",
                         L"%ProgramFiles%\\Halvane\\VESSO\\pin_in.ico");
    const std::wstring full = L"VESSO Input (Halvane Virtual Vesso)";
    DeviceRecord record = waveRecord(full.substr(0, 31));
    EXPECT_EQ(0, complete(&record, DIRECTION_PLAYBACK, COMPLETE_HARDWARE_ID | COMPLETE_DRIVER_NAME));
    EXPECT_STREQ("HalvaneVSOWDM", record.hardwareId);
    EXPECT_STREQ(L"Halvane Virtual Vesso", record.driverNameW);
    EXPECT_STREQ("Halvane Virtual Vesso", record.driverName);
    EXPECT_STREQ(L"%ProgramFiles%\\Halvane\\VESSO\\pin_in.ico", record.iconPath);  // not expanded here
    EXPECT_EQ(kEntry2, record.mmDeviceGuid);

    // A case difference alone prevents the match.
    DeviceRecord lower = waveRecord(L"VESSO Input (halvane Virtual V");
    EXPECT_EQ(-2, complete(&lower, DIRECTION_PLAYBACK, 3));
    EXPECT_STREQ("", lower.hardwareId);
    EXPECT_STREQ(L"", lower.mmDeviceGuid);

    // The form without a blank before the parenthesis matches too; a longer name does not.
    DeviceRecord noBlank = waveRecord(L"VESSO Input(Halvane Virtual Ve");
    EXPECT_EQ(0, complete(&noBlank, DIRECTION_PLAYBACK, 3));
    EXPECT_EQ(kEntry2, noBlank.mmDeviceGuid);
    DeviceRecord longer = waveRecord(full + L" 2");
    EXPECT_EQ(-2, complete(&longer, DIRECTION_PLAYBACK, 3));
}

TEST_F(EndpointStoreTest, WhatEachFlagFills) {
    registry.addEndpoint(L"Capture", kEntry3, L"Mic", L"Adapter", L"a:b:HWID", L"icon.ico");
    DeviceRecord onlyIcon = waveRecord(L"Mic (Adapter)");
    EXPECT_EQ(0, complete(&onlyIcon, DIRECTION_RECORDING, 0));
    EXPECT_STREQ(L"icon.ico", onlyIcon.iconPath);
    EXPECT_EQ(kEntry3, onlyIcon.mmDeviceGuid);  // found by name: the key name is kept
    EXPECT_STREQ("", onlyIcon.hardwareId);
    EXPECT_STREQ(L"", onlyIcon.driverNameW);

    // Looked up directly by GUID: the name does not matter, and the GUID is not rewritten.
    DeviceRecord byGuid = waveRecord(L"a name no entry has");
    lstrcpyW(byGuid.mmDeviceGuid, kEntry3.c_str());
    EXPECT_EQ(0, complete(&byGuid, DIRECTION_RECORDING, COMPLETE_BY_GUID | COMPLETE_HARDWARE_ID));
    EXPECT_STREQ("HWID", byGuid.hardwareId);
    EXPECT_STREQ(L"icon.ico", byGuid.iconPath);
    // ...even when no such entry exists.
    DeviceRecord unknownGuid = waveRecord(L"Mic (Adapter)");
    lstrcpyW(unknownGuid.mmDeviceGuid, L"{not-there}");
    EXPECT_EQ(0, complete(&unknownGuid, DIRECTION_RECORDING, 9));
    EXPECT_STREQ("", unknownGuid.hardwareId);
    // An empty GUID falls back to the name.
    DeviceRecord emptyGuid = waveRecord(L"Mic (Adapter)");
    EXPECT_EQ(0, complete(&emptyGuid, DIRECTION_RECORDING, 9));
    EXPECT_STREQ("HWID", emptyGuid.hardwareId);
}

TEST_F(EndpointStoreTest, HardwareIdIsWhatFollowsTheLastColon) {
    struct Case {
        const wchar_t* driverText;
        const char* hardwareId;
    } cases[] = {
        {L"{1}.ROOT\\MEDIA\\0000:HalvaneVSOWDM", "HalvaneVSOWDM"},
        {L"WholeTextWithoutColon", "WholeTextWithoutColon"},
        {L"ends in a colon:", ""},
        {L"a:b:c", "c"},
        // Another maker's ID in look-alike letters is never taken for a catalogued one.
        {L"x:\xFF28\xFF41\xFF4C\xFF56\xFF41\xFF4E\xFF45\xFF36\xFF33\xFF2F\xFF37\xFF24\xFF2D", "?????????????"},
        {L"x:\x210B\x0101lvaneVSOWDM", "??lvaneVSOWDM"},
    };
    for (const Case& c : cases) {
        TestRegistry::deleteStore();
        registry.addEndpoint(L"Render", kEntry1, L"Out", L"Card", c.driverText);
        DeviceRecord record = waveRecord(L"Out (Card)");
        memset(record.hardwareId, 'x', 10);
        EXPECT_EQ(0, complete(&record, DIRECTION_PLAYBACK, COMPLETE_HARDWARE_ID));
        EXPECT_STREQ(c.hardwareId, record.hardwareId);
    }
}

TEST_F(EndpointStoreTest, EmptyNameMatchesTheFirstEntryWithBothNames) {
    registry.addEndpoint(L"Render", kEntry1, L"", L"Adapter only", L"x:FIRST");
    registry.addEndpoint(L"Render", kEntry2, L"Desc", L"Adapter", L"x:SECOND");
    DeviceRecord record = waveRecord(L"");
    EXPECT_EQ(0, complete(&record, DIRECTION_PLAYBACK, COMPLETE_HARDWARE_ID));
    EXPECT_STREQ("SECOND", record.hardwareId);
}

TEST_F(EndpointStoreTest, MissingStoreAndEmptyDirectionKey) {
    DeviceRecord record = waveRecord(L"x");
    {
        KeyCounter counter(L"Render");
        EXPECT_EQ(-1, complete(&record, DIRECTION_PLAYBACK, 3));
        EXPECT_EQ(0, readTableRow("HalvaneVSOWDM", nullptr));
        EXPECT_EQ(KeyCounter::opens, KeyCounter::closes);
    }

    // A direction key without entries, in both views: exactly one retry, then not found.
    registry.createKey(TestRegistry::directionPath(L"Render"));
    registry.createKey(TestRegistry::directionPath(L"Render"), KEY_WOW64_64KEY);
    {
        KeyCounter counter(L"Render");
        EXPECT_EQ(-2, complete(&record, DIRECTION_PLAYBACK, 3));
        EXPECT_EQ(2, KeyCounter::directionOpens);
        EXPECT_EQ(KeyCounter::opens, KeyCounter::closes);
    }
    {
        KeyCounter counter(L"Render");
        EXPECT_EQ(0, readTableRow("HalvaneVSOWDM", nullptr));
        EXPECT_EQ(2, KeyCounter::directionOpens);
        EXPECT_EQ(KeyCounter::opens, KeyCounter::closes);
    }
    // A recording entry not found there is all zero but its direction and view.
    registry.addEndpoint(L"Render", kEntry1, L"Out", L"Card", L"x:HalvaneVSOWDM");
    registry.createKey(TestRegistry::directionPath(L"Capture"));
    registry.createKey(TestRegistry::directionPath(L"Capture"), KEY_WOW64_64KEY);
    {
        KeyCounter counter(L"Capture");
        EndpointRegistryRecord recording;
        EXPECT_EQ(1, readTableRow("HalvaneVSOWDM", nullptr, &recording));
        EXPECT_EQ(2, KeyCounter::directionOpens);
        EXPECT_EQ(KeyCounter::opens, KeyCounter::closes);
        EXPECT_EQ(0x10000002u, recording.flags);  // recording, 64-bit view
        EXPECT_EQ(0, recording.hardwareId[0]);
    }
}

TEST_F(EndpointStoreTest, EntriesOnlyInThe64BitViewAreFound) {
    if (!runsOnWow64()) {
        // The 64-bit prefix run sets HV_EXPECT_WOW64, so that this case can never go unnoticed.
        ASSERT_EQ(nullptr, getenv("HV_EXPECT_WOW64")) << "expected to run on 64-bit Windows";
        GTEST_SKIP() << "one registry view only: not 64-bit Windows";
    }
    registry.addEndpoint(L"Render", kEntry1, L"VESSO Input", L"Halvane Virtual Vesso", L"x:HalvaneVSOWDM",
                         L"C:\\VESSO\\pin_in.ico", KEY_WOW64_64KEY);
    registry.addEndpoint(L"Capture", kEntry3, L"VESSO Output", L"Halvane Virtual Vesso", L"x:HalvaneVSOWDM",
                         L"C:\\VESSO\\pin_out.ico", KEY_WOW64_64KEY);
    // The 32-bit view has the direction key, but empty: found after the one retry.
    registry.createKey(TestRegistry::directionPath(L"Capture"));

    EndpointRegistryRecord playback, recording;
    EXPECT_EQ(1, readTableRow("HalvaneVSOWDM", &playback, &recording));
    EXPECT_EQ(0x10000001u, playback.flags);  // playback, 64-bit view
    EXPECT_STREQ(L"C:\\VESSO\\pin_in.ico", playback.iconPath);
    EXPECT_EQ(0x10000002u, recording.flags);  // recording, 64-bit view
    EXPECT_EQ(TestRegistry::propertiesPath(L"Capture", kEntry3), recording.propertiesKeyPath);

    DeviceRecord record = waveRecord(L"VESSO Output (Halvane Virtual V");
    EXPECT_EQ(0, complete(&record, DIRECTION_RECORDING, 3));
    EXPECT_STREQ("HalvaneVSOWDM", record.hardwareId);
    EXPECT_STREQ(L"C:\\VESSO\\pin_out.ico", record.iconPath);
}

TEST_F(EndpointStoreTest, EntriesInTheDefaultViewCarryNo64BitFlag) {
    registry.addEndpoint(L"Render", kEntry1, L"VESSO Input", L"Halvane Virtual Vesso", L"x:HalvaneVSOWDM");
    EndpointRegistryRecord entry;
    EXPECT_EQ(1, readTableRow("HalvaneVSOWDM", &entry));
    EXPECT_EQ(0x1u, entry.flags);  // playback
}

// --- entries of the catalogued drivers ----------------------------------------------------------

std::vector<uint8_t> formatValue(size_t size, uint16_t channels, uint32_t rate) {
    std::vector<uint8_t> v(size, 0);
    for (size_t i = 0; i < size; ++i) v[i] = uint8_t(0xA0 + i);
    if (size >= 26) {
        const uint8_t header[18] = {0xFE, 0xFF, uint8_t(channels), 0, uint8_t(rate), uint8_t(rate >> 8),
                                    uint8_t(rate >> 16), 0, 0, 0, 0, 0, 8, 0, 24, 0, 22, 0};
        memcpy(&v[8], header, sizeof(header));
    }
    return v;
}

TEST_F(EndpointStoreTest, RecordOfAnEntry) {
    const std::wstring path = TestRegistry::propertiesPath(L"Render", kEntry2);
    registry.addEndpoint(L"Render", kEntry1, L"Other", L"Card", L"x:OTHER");
    registry.addEndpoint(L"Render", kEntry2, L"VESSO Input", L"Halvane Virtual Vesso", L"x:halvanevsowdm",
                         L"%HV_TEST_ROOT%\\VESSO\\pin_in.ico");
    registry.setString(path, kStoreValue.description, std::wstring(200, L'd'));
    registry.setDword(path, kStoreValue.exclusiveFirst, 1);
    registry.setDword(path, kStoreValue.exclusiveSecond, 0);
    registry.setBinary(path, kStoreValue.oemFormat, formatValue(48, 2, 44100));
    registry.setBinary(path, kStoreValue.deviceFormat, formatValue(255, 6, 48000));
    SetEnvironmentVariableW(L"HV_TEST_ROOT", L"C:\\Halvane");

    EndpointRegistryRecord entry;
    EXPECT_EQ(1, readTableRow("HalvaneVSOWDM", &entry));  // case ignored
    EXPECT_STREQ("halvanevsowdm", entry.hardwareId);
    EXPECT_EQ(path, entry.propertiesKeyPath);
    EXPECT_STREQ(L"Halvane Virtual Vesso", entry.adapterName);
    EXPECT_EQ(std::wstring(127, L'd'), entry.endpointDescription);
    EXPECT_STREQ(L"C:\\Halvane\\VESSO\\pin_in.ico", entry.iconPath);
    EXPECT_EQ(0x71u, entry.flags);  // playback; first setting read and on; second read, off
    EXPECT_EQ(48, entry.oemFormatSize);
    EXPECT_EQ(0, memcmp(entry.oemFormatValue, formatValue(48, 2, 44100).data(), 48));
    EXPECT_EQ(0, memcmp(entry.oemFormatHeader, formatValue(48, 2, 44100).data() + 8, 18));
    EXPECT_EQ(255, entry.deviceFormatSize);
    EXPECT_EQ(6, entry.deviceFormatHeader[2]);
    // The fields of the two headers, as the panel reads them.
    const WaveFormat device(entry.deviceFormatHeader), oem(entry.oemFormatHeader);
    EXPECT_EQ(48000u, device.sampleRate());
    EXPECT_EQ(6u, device.channels());
    EXPECT_EQ(24u, device.bits());
    EXPECT_EQ(8u, device.blockAlign());
    EXPECT_EQ(44100u, oem.sampleRate());
    EXPECT_EQ(2u, oem.channels());

    EXPECT_EQ(0, readTableRow("HalvaneVSOAWDM", nullptr));
}

// The whole ID is compared, never a cut of it: a longer one does not pass for a listed one.
TEST_F(EndpointStoreTest, TableMatchesWholeHardwareIdsOnly) {
    const std::string id(127, 'h');
    registry.addEndpoint(L"Render", kEntry1, L"Longer", L"Card", L"x:" + std::wstring(128, L'h'));
    EXPECT_EQ(0, readTableRow(id.c_str(), nullptr));
    registry.addEndpoint(L"Render", kEntry2, L"Same", L"Card", L"x:" + std::wstring(127, L'H'));
    EndpointRegistryRecord entry;
    ASSERT_EQ(1, readTableRow(id.c_str(), &entry));
    EXPECT_EQ(std::string(127, 'H'), entry.hardwareId);
    EXPECT_EQ(TestRegistry::propertiesPath(L"Render", kEntry2), entry.propertiesKeyPath);
}

TEST_F(EndpointStoreTest, FormatValuesOutside48To255BytesAreIgnored) {
    struct Case {
        size_t size;
        bool taken;
    } cases[] = {{26, false}, {47, false}, {48, true}, {255, true}, {256, false}, {1025, false}};
    const std::wstring path = TestRegistry::propertiesPath(L"Capture", kEntry3);
    for (const Case& c : cases) {
        TestRegistry::deleteStore();
        registry.addEndpoint(L"Render", kEntry1, L"In", L"Card", L"x:HalvaneVSOWDM");
        registry.addEndpoint(L"Capture", kEntry3, L"Out", L"Card", L"x:HalvaneVSOWDM");
        registry.setBinary(path, kStoreValue.deviceFormat, formatValue(c.size, 2, 48000));
        EndpointRegistryRecord entry;
        ASSERT_EQ(1, readTableRow("HalvaneVSOWDM", nullptr, &entry));
        EXPECT_EQ(c.taken ? int32_t(c.size) : 0, entry.deviceFormatSize) << c.size << " bytes";
        EXPECT_EQ(c.taken ? 2 : 0, entry.deviceFormatHeader[2]) << c.size << " bytes";
        EXPECT_EQ(c.taken ? 48000u : 0u, WaveFormat(entry.deviceFormatHeader).sampleRate()) << c.size << " bytes";
        EXPECT_EQ(0, entry.oemFormatSize);
    }
}

TEST_F(EndpointStoreTest, TableListsDriversWithAPlaybackEntryInCatalogueOrder) {
    // Ahead of everything, another maker's entries whose IDs only look like catalogued ones.
    registry.addEndpoint(L"Render", L"{0.0.0.00000000}.{00000000-0000-0000-0000-00000000000a}", L"Fake",
                         L"Other maker", L"x:\xFF28\xFF41\xFF4C\xFF56\xFF41\xFF4E\xFF45VSOAWDM");
    registry.addEndpoint(L"Render", L"{0.0.0.00000000}.{00000000-0000-0000-0000-00000000000b}", L"Fake",
                         L"Other maker", L"x:Halvane101WDMVesso\x0421");  // Cyrillic capital Es
    // Vesso C: both sides; Vesso A: playback only; Vesso B: recording only (not listed).
    registry.addEndpoint(L"Render", kEntry1, L"VESSO-C Input", L"Halvane Vesso C", L"x:Halvane101WDMVessoC");
    registry.addEndpoint(L"Capture", kEntry3, L"VESSO-C Output", L"Halvane Vesso C", L"x:Halvane101WDMVessoC");
    registry.addEndpoint(L"Render", kEntry2, L"VESSO-A Input", L"Halvane Vesso A", L"x:HalvaneVSOAWDM");
    registry.addEndpoint(L"Capture", L"{0.0.1.00000000}.{44444444-4444-4444-4444-444444444444}", L"VESSO-B Output",
                         L"Halvane Vesso B", L"x:HalvaneVSOBWDM");
    static EndpointRegistryTable table;
    memset(&table, 0x5A, sizeof(table));
    readEndpointRegistryTable(&table, catalogHardwareIds());
    ASSERT_EQ(2, table.pairCount);
    EXPECT_STREQ("HalvaneVSOAWDM", table.renderEntries[0].hardwareId);
    EXPECT_EQ(0x2u, table.captureEntries[0].flags);  // empty recording entry
    EXPECT_EQ(0, table.captureEntries[0].hardwareId[0]);
    EXPECT_STREQ("Halvane101WDMVessoC", table.renderEntries[1].hardwareId);
    EXPECT_STREQ("Halvane101WDMVessoC", table.captureEntries[1].hardwareId);
    EXPECT_EQ(TestRegistry::propertiesPath(L"Render", kEntry2), table.renderEntries[0].propertiesKeyPath);
    EXPECT_EQ(TestRegistry::propertiesPath(L"Render", kEntry1), table.renderEntries[1].propertiesKeyPath);

    TestRegistry::deleteStore();
    readEndpointRegistryTable(&table, catalogHardwareIds());
    EXPECT_EQ(0, table.pairCount);
}

// --- icon paths ---------------------------------------------------------------------------------

std::wstring expanded(const std::wstring& text) {
    wchar_t buffer[1024];
    lstrcpynW(buffer, text.c_str(), 1024);
    expandIconPath(buffer);
    return buffer;
}

TEST(ExpandIconPath, EscapesAndVariables) {
    SetEnvironmentVariableW(L"HV_ROOT", L"C:\\Root");
    SetEnvironmentVariableW(L"HV_UNSET", NULL);
    SetEnvironmentVariableW(L"HV_LONG", std::wstring(511, L'v').c_str());
    SetEnvironmentVariableW(L"HV_TOO_LONG", std::wstring(512, L'w').c_str());
    struct Case {
        std::wstring text;
        std::wstring expected;
    } cases[] = {
        {L"plain.ico,-3", L"plain.ico,-3"},
        {L"%HV_ROOT%\\x.ico", L"C:\\Root\\x.ico"},
        {L"a%HV_UNSET%b", L"ab"},
        {L"100%% sure", L"100% sure"},
        {L"say %'hi%'", L"say \"hi\""},
        {L"a%:b", L"a;b"},
        {L"trailing%", L"trailing"},
        {L"open %HV_ROOT", L"open "},
        {L"%HV_ROOT%%HV_ROOT%", L"C:\\RootC:\\Root"},
        {L"%%HV_ROOT%%", L"%HV_ROOT%"},
        {L"[%HV_TOO_LONG%]", L"[]"},
        {L"[%HV_LONG%]", L"[" + std::wstring(511, L'v') + L"]"},
        {L"%" + std::wstring(600, L'n') + L"%after", L"after"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, expanded(c.text)) << std::string(c.text.begin(), c.text.end());
}

TEST(ExpandIconPath, StopsAtTheCapacity) {
    SetEnvironmentVariableW(L"HV_LONG", std::wstring(511, L'v').c_str());
    // 600 characters, then a value that would pass 1023: the expansion stops before it.
    EXPECT_EQ(std::wstring(600, L'a'), expanded(std::wstring(600, L'a') + L"%HV_LONG%tail"));
    // After a long value, plain text stops at 1023 characters.
    EXPECT_EQ(std::wstring(511, L'v') + std::wstring(512, L'a'), expanded(L"%HV_LONG%" + std::wstring(1014, L'a')));
    EXPECT_EQ(std::wstring(1023, L'a'), expanded(std::wstring(1023, L'a')));
    EXPECT_EQ(std::wstring(1017, L'a') + L"%\";", expanded(std::wstring(1017, L'a') + L"%%%'%:"));
}

}  // namespace
