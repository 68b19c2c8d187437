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
    wchar_t id[MAX_DEVICE_ID_LEN] = L"";
    EXPECT_TRUE(SetupDiCreateDeviceInfoW(set, L"MEDIA", &kMediaClass, NULL, NULL, DICD_GENERATE_ID, &device));
    EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(ids.data()), DWORD(ids.size() * 2)));
    EXPECT_TRUE(SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device));
    if (problemCode)
        EXPECT_TRUE(SetupDiSetDevicePropertyW(set, &device, &kProblemCode, 7 /* DEVPROP_TYPE_UINT32 */,
                                              reinterpret_cast<const BYTE*>(&problemCode), 4, 0));
    EXPECT_TRUE(SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, NULL));
    instanceId_ = id;
    SetupDiDestroyDeviceInfoList(set);
}

PlantedDeviceNode::~PlantedDeviceNode() {
    HDEVINFO set = SetupDiCreateDeviceInfoList(NULL, NULL);
    SP_DEVINFO_DATA device = {sizeof(device)};
    if (SetupDiOpenDeviceInfoW(set, instanceId_.c_str(), NULL, 0, &device)) SetupDiRemoveDevice(set, &device);
    SetupDiDestroyDeviceInfoList(set);
}

PlantedService::PlantedService(const wchar_t* name, bool disabled) : name_(name), created_(false) {
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CREATE_SERVICE);
    if (!manager) return;
    SC_HANDLE service = CreateServiceW(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       disabled ? SERVICE_DISABLED : SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                       L"C:\\windows\\system32\\notepad.exe", NULL, NULL, NULL, NULL, NULL);
    created_ = service != NULL;
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

PlantedService::~PlantedService() {
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, name_.c_str(), DELETE) : NULL;
    if (service) {
        DeleteService(service);
        CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
}

namespace {

FakeDeviceTree* g_tree = nullptr;
const HDEVINFO kPresentSet = reinterpret_cast<HDEVINFO>(0x5e7);
const HDEVINFO kAllSet = reinterpret_cast<HDEVINFO>(0xa11);

// The nodes a set lists: the present ones, or all.
std::vector<FakeDeviceNode*> members(HDEVINFO set) {
    std::vector<FakeDeviceNode*> found;
    for (FakeDeviceNode& n : g_tree->nodes)
        if (set == kAllSet || n.present) found.push_back(&n);
    return found;
}
FakeDeviceNode* node(HDEVINFO set, PSP_DEVINFO_DATA device) {
    const std::vector<FakeDeviceNode*> m = members(set);
    return device->DevInst < m.size() ? m[device->DevInst] : nullptr;
}

HDEVINFO WINAPI getClassDevs(const GUID*, PCWSTR, HWND, DWORD flags) {
    ++g_tree->openSets;
    return (flags & DIGCF_PRESENT) ? kPresentSet : kAllSet;
}
BOOL WINAPI enumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
    if (index >= members(set).size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    device->DevInst = index;
    return TRUE;
}
BOOL WINAPI getRegistryProperty(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type, PBYTE buffer,
                                DWORD size, PDWORD) {
    const FakeDeviceNode* n = node(set, device);
    if (!n || property != SPDRP_HARDWAREID) return FALSE;
    const DWORD bytes = DWORD(n->hardwareIds.size() * sizeof(wchar_t));
    if (bytes > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, n->hardwareIds.data(), bytes);
    if (type) *type = n->hardwareIdType;
    return TRUE;
}
BOOL WINAPI getInstanceId(HDEVINFO set, PSP_DEVINFO_DATA device, PWSTR id, DWORD size, PDWORD) {
    const FakeDeviceNode* n = node(set, device);
    if (!n || n->instanceId.size() >= size) return FALSE;
    wcscpy(id, n->instanceId.c_str());
    return TRUE;
}
BOOL WINAPI getProperty(HDEVINFO set, PSP_DEVINFO_DATA device, const DEVPROPKEY* key, DEVPROPTYPE* type,
                        PBYTE buffer, DWORD size, PDWORD required, DWORD) {
    const FakeDeviceNode* n = node(set, device);
    if (n && !n->hasProperties) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (!n || size < 4) return FALSE;
    const uint32_t value = key->pid == 3 ? n->problem : n->status;
    memcpy(buffer, &value, 4);
    *type = 7;
    *required = 4;
    return TRUE;
}
CONFIGRET WINAPI getStatus(PULONG status, PULONG problem, DEVINST devInst, ULONG) {
    // The walk asks by the node's DevInst, which is its place in the present set.
    const std::vector<FakeDeviceNode*> m = members(kPresentSet);
    if (devInst >= m.size()) return CR_NO_SUCH_DEVINST;
    *status = m[devInst]->status;
    *problem = m[devInst]->problem;
    return CR_SUCCESS;
}
BOOL WINAPI destroy(HDEVINFO) {
    --g_tree->openSets;
    return TRUE;
}

}  // namespace

FakeDeviceTree::FakeDeviceTree() {
    g_tree = this;
    g_deviceNodeApi = {getClassDevs, enumDeviceInfo, getRegistryProperty, getInstanceId, getProperty, getStatus, destroy};
}

FakeDeviceTree::~FakeDeviceTree() {
    g_deviceNodeApi = realDeviceNodeApi();
    g_tree = nullptr;
}

FakeDeviceNode& FakeDeviceTree::add(const std::wstring& instanceId, const std::wstring& hardwareId) {
    FakeDeviceNode n;
    n.instanceId = instanceId;
    n.hardwareIds.assign(hardwareId.begin(), hardwareId.end());
    n.hardwareIds.push_back(0);
    n.hardwareIds.push_back(0);
    nodes.push_back(n);
    return nodes.back();
}
