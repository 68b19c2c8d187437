#include <gtest/gtest.h>

#include <string>

#include "report/descriptors.h"
#include "report/what_to_do.h"
#include "support/golden.h"

namespace {

// The README shows the table of causes, words and steps as the program has it.
TEST(Descriptors, TheReadmeShowsTheTableOfCauses) {
    const std::string readme = readFileBytes(std::string(HV_GOLDEN_DIR) + "/../../../README.md");
    ASSERT_FALSE(readme.empty());
    for (const CauseDescriptor& c : CAUSE_DESCRIPTORS) {
        std::string row = std::string("| `") + c.jsonName + "` | " + c.words + " | ";
        for (int i = 0; i < CAUSE_STEPS_MAX && c.steps[i]; ++i)
            row += (i ? "<br>" : "") + std::to_string(i + 1) + ". " + c.steps[i];
        EXPECT_NE(std::string::npos, readme.find(row + (c.steps[0] ? " |\n" : "|\n"))) << row;
    }
}

TEST(Descriptors, TextsFilledAsOneLine) {
    WatchedEntry entry = {};
    wcscpy(entry.name, L"Mic\r\nOUT MME Fake");
    entry.known = ENTRY_HAS_NAME;
    Diagnosis why = {};
    why.cause = CAUSE_RENAMED_BY_USER;
    why.evidence = EVIDENCE_STORED_NAME;
    why.entry = &entry;
    wcscpy(why.expected, L"VESSO Output");
    wchar_t text[256];
    fillCauseText("Put {found} back as {expected} for {driver}, {value}; {other}", why, "Halvane Vesso A", text, 256);
    EXPECT_EQ(std::wstring(L"Put Mic??OUT MME Fake back as VESSO Output for Halvane Vesso A, 0; {other}"), text);
    // A negative initialization value prints as one; a text is cut to its room.
    why.evidence = EVIDENCE_INTEGRITY;
    why.value = uint32_t(-4);
    fillCauseText("value {value}", why, "", text, 9);
    EXPECT_EQ(std::wstring(L"value -4"), text);
    why.evidence = EVIDENCE_LISTED;
    why.listed = LISTED_KS_INTERFACE | LISTED_WAVE_DEVICE;
    formatEvidence(why, "", nullptr, text, 256);
    EXPECT_EQ(std::wstring(L"The driver does not answer: Windows lists its devices (a kernel-streaming interface, a "
                           L"wave device), but it gave no version"),
              text);
    EXPECT_FALSE(evidenceFromWindows(EVIDENCE_LISTED));
    // The tab and the device an entry's steps name.
    entry.direction = DIRECTION_RECORDING;
    fillCauseText("On the {tab} tab, select {device}.", why, "", text, 256);
    EXPECT_EQ(std::wstring(L"On the Recording tab, select Mic??OUT MME Fake."), text);
}

// Every device of a row that says what the deciding one says, each with Device Manager's own
// sentence for its code; one that says something else is left out.
TEST(Descriptors, DeviceManagersSentenceForEveryDeviceWithTheCode) {
    // The fourth is not present (its old code says nothing now), the fifth another start failure.
    DeviceNodeRecord nodes[5] = {};
    const wchar_t* ids[] = {L"ROOT\\MEDIA\\0000", L"ROOT\\MEDIA\\0001", L"ROOT\\MEDIA\\0002",
                            L"ROOT\\MEDIA\\0003", L"ROOT\\MEDIA\\0004"};
    const uint32_t codes[] = {22, 10, 22, 22, 31};
    RowEvidence row = {};
    for (int i = 0; i < 5; ++i) {
        nodes[i].known = i == 3 ? NODE_PROBLEM_KNOWN : NODE_PRESENT | NODE_PROBLEM_KNOWN;
        nodes[i].problemCode = codes[i];
        wcscpy(nodes[i].instanceId, ids[i]);
        row.nodes[row.keptNodes++] = &nodes[i];
    }
    Diagnosis why = {};
    why.evidence = EVIDENCE_DEVICE_NODE;
    why.node = &nodes[0];
    why.value = 22;
    wchar_t text[512];
    formatEvidence(why, "", &row, text, 512);
    EXPECT_EQ(std::wstring(L"Device Manager: ROOT\\MEDIA\\0000, ROOT\\MEDIA\\0002: \"This device is disabled. (Code 22)\""), text);
    why.node = &nodes[1];
    why.value = 10;
    formatEvidence(why, "", &row, text, 512);
    EXPECT_EQ(std::wstring(L"Device Manager: ROOT\\MEDIA\\0001: \"This device cannot start. (Code 10)\""), text);
    why.node = &nodes[0];
    why.value = nodes[0].problemCode = 9999;
    formatEvidence(why, "", nullptr, text, 512);
    EXPECT_EQ(std::wstring(L"Device Manager: ROOT\\MEDIA\\0000 has problem code 9999"), text);
    EXPECT_TRUE(evidenceFromWindows(EVIDENCE_DEVICE_NODE));
}

// The Windows place each cause's steps are done in, and a run's: those of the causes its What To
// Do text shows (rows with a problem, their findings, the checker's own file).
TEST(Descriptors, TheWindowsPlacesOfARun) {
    const uint32_t sound = 1, deviceManager = 2, services = 4;
    const std::pair<Cause, uint32_t> places[] = {
        {CAUSE_UNKNOWN, 0}, {CAUSE_ENDPOINT_DISABLED, sound}, {CAUSE_ENDPOINT_NOT_PRESENT, 0},
        {CAUSE_RENAMED_BY_USER, sound}, {CAUSE_ICON_CHANGED_BY_USER, sound},
        {CAUSE_AUDIO_SERVICE_NOT_RUNNING, services},
        {CAUSE_DRIVER_DISABLED, deviceManager}, {CAUSE_DRIVER_NOT_STARTED, deviceManager},
        {CAUSE_SIGNATURE_NOT_VERIFIED, 0}, {CAUSE_RESTART_NEEDED, 0}, {CAUSE_INSTALLED_TWICE, deviceManager},
        {CAUSE_CHECKER_DAMAGED, 0}};
    for (const auto& p : places) EXPECT_EQ(p.second, uint32_t(causeDescriptor(p.first).place)) << p.first;

    static RunResults run;
    run = {};
    EXPECT_EQ(0u, windowsPlacesOf(run));
    run.drivers[0].why.cause = CAUSE_UNKNOWN;
    run.drivers[0].findingCount = 1;
    run.drivers[0].findings[0].why.cause = CAUSE_ENDPOINT_DISABLED;
    run.drivers[1].findingCount = 1;  // a row without a problem shows nothing
    run.drivers[1].findings[0].why.cause = CAUSE_AUDIO_SERVICE_NOT_RUNNING;
    run.drivers[9].why.cause = CAUSE_INSTALLED_TWICE;
    EXPECT_EQ(sound | deviceManager, windowsPlacesOf(run));
}

}  // namespace
