#include "support/fake_device_tree.h"

#include <string.h>

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
    ++g_tree->setsAsked;
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
    savedApi_.restore();
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
