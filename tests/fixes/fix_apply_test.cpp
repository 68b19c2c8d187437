#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/registry.h"
#include "checker_remote/checker_remote.h"
#include "fixes/fix_apply.h"
#include "support/fake_device_tree.h"
#include "support/saved_table.h"
#include "support/test_registry.h"

namespace {

// A service manager of the two audio services standing in for Windows, which records the calls
// the fixes make and the rights they ask for.
struct FakeService {
    std::wstring name;
    DWORD state = SERVICE_STOPPED;
    DWORD start = SERVICE_DISABLED;
    DWORD refuseStart = 0;           // the start fails with this error
    bool staysPending = false;       // the start is accepted, the service never runs
    HANDLE startWaitsFor = NULL;     // a start that holds its caller until the event is set
};
struct FakeServices {
    FakeServices() {
        g = this;
        g_serviceApi = {openManager, openService, queryStatus, queryConfig, close, changeConfig, start};
    }
    ~FakeServices() { g = nullptr; }
    std::vector<FakeService> services;
    std::vector<std::string> calls;
    volatile LONG closes = 0;

    static FakeServices* g;
    static FakeService* of(SC_HANDLE h) { return &g->services[size_t(reinterpret_cast<uintptr_t>(h)) - 1]; }
    static std::string name(SC_HANDLE h) { return std::string(of(h)->name.begin(), of(h)->name.end()); }
    static SC_HANDLE WINAPI openManager(LPCWSTR, LPCWSTR, DWORD access) {
        g->calls.push_back("manager " + std::to_string(access));
        return reinterpret_cast<SC_HANDLE>(0x1000);
    }
    static SC_HANDLE WINAPI openService(SC_HANDLE, LPCWSTR name, DWORD access) {
        for (size_t i = 0; i < g->services.size(); ++i)
            if (g->services[i].name == name) {
                g->calls.push_back("open " + std::string(name, name + wcslen(name)) + " " + std::to_string(access));
                return reinterpret_cast<SC_HANDLE>(i + 1);
            }
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return NULL;
    }
    static BOOL WINAPI queryStatus(SC_HANDLE h, LPSERVICE_STATUS status) {
        status->dwCurrentState = of(h)->state;
        status->dwWaitHint = 100;
        return TRUE;
    }
    static BOOL WINAPI queryConfig(SC_HANDLE h, LPQUERY_SERVICE_CONFIGW config, DWORD, LPDWORD) {
        config->dwStartType = of(h)->start;
        return TRUE;
    }
    static BOOL WINAPI close(SC_HANDLE) {
        InterlockedIncrement(&g->closes);
        return TRUE;
    }
    static BOOL WINAPI changeConfig(SC_HANDLE h, DWORD type, DWORD start, DWORD error, LPCWSTR path, LPCWSTR group,
                                   LPDWORD tag, LPCWSTR dependencies, LPCWSTR user, LPCWSTR password, LPCWSTR display) {
        // Only the start type changes: everything else is left as it is.
        const bool onlyStart = type == SERVICE_NO_CHANGE && error == SERVICE_NO_CHANGE && !path && !group && !tag &&
                               !dependencies && !user && !password && !display;
        g->calls.push_back("config " + name(h) + " " + std::to_string(start) + (onlyStart ? "" : " and more"));
        of(h)->start = start;
        return TRUE;
    }
    static BOOL WINAPI start(SC_HANDLE h, DWORD, LPCWSTR*) {
        FakeService* s = of(h);
        if (s->startWaitsFor) WaitForSingleObject(s->startWaitsFor, INFINITE);
        g->calls.push_back("start " + name(h));
        if (s->refuseStart) {
            SetLastError(s->refuseStart);
            return FALSE;
        }
        s->state = s->staysPending ? SERVICE_START_PENDING : SERVICE_RUNNING;
        return TRUE;
    }
};
FakeServices* FakeServices::g = nullptr;

const std::string kManager = "manager 1";  // SC_MANAGER_CONNECT
const std::string kOpenRights = " 23";     // QUERY_CONFIG | CHANGE_CONFIG | QUERY_STATUS | START

FixRecord fix(FixAction action, int32_t row, const wchar_t* target) {
    FixRecord f = {};
    f.action = action;
    f.row = row;
    f.side = DIRECTION_PLAYBACK;
    wcscpy(f.target, target);
    return f;
}
FixList listOf(std::initializer_list<FixRecord> fixes) {
    FixList list = {};
    for (const FixRecord& f : fixes) list.fixes[list.count++] = f;
    return list;
}

class FixApplyTest : public testing::Test {
protected:
    SavedTable<ServiceApi> savedServices{g_serviceApi};
    SavedTable<FixWaits> savedWaits{g_fixWaits};
};

TEST_F(FixApplyTest, AServiceIsStartedWithTheRightsItNeedsAndOnlyItsStartTypeChanged) {
    FakeServices manager;
    manager.services = {{L"AudioEndpointBuilder"}, {L"AudioSrv", SERVICE_STOPPED, SERVICE_DEMAND_START}};
    FixList list = listOf({fix(FIX_START_SERVICE, -1, L"AudioEndpointBuilder"), fix(FIX_START_SERVICE, -1, L"AudioSrv")});
    applyFixes(true, &list);
    EXPECT_EQ((std::vector<std::string>{kManager, "open AudioEndpointBuilder" + kOpenRights,
                                        "config AudioEndpointBuilder 2", "start AudioEndpointBuilder", kManager,
                                        "open AudioSrv" + kOpenRights, "start AudioSrv"}),
              manager.calls);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(FIX_DONE, list.fixes[i].outcome) << i;
        EXPECT_EQ(AUDIO_SERVICE_RUNNING, list.fixes[i].serviceAfter) << i;
    }
    EXPECT_EQ(AUDIO_SERVICE_DISABLED, list.fixes[0].serviceBefore);
    EXPECT_TRUE(list.fixes[0].startTypeChanged);
    EXPECT_FALSE(list.fixes[1].startTypeChanged);  // a manual start type is the user's
    EXPECT_EQ(DWORD(SERVICE_DEMAND_START), manager.services[1].start);
}

