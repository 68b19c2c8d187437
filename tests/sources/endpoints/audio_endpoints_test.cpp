#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/device_inventory.h"
#include "sources/endpoints/audio_endpoints.h"
#include "sources/ks/ks_interfaces.h"
#include "support/check_world.h"
#include "support/fake_endpoints.h"
#include "support/records.h"
#include "support/test_registry.h"

namespace {

const std::wstring kRenderGuid = L"{aaaaaaaa-0000-0000-0000-000000000001}";
const std::wstring kCaptureGuid = L"{bbbbbbbb-0000-0000-0000-000000000002}";
const std::wstring kRenderId = L"{0.0.0.00000000}." + kRenderGuid;
const std::wstring kCaptureId = L"{0.0.1.00000000}." + kCaptureGuid;

void leaveAsRead(void*, DeviceRecord*, Direction) {}
const RecordCompletion kNoCompletion = {leaveAsRead, nullptr};

TEST(ExtractEndpointGuid, TheFinalBracedGuid) {
    struct Case {
        std::wstring id;
        std::wstring guid;
    } cases[] = {
        {kRenderId, kRenderGuid},
        {L"no brace at all", L""},
        {L"{0.0.0.00000000}.{0123456789abcd}", L""},   // a tail of 16 characters: too short
        {L"{0.0.0.00000000}.{0123456789abcde}", L"{0123456789abcde}"},  // 17
        {L"{0123456789abcdefgh}", L"{0123456789abcdefgh}"},  // the brace at position 0 counts
        {L"x.{" + std::wstring(80, L'g') + L"}", L"{" + std::wstring(62, L'g')},  // cut to 63
        {L"", L""},
    };
    for (const Case& c : cases) {
        DeviceRecord record;
        memset(&record, 0x5A, sizeof(record));
        extractEndpointGuid(c.id.c_str(), &record);
        EXPECT_EQ(c.guid, record.mmDeviceGuid) << std::string(c.id.begin(), c.id.end());
    }
}

class EndpointSourceTest : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(0, endpoints.liveObjects) << "a COM object was not released"; }

    TestRegistry registry;
    FakeEndpoints endpoints;
    CheckWorld world;
    DeviceInventory& inventory = world.inventory;
};

TEST_F(EndpointSourceTest, RecordsOfTheActiveEndpointsOfADirection) {
    endpoints.add(eRender, kRenderId, L"Speakers (Card)", L"Card");
    endpoints.add(eRender, L"{0.0.0.00000000}.{disabled}", L"Disabled (Card)", L"Card").state = DEVICE_STATE_DISABLED;
    endpoints.add(eRender, L"{0.0.0.00000000}.{unplugged}", L"Unplugged (Card)", L"Card").state =
        DEVICE_STATE_UNPLUGGED;
    endpoints.add(eCapture, kCaptureId, L"Mic (Card)", L"Card");
    endpoints.add(eRender, L"{0.0.0.00000000}.{second}", L"Another (Card)", L"Card");

    collectSide(&inventory, DIRECTION_PLAYBACK, OPT_ENDPOINTS, KsDeviceCollection(false));
    EXPECT_EQ(std::vector<EDataFlow>{eRender}, endpoints.askedFlows);
    EXPECT_EQ(std::vector<DWORD>{DEVICE_STATE_ACTIVE}, endpoints.askedMasks);
    EXPECT_EQ((std::vector<std::wstring>{L"Speakers (Card)", L"Another (Card)"}), pinNames(inventory.outputDevices));
    EXPECT_EQ(0u, recordCount(inventory.inputDevices));
    EXPECT_EQ(0, endpoints.itemCalls[1]) << "a disabled endpoint was asked for";
    EXPECT_EQ(0, endpoints.itemCalls[2]) << "an unplugged endpoint was asked for";

    const DeviceRecord* first = recordAt(inventory.outputDevices, 1);
    EXPECT_EQ(0, first->index);
    EXPECT_EQ(KIND_WDM, first->kind);
    EXPECT_EQ(2u, first->channels);
    EXPECT_STREQ("Speakers (Card)", first->pinName);
    EXPECT_STREQ(L"Card", first->driverNameW);
    EXPECT_STREQ("Card", first->driverName);
    EXPECT_EQ(kRenderGuid, first->mmDeviceGuid);
    EXPECT_EQ(1, recordAt(inventory.outputDevices, 2)->index);

    collectSide(&inventory, DIRECTION_RECORDING, OPT_ENDPOINTS, KsDeviceCollection(false));
    EXPECT_EQ(eCapture, endpoints.askedFlows.back());
    EXPECT_EQ((std::vector<std::wstring>{L"Mic (Card)"}), pinNames(inventory.inputDevices));
}

