#include "support/check_world.h"

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
    devices.addDriver(row.interfaceGuid, row.expectedVersion);
    const std::wstring n = (number < 10 ? L"0" : L"") + std::to_wstring(number);
    const std::wstring renderGuid = L"{aaaaaaaa-0000-0000-0000-0000000000" + n + L"}";
    const std::wstring captureGuid = L"{bbbbbbbb-0000-0000-0000-0000000000" + n + L"}";
    const std::wstring display = widen(row.displayName);
    const std::wstring driverText = L"{1}.ROOT\\MEDIA\\00" + n + L":" + widen(row.driverHardwareId);
    registry.addEndpoint(L"Render", renderGuid, widen(row.playbackPinName), display, driverText, playbackIcon);
    registry.addEndpoint(L"Capture", captureGuid, widen(row.recordingPinName), display, driverText, recordingIcon);
    const std::wstring playbackName = widen(row.playbackPinName) + L" (" + display + L")";
    const std::wstring recordingName = widen(row.recordingPinName) + L" (" + display + L")";
    devices.waveOut.push_back({playbackName, 2, false});
    devices.waveIn.push_back({recordingName, 2, false});
    endpoints.add(eRender, L"{0.0.0.00000000}." + renderGuid, playbackName, display);
    endpoints.add(eCapture, L"{0.0.1.00000000}." + captureGuid, recordingName, display);
    devices.ks.addInterface(L"\\\\?\\root#media#00" + n + L"#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave",
                            widen(row.ksName), row.driverHardwareId, true, true)
        .friendlyName = display;
    return devices.ks.filters.back();
}