TEST_F(FixApplyTest, WhatWindowsRefusesOrKeepsWaitingIsNotDoneAndLeftAsItWas) {
    FakeServices manager;
    const HANDLE release = CreateEventW(NULL, TRUE, FALSE, NULL);
    manager.services = {{L"AudioEndpointBuilder"}, {L"AudioSrv"}, {L"Other"}};
    manager.services[0].refuseStart = ERROR_SERVICE_DEPENDENCY_FAIL;
    manager.services[1].staysPending = true;
    g_fixWaits.serviceMs = 300;
    FixList list = listOf({fix(FIX_START_SERVICE, -1, L"AudioEndpointBuilder"), fix(FIX_START_SERVICE, -1, L"AudioSrv"),
                           fix(FIX_START_SERVICE, -1, L"Other")});
    applyFixes(true, &list);
    // Refused: its start type put back.
    EXPECT_EQ(FIX_NOT_DONE, list.fixes[0].outcome);
    EXPECT_EQ(uint32_t(ERROR_SERVICE_DEPENDENCY_FAIL), list.fixes[0].error);
    EXPECT_TRUE(list.fixes[0].startTypeRestored);
    EXPECT_EQ(DWORD(SERVICE_DISABLED), manager.services[0].start);
    // Still starting at its deadline.
    EXPECT_EQ(FIX_NOT_DONE, list.fixes[1].outcome);
    EXPECT_EQ(uint32_t(ERROR_SERVICE_REQUEST_TIMEOUT), list.fixes[1].error);
    // Another service is no fix's, and a missing one is never created.
    EXPECT_EQ(FIX_NOTE_NOT_THE_DRIVERS, list.fixes[2].note);
    for (const std::string& call : manager.calls) EXPECT_EQ(std::string::npos, call.find("Other")) << call;
    manager.services.erase(manager.services.begin() + 1);
    list = listOf({fix(FIX_START_SERVICE, -1, L"AudioSrv")});
    applyFixes(true, &list);
    EXPECT_EQ(uint32_t(ERROR_SERVICE_DOES_NOT_EXIST), list.fixes[0].error);

    // A start that holds its caller: told as not done within its deadline.
    manager.calls.clear();
    manager.closes = 0;
    manager.services[0].refuseStart = 0;
    manager.services[0].startWaitsFor = release;
    list = listOf({fix(FIX_START_SERVICE, -1, L"AudioEndpointBuilder")});
    const DWORD before = GetTickCount();
    applyFixes(true, &list);
    EXPECT_LT(GetTickCount() - before, 2500u);
    EXPECT_EQ(FIX_NOTE_TIMED_OUT, list.fixes[0].note);
    SetEvent(release);
    EXPECT_TRUE(waitFor(5000, [&] { return manager.closes == 2; }));  // the worker has let go
    CloseHandle(release);
}

