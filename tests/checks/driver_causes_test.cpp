#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "checks/driver_causes.h"
#include "fixes/fix_plan.h"
#include "report/what_to_do.h"
#include "support/check_world.h"
#include "support/fake_device_tree.h"
#include "support/golden.h"
#include "support/test_registry.h"
#include "support/test_files.h"

namespace {

const DriverCatalogEntry& kVesso = DRIVER_CATALOG[0];

// The evidence of a pass, planted as Windows keeps it (a device tree, the store's entries) and
// read by the pass's own sources.
struct Evidence {
    explicit Evidence(DeviceInventory& inventory) : inv(inventory) {
        inv.watched = catalogHardwareIds();
        inv.evidence.gathered = true;
        inv.evidence.services = {AUDIO_SERVICE_RUNNING, AUDIO_SERVICE_RUNNING};
    }
    void node(const wchar_t* id, bool present, uint32_t problem, uint32_t status = 0) {
        FakeDeviceNode& n = tree.add(id, L"HalvaneVSOWDM");
        n.present = present;
        n.problem = problem;
        n.status = status;
    }
    void entry(Direction side, const wchar_t* guid, uint32_t state, const wchar_t* name = L"", const wchar_t* icon = L"") {
        const wchar_t* direction = side == DIRECTION_RECORDING ? L"Capture" : L"Render";
        registry.addEndpoint(direction, guid, name, L"Halvane Virtual Vesso", L"{1}.ROOT\\MEDIA\\0001:HalvaneVSOWDM", icon);
        registry.setDword(TestRegistry::directionPath(direction) + L"\\" + guid, L"DeviceState", state);
        ++entries;
    }
    // What the pass reads of it, once the devices are in their lists.
    void read() {
        collectDeviceNodes(inv.watched, &inv.evidence.nodes);
        for (Direction side : {DIRECTION_RECORDING, DIRECTION_PLAYBACK}) {
            EndpointStoreReading reading;
            reading.read(side);
            addWatchedEntries(reading.get(), side, inv.watched,
                              side == DIRECTION_RECORDING ? inv.inputDevices : inv.outputDevices, &inv.evidence.entries);
        }
    }
    DeviceInventory& inv;
    FakeDeviceTree tree;
    TestRegistry registry;
    int32_t entries = 0;
};

// Every device of the first driver in every list, but those a case removes.
void installVesso(CheckWorld& w, std::vector<std::pair<uint32_t, bool>> missing = {}) {
    w.addInterface(kVesso, false, L"Halvane Point");
    for (DeviceSource kind : {KIND_MME, KIND_KS, KIND_WDM})
        for (bool recording : {true, false}) {
            bool skip = false;
            for (auto m : missing) skip = skip || (m.first == kind && m.second == recording);
            if (!skip) w.add(recording ? w.inventory.inputDevices : w.inventory.outputDevices,
                             CheckWorld::correctDevice(kVesso, kind, recording));
        }
}
DeviceRecord* find(CheckWorld& w, DeviceSource kind, bool recording) {
    RecordList& list = recording ? w.inventory.inputDevices : w.inventory.outputDevices;
    for (uint32_t i = 1; i <= list.count; ++i)
        if (recordAt(list, i)->kind == kind) return recordAt(list, i);
    return nullptr;
}

// A second playback device with the driver's hardware ID, and two device nodes that carry it.
void installTwice(CheckWorld& w, Evidence& e, bool secondPresent) {
    installVesso(w);
    RecordFields twin = CheckWorld::correctDevice(kVesso, KIND_WDM, false);
    twin.name = L"VESSO Input (Halvane Virtual Vesso) 2";
    twin.deviceGuid = L"{twin}";
    w.add(w.inventory.outputDevices, twin);
    e.node(L"ROOT\\MEDIA\\0000", true, 0);
    e.node(L"ROOT\\MEDIA\\0001", secondPresent, 0);
}

const uint32_t kRight = 0x01000305;
const wchar_t kPlayGuid[] = L"{0.0.0.00000000}.{HalvaneVSOWDM-wdm-out}";
const wchar_t kRecGuid[] = L"{0.0.1.00000000}.{HalvaneVSOWDM-wdm-in}";

// The icon file of the first driver's playback side, beside the recording side's.
std::wstring plantedIconFolder(TempDirectory& dir) {
    CreateDirectoryW((dir.widePath() + L"\\VESSO").c_str(), NULL);
    dir.write("VESSO\\pin_in.ico", {0, 0, 1, 0});
    return dir.widePath() + L"\\VESSO\\";
}

// Each case: the row's state, cause and findings' causes, and the fixes planned for them (the
// services' evidence included), with a restart where only one fixes it.
TEST(DriverCauses, TheEvidenceDecidesOneCausePerRowAndFinding) {
    TempDirectory icons;
    const std::wstring iconFolder = plantedIconFolder(icons), foundIcon = iconFolder + L"pin_in.ico";
    const std::vector<FixAction> none;
    const struct Case {
        const char* name;
        uint32_t version;  // the control device's answer; 0: none
        std::function<void(CheckWorld&, Evidence&)> plant;
        DriverState state;
        int32_t errors;
        Cause rowCause;
        std::vector<Cause> findingCauses;
        uint32_t problemCode;
        const wchar_t* expected;
        std::vector<FixAction> fixes;
        bool restart;
    } cases[] = {
        {"disabled in Device Manager", 0, [](CheckWorld&, Evidence& e) { e.node(L"ROOT\\MEDIA\\0000", true, 22); },
         DRIVER_STATE_NOT_RUNNING, 1, CAUSE_DRIVER_DISABLED, {}, 22, L"", {FIX_ENABLE_DEVICE}},
        {"signature not verified", 0, [](CheckWorld&, Evidence& e) { e.node(L"ROOT\\MEDIA\\0000", true, 52); },
         DRIVER_STATE_NOT_RUNNING, 1, CAUSE_SIGNATURE_NOT_VERIFIED, {}, 52, L"", none},
        {"failed start", 0, [](CheckWorld&, Evidence& e) { e.node(L"ROOT\\MEDIA\\0000", true, 10); },
         DRIVER_STATE_NOT_RUNNING, 1, CAUSE_DRIVER_NOT_STARTED, {}, 10, L"", {FIX_RESTART_DEVICE}},
        {"failed start, and an unsigned second device: only the first started again", 0,
         [](CheckWorld&, Evidence& e) {
             e.node(L"ROOT\\MEDIA\\0000", true, 10);
             e.node(L"ROOT\\MEDIA\\0001", true, 52);
         },
         DRIVER_STATE_NOT_RUNNING, 1, CAUSE_DRIVER_NOT_STARTED, {}, 10, L"", {FIX_RESTART_DEVICE}},
        {"a device waiting for a restart before a disabled one: one node decides line and cause", 0,
         [](CheckWorld&, Evidence& e) {
             e.node(L"ROOT\\MEDIA\\0000", true, 0, 0x100);
             e.node(L"ROOT\\MEDIA\\0001", true, 22);
         },
         DRIVER_STATE_NOT_RUNNING, 1, CAUSE_DRIVER_DISABLED, {}, 22, L"", {FIX_ENABLE_DEVICE}},
        {"the problem code of the two hundredth present device", 0,
         [](CheckWorld&, Evidence& e) {
             for (int i = 0; i < 199; ++i) e.node((L"ROOT\\MEDIA\\" + std::to_wstring(1000 + i)).c_str(), true, 0);
             e.node(L"ROOT\\MEDIA\\2000", true, 22);
         },
         DRIVER_STATE_NOT_RUNNING, 1, CAUSE_DRIVER_DISABLED, {}, 22, L"", {FIX_ENABLE_DEVICE}},
        {"restart needed", 0, [](CheckWorld&, Evidence& e) { e.node(L"ROOT\\MEDIA\\0000", true, 14); },
         DRIVER_STATE_NOT_RUNNING, 1, CAUSE_RESTART_NEEDED, {}, 14, L"", none, true},
        {"only left-overs stay not installed", 0,
         [](CheckWorld&, Evidence& e) {
             e.node(L"ROOT\\MEDIA\\0000", false, 22);
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 4, L"VESSO Input");
         },
         DRIVER_STATE_NOT_INSTALLED, 0, CAUSE_NONE, {}, 0, L""},
        {"listed without a version", 0, [](CheckWorld& w, Evidence&) { installVesso(w); },
         DRIVER_STATE_NOT_ANSWERING, 1, CAUSE_DRIVER_NOT_ANSWERING, {}, 0, L""},
        {"listed, waiting for a restart", 0,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w);
             e.node(L"ROOT\\MEDIA\\0000", true, 0, 0x100);
         },
         DRIVER_STATE_NOT_ANSWERING, 1, CAUSE_RESTART_NEEDED, {}, 0, L"", none, true},
        {"a device missing until the restart Windows asks for", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_WDM, false}});
             e.node(L"ROOT\\MEDIA\\0000", true, 0, 0x100);
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_RESTART_NEEDED, {CAUSE_RESTART_NEEDED}, 0, L"", none, true},
        {"endpoint disabled", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_WDM, false}});
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 2, L"VESSO Input");
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_ENDPOINT_DISABLED, {CAUSE_ENDPOINT_DISABLED}, 0, L""},
        {"forty entries of the other side do not hide this side's disabled one", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_WDM, false}});
             for (int i = 0; i < 40; ++i) e.entry(DIRECTION_RECORDING, (L"{rec" + std::to_wstring(i) + L"}").c_str(), 8);
             e.entry(DIRECTION_PLAYBACK, L"{old}", 4);
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 2, L"VESSO Input");
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_ENDPOINT_DISABLED, {CAUSE_ENDPOINT_DISABLED}, 0, L""},
        {"an active microphone says nothing of the disabled playback device", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_WDM, false}});
             e.entry(DIRECTION_RECORDING, kRecGuid, 1, L"VESSO Output");
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 2, L"VESSO Input");
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_ENDPOINT_DISABLED, {CAUSE_ENDPOINT_DISABLED}, 0, L""},
        {"findings nothing explains, a device waiting for a restart", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w);
             strcpy(find(w, KIND_WDM, true)->pinName, "Other (Halvane Virtual Vesso)");
             strcpy(find(w, KIND_KS, true)->pinName, "Other Point");
             e.node(L"ROOT\\MEDIA\\0000", true, 0, 0x100);
         },
         DRIVER_STATE_CHECKED, 2, CAUSE_RESTART_NEEDED, {CAUSE_UNKNOWN, CAUSE_UNKNOWN}, 0, L"", none, true},
        {"an active entry of the side explains nothing", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_WDM, false}});
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 2);
             e.entry(DIRECTION_PLAYBACK, L"{other}", 1);
             e.entry(DIRECTION_RECORDING, kRecGuid, 8);  // the other side's says nothing of this one
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_UNKNOWN, {CAUSE_UNKNOWN}, 0, L""},
        {"endpoint not present, unplugged", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_WDM, false}, {KIND_WDM, true}});
             e.entry(DIRECTION_RECORDING, kRecGuid, 0x10000004);  // high bits are not the state
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 8);
         },
         DRIVER_STATE_CHECKED, 2, CAUSE_ENDPOINT_NOT_PRESENT, {CAUSE_ENDPOINT_NOT_PRESENT, CAUSE_ENDPOINT_UNPLUGGED},
         0, L""},
        {"Windows Audio stopped: wave devices, not kernel streaming", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_MME, true}, {KIND_MME, false}, {KIND_KS, true}});
             e.inv.evidence.services.audio = AUDIO_SERVICE_STOPPED;
         },
         DRIVER_STATE_CHECKED, 3, CAUSE_AUDIO_SERVICE_NOT_RUNNING,
         {CAUSE_AUDIO_SERVICE_NOT_RUNNING, CAUSE_AUDIO_SERVICE_NOT_RUNNING, CAUSE_UNKNOWN}, 0, L"", {FIX_START_SERVICE}},
        {"a missing kernel-streaming device is not the Sound settings' nor the services'", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_KS, true}, {KIND_KS, false}});
             e.entry(DIRECTION_RECORDING, kRecGuid, 2, L"VESSO Output");
             e.inv.evidence.services = {AUDIO_SERVICE_STOPPED, AUDIO_SERVICE_STOPPED};
         },
         DRIVER_STATE_CHECKED, 2, CAUSE_UNKNOWN, {CAUSE_UNKNOWN, CAUSE_UNKNOWN}, 0, L""},
        {"a service the manager does not tell of is not blamed", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_MME, true}, {KIND_MME, false}});
             e.inv.evidence.services = {AUDIO_SERVICE_UNREADABLE, AUDIO_SERVICE_UNREADABLE};
         },
         DRIVER_STATE_CHECKED, 2, CAUSE_UNKNOWN, {CAUSE_UNKNOWN, CAUSE_UNKNOWN}, 0, L""},
        {"listed only as endpoints, without a version", 0,
         [](CheckWorld& w, Evidence&) {
             for (bool recording : {true, false})
                 w.add(recording ? w.inventory.inputDevices : w.inventory.outputDevices,
                       CheckWorld::correctDevice(kVesso, KIND_WDM, recording));
         },
         DRIVER_STATE_NOT_ANSWERING, 1, CAUSE_DRIVER_NOT_ANSWERING, {}, 0, L""},
        {"a service the manager calls stopped while its list holds devices", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_MME, true}});
             e.inv.evidence.services = {AUDIO_SERVICE_MISSING, AUDIO_SERVICE_MISSING};
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_UNKNOWN, {CAUSE_UNKNOWN}, 0, L""},
        {"only the endpoint builder decides endpoints", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w, {{KIND_WDM, true}, {KIND_WDM, false}});
             e.inv.evidence.services = {AUDIO_SERVICE_DISABLED, AUDIO_SERVICE_RUNNING};
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 2);
             e.inv.evidence.services.endpointBuilder = AUDIO_SERVICE_RUNNING;
         },
         DRIVER_STATE_CHECKED, 2, CAUSE_ENDPOINT_DISABLED, {CAUSE_UNKNOWN, CAUSE_ENDPOINT_DISABLED}, 0, L""},
        {"renamed by the user", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w);
             wcscpy(find(w, KIND_WDM, true)->pinNameW, L"My Mic (Halvane Virtual Vesso)");
             strcpy(find(w, KIND_WDM, true)->pinName, "My Mic (Halvane Virtual Vesso)");
             e.entry(DIRECTION_RECORDING, kRecGuid, 1, L"My Mic");
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_RENAMED_BY_USER, {CAUSE_RENAMED_BY_USER}, 0, L"VESSO Output", {FIX_RESTORE_NAME}},
        {"a wrong kernel-streaming name says the driver is not the one", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w);
             strcpy(find(w, KIND_WDM, true)->pinName, "My Mic (Halvane Virtual Vesso)");
             strcpy(find(w, KIND_KS, true)->pinName, "Other Point");
             e.entry(DIRECTION_RECORDING, kRecGuid, 1, L"My Mic");
         },
         DRIVER_STATE_CHECKED, 2, CAUSE_UNKNOWN, {CAUSE_UNKNOWN, CAUSE_UNKNOWN}, 0, L""},
        {"icon changed by the user", kRight,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w);
             wcscpy(find(w, KIND_WDM, false)->iconPath, L"C:\\icons\\mine.ico");
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 1, L"VESSO Input", L"C:\\icons\\mine.ico");
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_ICON_CHANGED_BY_USER, {CAUSE_ICON_CHANGED_BY_USER}, 0, L"VESSO\\pin_in.ico"},
        {"icon changed, the driver's file beside the other side's icon", kRight,
         [&](CheckWorld& w, Evidence& e) {
             installVesso(w);
             wcscpy(find(w, KIND_WDM, false)->iconPath, L"C:\\icons\\mine.ico");
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 1, L"VESSO Input", L"C:\\icons\\mine.ico");
             e.entry(DIRECTION_RECORDING, kRecGuid, 1, L"VESSO Output", (iconFolder + L"pin_out.ico").c_str());
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_ICON_CHANGED_BY_USER, {CAUSE_ICON_CHANGED_BY_USER}, 0, foundIcon.c_str(),
         {FIX_RESTORE_ICON}},
        {"icon changed, no driver's file beside the other side's icon", kRight,
         [&](CheckWorld& w, Evidence& e) {
             installVesso(w);
             wcscpy(find(w, KIND_WDM, false)->iconPath, L"C:\\icons\\mine.ico");
             e.entry(DIRECTION_PLAYBACK, kPlayGuid, 1, L"VESSO Input", L"C:\\icons\\mine.ico");
             e.entry(DIRECTION_RECORDING, kRecGuid, 1, L"VESSO Output", L"C:\\nowhere\\VESSO\\pin_out.ico");
         },
         DRIVER_STATE_CHECKED, 1, CAUSE_ICON_CHANGED_BY_USER, {CAUSE_ICON_CHANGED_BY_USER}, 0,
         L"C:\\nowhere\\VESSO\\pin_in.ico"},
        {"listed without a version, its device present", 0,
         [](CheckWorld& w, Evidence& e) {
             installVesso(w);
             e.node(L"ROOT\\MEDIA\\0000", true, 0);
         },
         DRIVER_STATE_NOT_ANSWERING, 1, CAUSE_DRIVER_NOT_ANSWERING, {}, 0, L"", {FIX_RESTART_DEVICE}},
        {"installed twice", kRight, [](CheckWorld& w, Evidence& e) { installTwice(w, e, true); },
         DRIVER_STATE_CHECKED, 2, CAUSE_INSTALLED_TWICE, {CAUSE_INSTALLED_TWICE, CAUSE_INSTALLED_TWICE}, 0, L""},
        {"a second device node that is not present is a left-over, not a second install", kRight,
         [](CheckWorld& w, Evidence& e) { installTwice(w, e, false); },
         DRIVER_STATE_CHECKED, 2, CAUSE_UNKNOWN, {CAUSE_UNKNOWN, CAUSE_UNKNOWN}, 0, L""},
        {"older driver", 0x01000304, nullptr, DRIVER_STATE_WRONG_VERSION, 1, CAUSE_OLDER_DRIVER, {}, 0, L"01000305"},
        {"newer driver", 0x01000306, nullptr, DRIVER_STATE_WRONG_VERSION, 1, CAUSE_NEWER_DRIVER, {}, 0, L"01000305"},
        {"no interface, no evidence", kRight, nullptr, DRIVER_STATE_INSTALLATION_PROBLEM, 2, CAUSE_UNKNOWN, {}, 0, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CheckWorld world;
        Evidence evidence(world.inventory);
        if (c.plant) c.plant(world, evidence);
        world.sortLists();
        evidence.read();
        const CheckContext context = {&world.inventory, OS_WIN10};
        const DriverVersionAnswer answer = {0, c.version};
        DriverResult result;
        EXPECT_EQ(c.errors, checkDriver(kVesso, answer, context, &result));
        EXPECT_EQ(c.state, result.state);
        EXPECT_EQ(c.rowCause, result.why.cause);
        EXPECT_EQ(c.problemCode, result.problemCode);
        std::vector<Cause> findings;
        for (int i = 0; i < result.findingCount; ++i) findings.push_back(result.findings[i].why.cause);
        EXPECT_EQ(c.findingCauses, findings);
        EXPECT_EQ(std::wstring(c.expected), result.why.expected);
        // Every node and entry of the row is counted, kept by the pass or not.
        EXPECT_EQ(int32_t(evidence.tree.nodes.size()), result.evidence.nodeCount);
        EXPECT_EQ(evidence.entries, result.evidence.entryCount);
        static DriverResult rows[DRIVER_CATALOG_SIZE];
        rows[0] = result;
        FixList plan;
        planFixes(rows, world.inventory.evidence.services, OS_WIN10, false, &plan);
        std::vector<FixAction> fixes;
        for (int i = 0; i < plan.count; ++i) fixes.push_back(plan.fixes[i].action);
        EXPECT_EQ(c.fixes, fixes);
        EXPECT_EQ(c.restart, plan.restartNeeded);
    }
}

