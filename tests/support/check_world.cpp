#include "support/check_world.h"

#include "support/catalogued_devices.h"

#include "support/fake_endpoints.h"
#include "support/fake_world.h"
#include "support/test_registry.h"

CheckWorld::CheckWorld() {
    ZeroMemory(&inventory, sizeof(inventory));
    initList(&inventory.ksInterfaces);
    initList(&inventory.inputDevices);
    initList(&inventory.outputDevices);
}

CheckWorld::~CheckWorld() {
    freeList(&inventory.ksInterfaces);
    freeList(&inventory.inputDevices);
    freeList(&inventory.outputDevices);
}

DeviceRecord* CheckWorld::add(RecordList& list, const RecordFields& fields) {
    const DeviceRecord record = makeRecord(fields);
    return appendRecord(&list, &record);
}

DeviceRecord* CheckWorld::addInterface(const DriverCatalogEntry& row, bool capture, const std::wstring& name) {
    RecordFields fields;
    fields.kind = KIND_KS;
    fields.ksAliases = capture ? KS_ALIAS_CAPTURE : KS_ALIAS_RENDER;
    fields.name = name;
    fields.hardwareId = row.driverHardwareId;
    fields.driverName = name + L" Interface";
    return add(inventory.ksInterfaces, fields);
}

RecordFields CheckWorld::correctDevice(const DriverCatalogEntry& row, DeviceSource kind, bool recording,
                                     const wchar_t* icon) {
    RecordFields fields;
    fields.kind = kind;
    fields.hardwareId = row.driverHardwareId;
    const std::wstring side = recording ? L"in" : L"out";
    if (kind == KIND_KS) {
        fields.name = widen(row.ksName);
        fields.driverName = L"\\\\?\\root#media#0001#{" + widen(row.driverHardwareId) + L"}\\" + side;
        return fields;
    }
    fields.name = widen(recording ? row.recordingPinName : row.playbackPinName) + L" (" + widen(row.displayName) + L")";
    if (kind == KIND_MME) fields.name = fields.name.substr(0, 31);  // wave device names are cut
    fields.driverName = widen(row.displayName);
    const wchar_t* rowIcon = recording ? row.recordingIcon : row.playbackIcon;
    fields.iconPath = std::wstring(L"C:\\Program Files\\Halvane\\") + (icon ? icon : rowIcon ? rowIcon : L"");
    fields.deviceGuid = L"{0.0." + std::wstring(recording ? L"1" : L"0") + L".00000000}.{" + widen(row.driverHardwareId) +
                      (kind == KIND_MME ? L"-mme-" : L"-wdm-") + side + L"}";
    return fields;
}

void CheckWorld::addCorrectDevices(const DriverCatalogEntry& row, const wchar_t* recordingIcon,
                                   const wchar_t* playbackIcon) {
    for (DeviceSource kind : {KIND_MME, KIND_KS, KIND_WDM}) {
        add(inventory.inputDevices, correctDevice(row, kind, true, recordingIcon));
        add(inventory.outputDevices, correctDevice(row, kind, false, playbackIcon));
    }
}

void CheckWorld::sortLists() {
    sortDevices(&inventory.inputDevices);
    sortDevices(&inventory.outputDevices);
}

std::vector<std::wstring> pinNames(const RecordList& list) {
    std::vector<std::wstring> names;
    for (uint32_t i = 1; i <= recordCount(list); ++i) names.push_back(recordAt(list, i)->pinNameW);
    return names;
}

std::vector<std::wstring> logLines(const LogBuffer& log) {
    std::vector<std::wstring> lines;
    const std::wstring text(log.text, log.length);
    size_t start = 0, end;
    while ((end = text.find(L"\r\n", start)) != std::wstring::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::wstring widen(const char* text) {
    wchar_t wide[1024] = L"";
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 1024);
    return wide;
}

FakeKsFilter& installCataloguedDriver(FakeWorld& devices, FakeEndpoints& endpoints, TestRegistry& registry,
                                      const DriverCatalogEntry& row, int number, const std::wstring& recordingIcon,
                                      const std::wstring& playbackIcon) {
    const CataloguedDriver driver(row, number);
    registry.addEndpoint(L"Render", driver.renderGuid, widen(row.playbackPinName), driver.display, driver.driverText,
                         playbackIcon);
    registry.addEndpoint(L"Capture", driver.captureGuid, widen(row.recordingPinName), driver.display, driver.driverText,
                         recordingIcon);
    return installCataloguedDevices(devices, endpoints, driver);
}
