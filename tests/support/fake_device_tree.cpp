#include "support/fake_device_tree.h"

#include <string.h>

namespace {

FakeDeviceTree* g_tree = nullptr;
const HDEVINFO kPresentSet = reinterpret_cast<HDEVINFO>(0x5e7);
const HDEVINFO kAllSet = reinterpret_cast<HDEVINFO>(0xa11);
const HDEVINFO kFixSet = reinterpret_cast<HDEVINFO>(0xf1c);  // a fix's set, of the nodes it opened

// The nodes a set lists: the present ones, or all.
std::vector<FakeDeviceNode*> members(HDEVINFO set) {
    std::vector<FakeDeviceNode*> found;
    for (FakeDeviceNode& n : g_tree->nodes)
        if (set != kPresentSet || n.present) found.push_back(&n);
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

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

HDEVINFO WINAPI createList(const GUID*, HWND) {
    ++g_tree->openSets;
    g_tree->calls.push_back("list");
    return kFixSet;
}
BOOL WINAPI openInfo(HDEVINFO, PCWSTR instanceId, HWND, DWORD, PSP_DEVINFO_DATA device) {
    g_tree->calls.push_back("open " + narrow(instanceId));
    for (size_t i = 0; i < g_tree->nodes.size(); ++i)
        if (g_tree->nodes[i].instanceId == instanceId) {
            device->DevInst = DEVINST(i);
            return TRUE;
        }
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
}
BOOL WINAPI setParams(HDEVINFO, PSP_DEVINFO_DATA, PSP_CLASSINSTALL_HEADER header, DWORD size) {
    const SP_PROPCHANGE_PARAMS* p = reinterpret_cast<const SP_PROPCHANGE_PARAMS*>(header);
    if (size != sizeof(*p) || header->cbSize != sizeof(*header) || header->InstallFunction != DIF_PROPERTYCHANGE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_tree->calls.push_back(std::string("params ") + (p->StateChange == DICS_ENABLE      ? "enable"
                                                      : p->StateChange == DICS_PROPCHANGE ? "restart"
                                                                                         : "other") +
                            (p->Scope == DICS_FLAG_GLOBAL ? " global" : " profile"));
    return TRUE;
}
BOOL WINAPI callInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device) {
    FakeDeviceNode* n = node(set, device);
    if (n && n->installerWaitsFor) WaitForSingleObject(n->installerWaitsFor, INFINITE);
    g_tree->calls.push_back(function == DIF_PROPERTYCHANGE ? "install" : "other installer");
    if (!n || n->installerError) {
        SetLastError(n ? n->installerError : ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    return TRUE;
}
BOOL WINAPI getInstallParams(HDEVINFO set, PSP_DEVINFO_DATA device, PSP_DEVINSTALL_PARAMS_W params) {
    const FakeDeviceNode* n = node(set, device);
    if (!n || params->cbSize != sizeof(*params)) return FALSE;
    params->Flags = n->needsReboot ? DI_NEEDREBOOT : 0;
    return TRUE;
}

}  // namespace

FakeDeviceTree::FakeDeviceTree() {
    g_tree = this;
    g_deviceNodeApi = {getClassDevs, enumDeviceInfo, getRegistryProperty, getInstanceId, getProperty, getStatus,
                       destroy,      createList,     openInfo,            setParams,     callInstaller, getInstallParams};
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