TEST_F(FixApplyTest, DeviceNodesThroughTheirClassInstallerOnlyWhileTheyAreTheDrivers) {
    FakeDeviceTree tree;
    const HANDLE release = CreateEventW(NULL, TRUE, FALSE, NULL);
    tree.add(L"ROOT\\MEDIA\\0000", L"HalvaneVSOAWDM").problem = 22;
    tree.add(L"ROOT\\MEDIA\\0001", L"Halvane101WDMVessoC").needsReboot = true;
    tree.add(L"ROOT\\MEDIA\\0002", L"OtherMakerWDM");
    tree.add(L"ROOT\\MEDIA\\0003", L"HalvaneVSOAWDM").installerError = ERROR_INVALID_PARAMETER;
    tree.add(L"ROOT\\MEDIA\\0004", L"HalvaneVSOAWDM").installerWaitsFor = release;
    g_fixWaits.deviceMs = 300;
    FixList list = listOf({fix(FIX_ENABLE_DEVICE, 1, L"ROOT\\MEDIA\\0000"), fix(FIX_RESTART_DEVICE, 3, L"ROOT\\MEDIA\\0001"),
                           fix(FIX_ENABLE_DEVICE, 1, L"ROOT\\MEDIA\\0002"), fix(FIX_ENABLE_DEVICE, 1, L"ROOT\\MEDIA\\0003"),
                           fix(FIX_ENABLE_DEVICE, 1, L"ROOT\\MEDIA\\0004")});
    applyFixes(true, &list);
    EXPECT_EQ(FIX_DONE, list.fixes[0].outcome);
    EXPECT_EQ(FIX_RESTART_NEEDED, list.fixes[1].outcome);
    EXPECT_EQ(FIX_NOTE_NOT_THE_DRIVERS, list.fixes[2].note);
    EXPECT_EQ(uint32_t(ERROR_INVALID_PARAMETER), list.fixes[3].error);
    EXPECT_EQ(FIX_NOTE_TIMED_OUT, list.fixes[4].note);
    SetEvent(release);
    EXPECT_TRUE(waitFor(5000, [&] { return tree.openSets == 0 && tree.calls.size() == 18; }));
    EXPECT_EQ((std::vector<std::string>{"list", "open ROOT\\MEDIA\\0000", "params enable global", "install", "list",
                                        "open ROOT\\MEDIA\\0001", "params restart global", "install", "list",
                                        "open ROOT\\MEDIA\\0002", "list", "open ROOT\\MEDIA\\0003",
                                        "params enable global", "install", "list", "open ROOT\\MEDIA\\0004",
                                        "params enable global", "install"}),
              tree.calls);
    CloseHandle(release);
}