TEST_F(EndpointSourceTest, ResultCodesAndWhatIsListed) {
    endpoints.add(eRender, L"{0.0.0.00000000}.{item}", L"item fails", L"Card").itemFails = true;
    endpoints.add(eRender, L"{0.0.0.00000000}.{store}", L"store fails", L"Card").storeFails = true;
    endpoints.add(eRender, L"{0.0.0.00000000}.{name}", L"", L"Card").nameAnswer = FakeEndpoint::FAILS;
    endpoints.add(eRender, L"{0.0.0.00000000}.{adapter}", L"adapter fails", L"").adapterAnswer = FakeEndpoint::FAILS;
    endpoints.add(eRender, L"{0.0.0.00000000}.{noid}", L"no id", L"Card").idFails = true;
    endpoints.add(eRender, L"{0.0.0.00000000}.{empty}", L"", L"Card").nameAnswer = FakeEndpoint::EMPTY_VALUE;
    endpoints.add(eRender, L"{0.0.0.00000000}.{null}", L"", L"").adapterAnswer = FakeEndpoint::NULL_TEXT;
    endpoints.endpoints.back().nameAnswer = FakeEndpoint::NULL_TEXT;

    IMMDeviceEnumerator* enumerator = nullptr;
    ASSERT_EQ(S_OK, g_createDeviceEnumerator(&enumerator));
    IMMDeviceCollection* collection = nullptr;
    ASSERT_EQ(S_OK, enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &collection));
    const int32_t expected[] = {-1, -3, -4, -5, 0, 0, 0};
    for (UINT i = 0; i < 7; ++i) {
        DeviceRecord record;
        memset(&record, 0x5A, sizeof(record));
        EXPECT_EQ(expected[i], readAudioEndpoint(collection, i, &record, DIRECTION_PLAYBACK, kNoCompletion)) << "endpoint " << i;
        if (i == 0) EXPECT_EQ(0x5A5A5A5A, record.index) << "a failed item leaves the record as it was";
    }
    DeviceRecord record;
    readAudioEndpoint(collection, 4, &record, DIRECTION_PLAYBACK, kNoCompletion);
    EXPECT_STREQ(L"", record.mmDeviceGuid);  // no identifier: no GUID, still listed
    readAudioEndpoint(collection, 6, &record, DIRECTION_PLAYBACK, kNoCompletion);
    EXPECT_STREQ(L"", record.pinNameW);  // no text behind the values: empty names
    EXPECT_STREQ(L"", record.driverNameW);
    EXPECT_EQ(2u, record.channels);
    collection->Release();
    enumerator->Release();

    collectSide(&inventory, DIRECTION_PLAYBACK, OPT_ENDPOINTS, KsDeviceCollection(false));
    EXPECT_EQ((std::vector<std::wstring>{L"no id", L"", L""}), pinNames(inventory.outputDevices));
}

TEST_F(EndpointSourceTest, LongNamesAreCut) {
    endpoints.add(eCapture, kCaptureId, std::wstring(300, L'n'), std::wstring(300, L'a'));
    collectSide(&inventory, DIRECTION_RECORDING, OPT_ENDPOINTS, KsDeviceCollection(false));
    ASSERT_EQ(1u, recordCount(inventory.inputDevices));
    const DeviceRecord* r = recordAt(inventory.inputDevices, 1);
    EXPECT_EQ(std::wstring(255, L'n'), r->pinNameW);
    EXPECT_EQ(std::string(255, 'n'), r->pinName);
    EXPECT_EQ(std::wstring(255, L'a'), r->driverNameW);
}

TEST_F(EndpointSourceTest, NothingWhenTheApiFails) {
    endpoints.add(eRender, kRenderId, L"Speakers", L"Card");
    endpoints.createFails = true;
    collectSide(&inventory, DIRECTION_PLAYBACK, OPT_ENDPOINTS, KsDeviceCollection(false));
    endpoints.createFails = false;
    endpoints.enumerateFails = true;
    collectSide(&inventory, DIRECTION_PLAYBACK, OPT_ENDPOINTS, KsDeviceCollection(false));
    endpoints.enumerateFails = false;
    endpoints.countFails = true;
    collectSide(&inventory, DIRECTION_PLAYBACK, OPT_ENDPOINTS, KsDeviceCollection(false));
    EXPECT_EQ(0u, recordCount(inventory.outputDevices));
}

