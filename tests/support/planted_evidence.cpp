#include "support/planted_evidence.h"

#include <gtest/gtest.h>

// Vista's declaration, which the XP headers of the tests leave out.
extern "C" BOOL WINAPI SetupDiSetDevicePropertyW(HDEVINFO set, PSP_DEVINFO_DATA device, const DEVPROPKEY* key,
                                                 DEVPROPTYPE type, const BYTE* buffer, DWORD size, DWORD flags);

namespace {
const GUID kMediaClass = {0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const DEVPROPKEY kProblemCode = {{0x4340a6c5, 0x93fa, 0x4706, {0x97, 0x2c, 0x7b, 0x64, 0x80, 0x08, 0xa5, 0xa7}}, 3};
}  // namespace

PlantedDeviceNode::PlantedDeviceNode(const std::wstring& hardwareId, uint32_t problemCode) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kMediaClass, NULL);
    SP_DEVINFO_DATA device = {sizeof(device)};
    std::wstring ids = hardwareId + L'\0' + L'\0';
    wchar_t id[200] = L"";
    EXPECT_TRUE(SetupDiCreateDeviceInfoW(set, L"MEDIA", &kMediaClass, NULL, NULL, DICD_GENERATE_ID, &device));
    EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(ids.data()), DWORD(ids.size() * 2)));
    EXPECT_TRUE(SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device));
    if (problemCode)
        EXPECT_TRUE(SetupDiSetDevicePropertyW(set, &device, &kProblemCode, 7 /* DEVPROP_TYPE_UINT32 */,
                                              reinterpret_cast<const BYTE*>(&problemCode), 4, 0));
    EXPECT_TRUE(SetupDiGetDeviceInstanceIdW(set, &device, id, 200, NULL));
    instanceId_ = id;
    SetupDiDestroyDeviceInfoList(set);
}

PlantedDeviceNode::~PlantedDeviceNode() {
    HDEVINFO set = SetupDiCreateDeviceInfoList(NULL, NULL);
    SP_DEVINFO_DATA device = {sizeof(device)};
    if (SetupDiOpenDeviceInfoW(set, instanceId_.c_str(), NULL, 0, &device)) SetupDiRemoveDevice(set, &device);
    SetupDiDestroyDeviceInfoList(set);
}

PlantedService::PlantedService(const wchar_t* name, bool disabled, const std::wstring& program)
    : name_(name), created_(false) {
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CREATE_SERVICE);
    if (!manager) return;
    SC_HANDLE service = CreateServiceW(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       disabled ? SERVICE_DISABLED : SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                       program.c_str(), NULL, NULL, NULL, NULL, NULL);
    created_ = service != NULL;
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

PlantedService::~PlantedService() {
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, name_.c_str(), DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS) : NULL;
    if (service) {
        SERVICE_STATUS status;
        if (ControlService(service, SERVICE_CONTROL_STOP, &status))
            for (int i = 0; i < 100 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
                Sleep(20);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
}

namespace {
// The service's status or configuration, read through a handle of query rights.
template <typename Read>
DWORD readService(const std::wstring& name, Read read) {
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG) : NULL;
    const DWORD value = service ? read(service) : 0;
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return value;
}
}  // namespace

DWORD PlantedService::state() const {
    return readService(name_, [](SC_HANDLE s) {
        SERVICE_STATUS status = {};
        return QueryServiceStatus(s, &status) ? status.dwCurrentState : 0;
    });
}

DWORD PlantedService::startType() const {
    return readService(name_, [](SC_HANDLE s) {
        union {
            QUERY_SERVICE_CONFIGW config;
            BYTE bytes[8192];
        } block;
        DWORD needed = 0;
        return QueryServiceConfigW(s, &block.config, sizeof(block), &needed) ? block.config.dwStartType : 0;
    });
}