TEST_F(FixApplyTest, WithoutAnAdministratorNothingIsTried) {
    FakeServices manager;
    FakeDeviceTree tree;
    manager.services = {{L"AudioSrv"}};
    tree.add(L"ROOT\\MEDIA\\0000", L"HalvaneVSOAWDM");
    FixList list = listOf({fix(FIX_START_SERVICE, -1, L"AudioSrv"), fix(FIX_ENABLE_DEVICE, 1, L"ROOT\\MEDIA\\0000"),
                           fix(FIX_RESTORE_NAME, 0, L"{x}")});
    applyFixes(false, &list);
    for (int i = 0; i < list.count; ++i) EXPECT_EQ(FIX_NEEDS_ADMINISTRATOR, list.fixes[i].outcome) << i;
    EXPECT_TRUE(manager.calls.empty());
    EXPECT_TRUE(tree.calls.empty());
}

// The store of the prefix: a name and an icon put back into the entry the test found, and
// nothing else written.
TEST_F(FixApplyTest, ANameOrIconIntoTheDriversOwnEntryOnly) {
    TestRegistry registry;
    const std::wstring mine = L"{aaaaaaaa-0000-0000-0000-000000000001}", other = L"{cccccccc-0000-0000-0000-000000000001}";
    registry.addEndpoint(L"Render", mine, L"Speakers of mine", L"Halvane Virtual Vesso", L"{1}.ROOT\\MEDIA\\0001:HalvaneVSOWDM",
                         L"C:\\icons\\mine.ico");
    registry.addEndpoint(L"Render", other, L"Speakers of mine", L"Other", L"{1}.ROOT\\MEDIA\\0009:OtherMakerWDM");
    const std::wstring bare = L"{aaaaaaaa-0000-0000-0000-000000000002}";
    registry.addEndpoint(L"Render", bare, L"VESSO Input", L"Halvane Virtual Vesso", L"{1}.ROOT\\MEDIA\\0001:HalvaneVSOWDM");
    const auto restore = [](FixAction action, const std::wstring& guid, const wchar_t* before, const wchar_t* after) {
        FixRecord f = fix(action, 0, guid.c_str());
        wcscpy(f.before, before);
        wcscpy(f.after, after);
        FixList list = listOf({f});
        applyFixes(true, &list);
        return list.fixes[0];
    };
    const auto value = [](const std::wstring& guid, const wchar_t* name) {
        wchar_t text[REGISTRY_STRING_SIZE] = L"<missing>";
        readRegistryString(TestRegistry::propertiesPath(L"Render", guid).c_str(), name, text);
        return std::wstring(text);
    };
    // Somebody else's entry, and a name changed again since the test: nothing written.
    EXPECT_EQ(FIX_NOTE_NOT_THE_DRIVERS, restore(FIX_RESTORE_NAME, other, L"Speakers of mine", L"VESSO Input").note);
    EXPECT_EQ(FIX_NOTE_CHANGED_SINCE_TEST, restore(FIX_RESTORE_NAME, mine, L"Speakers", L"VESSO Input").note);
    EXPECT_EQ(L"Speakers of mine", value(other, kStoreValue.description));
    EXPECT_EQ(L"Speakers of mine", value(mine, kStoreValue.description));
    // A value the entry does not hold is never created.
    EXPECT_EQ(uint32_t(ERROR_FILE_NOT_FOUND), restore(FIX_RESTORE_ICON, bare, L"", L"C:\\x.ico").error);
    EXPECT_EQ(L"<missing>", value(bare, kStoreValue.iconPath));

    EXPECT_EQ(FIX_DONE, restore(FIX_RESTORE_NAME, mine, L"Speakers of mine", L"VESSO Input").outcome);
    EXPECT_EQ(FIX_DONE, restore(FIX_RESTORE_ICON, mine, L"C:\\icons\\mine.ico", L"C:\\Halvane\\pin_in.ico").outcome);
    EXPECT_EQ(L"VESSO Input", value(mine, kStoreValue.description));
    EXPECT_EQ(L"C:\\Halvane\\pin_in.ico", value(mine, kStoreValue.iconPath));
    EXPECT_EQ(L"Halvane Virtual Vesso", value(mine, kStoreValue.adapterName));
}

}  // namespace