TEST_F(EndpointSourceTest, HardwareIdFromTheInterfaceOfTheSameDirectionElseFromTheRegistry) {
    // The interface map knows the render side of "Halvane Virtual Vesso" by its interface name.
    RecordFields renderInterface;
    renderInterface.ksAliases = KS_ALIAS_RENDER;
    renderInterface.name = L"Halvane Point";
    renderInterface.driverName = L"Halvane Virtual Vesso";
    renderInterface.hardwareId = "FromInterface";
    const DeviceRecord r = makeRecord(renderInterface);
    appendRecord(&inventory.ksInterfaces, &r);

    registry.addEndpoint(L"Render", kRenderGuid, L"VESSO Input", L"Halvane Virtual Vesso", L"x:FromRegistry",
                         L"C:\\VESSO\\pin_in.ico");
    registry.addEndpoint(L"Capture", kCaptureGuid, L"VESSO Output", L"Halvane Virtual Vesso", L"x:FromRegistry",
                         L"C:\\VESSO\\pin_out.ico");
    endpoints.add(eRender, kRenderId, L"VESSO Input (Halvane Virtual Vesso)", L"Halvane Virtual Vesso");
    endpoints.add(eCapture, kCaptureId, L"VESSO Output (Halvane Virtual Vesso)", L"Halvane Virtual Vesso");
    // An endpoint without identifier is found in the registry by its name.
    endpoints.add(eCapture, L"", L"VESSO Output (Halvane Virtual Vesso)", L"Halvane Virtual Vesso");

    collectSide(&inventory, DIRECTION_PLAYBACK, OPT_ENDPOINTS, KsDeviceCollection(false));
    collectSide(&inventory, DIRECTION_RECORDING, OPT_ENDPOINTS, KsDeviceCollection(false));
    ASSERT_EQ(1u, recordCount(inventory.outputDevices));
    ASSERT_EQ(2u, recordCount(inventory.inputDevices));
    const DeviceRecord* render = recordAt(inventory.outputDevices, 1);
    EXPECT_STREQ("FromInterface", render->hardwareId);
    EXPECT_STREQ(L"C:\\VESSO\\pin_in.ico", render->iconPath);
    // No capture interface: the registry's hardware ID, through the endpoint GUID.
    const DeviceRecord* capture = recordAt(inventory.inputDevices, 1);
    EXPECT_STREQ("FromRegistry", capture->hardwareId);
    EXPECT_STREQ(L"C:\\VESSO\\pin_out.ico", capture->iconPath);
    EXPECT_EQ(kCaptureGuid, capture->mmDeviceGuid);
    const DeviceRecord* byName = recordAt(inventory.inputDevices, 2);
    EXPECT_STREQ("FromRegistry", byName->hardwareId);
    EXPECT_EQ(kCaptureGuid, byName->mmDeviceGuid);
    EXPECT_STREQ(L"Halvane Virtual Vesso", byName->driverNameW);  // the endpoint's, not the registry's
}

TEST_F(EndpointSourceTest, AnEndpointWithoutAdapterNameBorrowsNoHardwareId) {
    // An unrelated render interface that has no "FriendlyName" of its own.
    RecordFields unnamed;
    unnamed.ksAliases = KS_ALIAS_RENDER;
    unnamed.name = L"Some Other Device";
    unnamed.hardwareId = "UNRELATED";
    const DeviceRecord r = makeRecord(unnamed);
    appendRecord(&inventory.ksInterfaces, &r);
    registry.addEndpoint(L"Render", kRenderGuid, L"Out", L"", L"x:FromRegistry");
    endpoints.add(eRender, kRenderId, L"Out", L"");
    collectSide(&inventory, DIRECTION_PLAYBACK, OPT_ENDPOINTS, KsDeviceCollection(false));
    ASSERT_EQ(1u, recordCount(inventory.outputDevices));
    EXPECT_STREQ("FromRegistry", recordAt(inventory.outputDevices, 1)->hardwareId);
}

}  // namespace
