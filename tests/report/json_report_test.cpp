#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/report_file.h"
#include "report/json_report.h"
#include "support/check_world.h"
#include "support/golden.h"
#include "support/scenario_files.h"

namespace {

std::string document(const JsonRuns& runs) { return jsonDocument(runs); }

// A run with nothing found and the given device lists.
RunResults emptyRun(const RecordList* recording, const RecordList* playback, int32_t initValue = 0) {
    RunResults r;
    memset(&r, 0, sizeof(r));
    r.checkerVersion = "1.0.8.8";
    r.testDate = {2026, 12, 2, 8, 23, 5, 9, 0};
    r.os = {OS_WIN10, 10, 0, 19045, 2};
    r.initValue = initValue;
    r.recordingDevices = recording;
    r.playbackDevices = playback;
    for (int i = 0; i < DRIVER_CATALOG_SIZE; ++i) {
        r.drivers[i].displayName = DRIVER_CATALOG[i].displayName;
        r.drivers[i].hardwareId = DRIVER_CATALOG[i].driverHardwareId;
        r.drivers[i].expectedVersion = DRIVER_CATALOG[i].expectedVersion;
    }
    return r;
}

// Whatever a driver or the registry put into a name, the document stays JSON: quotes,
// backslashes and control characters escaped, a surrogate half alone as U+FFFD, the rest UTF-8.
TEST(JsonReport, TextsFromOutsideAreEscaped) {
    const struct {
        const wchar_t* name;
        const char* json;
    } cases[] = {
        {L"a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
        {L"\x01\x1f\x7f\b\f", "\"\\u0001\\u001f\\u007f\\u0008\\u000c\""},
        {L"\r\n\t", "\"\\r\\n\\t\""},
        {L"Mikr\u00e9 \u4e2d \U0001F3A4", "\"Mikr\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x8E\xA4\""},
        {L"a\xD800" L"b\xDC00", "\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\""},
        {L"\xDFA4\xD83C", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) {
        CheckWorld world;
        RecordFields fields;
        fields.name = c.name;
        world.add(world.inventory.inputDevices, fields);
        JsonRuns runs = {};
        appendJsonRun(&runs, emptyRun(&world.inventory.inputDevices, &world.inventory.outputDevices));
        const std::string json = document(runs);
        EXPECT_NE(std::string::npos, json.find("\"name\": " + std::string(c.json) + ",")) << c.json;
        releaseJsonRuns(&runs);
    }
    // A field without a terminator is read to its end and no further.
    CheckWorld world;
    DeviceRecord* record = world.add(world.inventory.inputDevices, RecordFields());
    wmemset(record->pinNameW, L'n', 256);  // the whole field
    JsonRuns runs = {};
    appendJsonRun(&runs, emptyRun(&world.inventory.inputDevices, &world.inventory.outputDevices));
    EXPECT_NE(std::string::npos, document(runs).find("\"name\": \"" + std::string(256, 'n') + "\","));
    releaseJsonRuns(&runs);
}

TEST(JsonReport, ASessionKeepsItsNewestRunsOldestFirst) {
    CheckWorld world;
    JsonRuns runs = {};
    EXPECT_EQ(0u, document(runs).find("{\n  \"schemaVersion\": 3,\n  \"product\": \"Halvane Devices Checker\",\n"
                                      "  \"runsLeftOut\": 0,\n  \"runs\": []\n}\n"));
    // The initialization value marks each run; 1,024 are kept.
    for (int i = 0; i < 1030; ++i)
        appendJsonRun(&runs, emptyRun(&world.inventory.inputDevices, &world.inventory.outputDevices, i));
    EXPECT_EQ(1024, runs.runCount);
    const std::string json = document(runs);
    EXPECT_NE(std::string::npos, json.find("\"runsLeftOut\": 6,"));
    EXPECT_EQ(json.find("\"initializationValue\": "), json.find("\"initializationValue\": 6,"));
    EXPECT_EQ(json.rfind("\"initializationValue\": "), json.find("\"initializationValue\": 1029,"));
    EXPECT_EQ(std::string::npos, json.find("\"initializationValue\": 5,"));
    EXPECT_EQ("\n    }\n  ]\n}\n", json.substr(json.size() - 13));
    releaseJsonRuns(&runs);
}

// Past 16 MiB a session leaves out its oldest runs and counts them; the newest run always
// stays, also when it alone is larger. Runs of 520 devices whose texts are control characters,
// six bytes each in JSON (3.5 MB a run): four fit, five do not.
TEST(JsonReport, ASessionPastItsByteLimitKeepsItsNewestRunsAndCountsTheOthers) {
    CheckWorld world;
    RecordFields fields;
    fields.name = std::wstring(255, L'\x01');
    fields.iconPath = std::wstring(511, L'\x01');
    fields.driverName = std::wstring(255, L'\x01');
    fields.deviceGuid = std::wstring(63, L'\x01');
    for (int i = 0; i < 520; ++i) world.add(world.inventory.inputDevices, fields);
    JsonRuns runs = {};
    for (int i = 0; i < 7; ++i)
        appendJsonRun(&runs, emptyRun(&world.inventory.inputDevices, &world.inventory.outputDevices, i));
    std::string json = document(runs);
    EXPECT_EQ(4, runs.runCount);
    EXPECT_NE(std::string::npos, json.find("\"runsLeftOut\": 3,"));
    EXPECT_EQ(json.find("\"initializationValue\": "), json.find("\"initializationValue\": 3,"));
    EXPECT_NE(std::string::npos, json.find("\"initializationValue\": 6,"));
    EXPECT_GT(json.size(), 13u * 1000 * 1000);
    EXPECT_LE(json.size(), 16u * 1024 * 1024 + 200);
    // One run of five times as many devices is larger than the limit by itself: kept alone.
    for (int i = 0; i < 4 * 520; ++i) world.add(world.inventory.inputDevices, fields);
    appendJsonRun(&runs, emptyRun(&world.inventory.inputDevices, &world.inventory.outputDevices, 7));
    json = document(runs);
    EXPECT_EQ(1, runs.runCount);
    EXPECT_GT(json.size(), 16u * 1024 * 1024);
    EXPECT_NE(std::string::npos, json.find("\"runsLeftOut\": 7,"));
    EXPECT_EQ(json.find("\"initializationValue\": "), json.find("\"initializationValue\": 7,"));
    releaseJsonRuns(&runs);
}

// A version is found exactly where the driver gave one: null for a driver not installed or not
// responding, never "00000000"; the version in hex digits for every other state.
TEST(JsonReport, AVersionIsFoundExactlyWhereTheDriverGaveOne) {
    CheckWorld world;
    RunResults r = emptyRun(&world.inventory.inputDevices, &world.inventory.outputDevices);
    const struct {
        DriverState state;
        uint32_t version;
        const char* found;
    } rows[] = {
        {DRIVER_STATE_NOT_INSTALLED, 0, "null"},
        {DRIVER_STATE_NOT_RESPONDING, 0, "null"},
        {DRIVER_STATE_WRONG_VERSION, 0x01000306, "\"01000306\""},
        {DRIVER_STATE_INSTALLATION_PROBLEM, 0x0100030A, "\"0100030A\""},
        {DRIVER_STATE_CHECKED, 0x01000305, "\"01000305\""},
    };
    std::vector<std::string> expected;
    for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
        r.drivers[i].state = rows[i].state;
        r.drivers[i].version = rows[i].version;
        r.drivers[i].interfaceName = L"Halvane VESSO";
        expected.push_back(rows[i].found);
    }
    for (int i = sizeof(rows) / sizeof(rows[0]); i < DRIVER_CATALOG_SIZE; ++i) expected.push_back("null");
    JsonRuns runs = {};
    appendJsonRun(&runs, r);
    const std::string json = document(runs);
    std::vector<std::string> found;
    const std::string key = "\"versionFound\": ";
    for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        const size_t start = at + key.size();
        found.push_back(json.substr(start, json.find(',', start) - start));
    }
    EXPECT_EQ(expected, found);
    releaseJsonRuns(&runs);
}

// "-o" and "Save Report As..." write JSON for a name ending in ".json", in any case (the files
// themselves: json_reports.sh and the Save As GUI test).
TEST(JsonReport, ThePathChoosesTheForm) {
    const struct {
        const wchar_t* path;
        bool json;
    } cases[] = {
        {L"C:\\r.json", true}, {L"r.JSON", true}, {L"r.Json", true}, {L".json", true},
        {L"r.json.txt", false}, {L"rjson", false}, {L"r.jso", false}, {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.json, isJsonReportPath(c.path)) << toUtf8(c.path);
}

}  // namespace