TEST(DriverCauses, BeforeVistaNoServiceOrStoreDecides) {
    CheckWorld world;
    Evidence evidence(world.inventory);
    installVesso(world, {{KIND_MME, true}, {KIND_MME, false}});
    evidence.inv.evidence.services.audio = AUDIO_SERVICE_STOPPED;
    const CheckContext context = {&world.inventory, OS_XP};
    const DriverVersionAnswer answer = {0, kRight};
    DriverResult result;
    EXPECT_EQ(2, checkDriver(kVesso, answer, context, &result));
    EXPECT_EQ(CAUSE_UNKNOWN, result.why.cause);
}

TEST(DriverCauses, TheCheckerItselfDamaged) {
    Diagnosis why;
    decideIntegrity(-4, &why);
    EXPECT_EQ(CAUSE_CHECKER_DAMAGED, why.cause);
    EXPECT_EQ(uint32_t(-4), why.value);
    decideIntegrity(0, &why);
    EXPECT_EQ(CAUSE_NONE, why.cause);
}

}  // namespace

namespace {

// Both sides renamed, each back to its own name: two pieces of advice in What To Do, not one.
TEST(DriverCauses, TwoRenamesOfOneCauseAreTwoAdvices) {
    CheckWorld world;
    Evidence evidence(world.inventory);
    installVesso(world);
    for (bool recording : {true, false}) {
        DeviceRecord* d = find(world, KIND_WDM, recording);
        ASSERT_NE(nullptr, d);
        wcscpy(d->pinNameW, L"Mine (Halvane Virtual Vesso)");
        strcpy(d->pinName, "Mine (Halvane Virtual Vesso)");
        evidence.entry(recording ? DIRECTION_RECORDING : DIRECTION_PLAYBACK, recording ? kRecGuid : kPlayGuid, 1, L"Mine");
    }
    world.sortLists();
    evidence.read();
    static RunResults results;
    const CheckContext context = {&world.inventory, OS_WIN10};
    checkDriver(kVesso, DriverVersionAnswer{0, kRight}, context, &results.drivers[0]);
    LogBuffer text;
    createLog(&text);
    renderWhatToDo(results, &text);
    const std::wstring advice(text.text, text.length);
    releaseLog(&text);
    for (const wchar_t* step : {L"type its name back: VESSO Output,", L"type its name back: VESSO Input,"})
        EXPECT_NE(std::wstring::npos, advice.find(step)) << toUtf8(step);
}

}  // namespace
