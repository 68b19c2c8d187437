#include "support/catalogued_devices.h"

#include "support/fake_endpoints.h"
#include "support/fake_world.h"

namespace {
std::wstring wide(const char* text) { return std::wstring(text, text + strlen(text)); }
}  // namespace

CataloguedDriver::CataloguedDriver(const DriverCatalogEntry& r, int n)
    : row(r),
      number((n < 10 ? L"0" : L"") + std::to_wstring(n)),
      renderGuid(L"{aaaaaaaa-0000-0000-0000-0000000000" + number + L"}"),
      captureGuid(L"{bbbbbbbb-0000-0000-0000-0000000000" + number + L"}"),
      display(wide(r.displayName)),
      driverText(L"{1}.ROOT\\MEDIA\\00" + number + L":" + wide(r.driverHardwareId)) {}

FakeKsFilter& installCataloguedDevices(FakeWorld& devices, FakeEndpoints& endpoints, const CataloguedDriver& d) {
    const DriverCatalogEntry& row = d.row;
    devices.addDriver(row.interfaceGuid, row.expectedVersion);
    const std::wstring playbackName = wide(row.playbackPinName) + L" (" + d.display + L")";
    const std::wstring recordingName = wide(row.recordingPinName) + L" (" + d.display + L")";
    devices.waveOut.push_back({playbackName, 2, false});
    devices.waveIn.push_back({recordingName, 2, false});
    endpoints.add(eRender, L"{0.0.0.00000000}." + d.renderGuid, playbackName, d.display);
    endpoints.add(eCapture, L"{0.0.1.00000000}." + d.captureGuid, recordingName, d.display);
    devices.ks.addInterface(L"\\\\?\\root#media#00" + d.number + L"#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\wave",
                            wide(row.ksName), row.driverHardwareId, true, true)
        .friendlyName = d.display;
    return devices.ks.filters.back();
}
