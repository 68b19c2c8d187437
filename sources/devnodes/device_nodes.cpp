#include "sources/devnodes/device_nodes.h"

#include <string.h>

#include "base/owners.h"
#include "base/system_functions.h"
#include "base/text.h"

namespace {

// DEVPKEY_Device_DevNodeStatus and DEVPKEY_Device_ProblemCode, which XP's headers lack.
const DEVPROPKEY kDevNodeStatus = {{0x4340a6c5, 0x93fa, 0x4706, {0x97, 0x2c, 0x7b, 0x64, 0x80, 0x08, 0xa5, 0xa7}}, 2};
const DEVPROPKEY kProblemCode = {{0x4340a6c5, 0x93fa, 0x4706, {0x97, 0x2c, 0x7b, 0x64, 0x80, 0x08, 0xa5, 0xa7}}, 3};
const DEVPROPTYPE kUint32 = 0x00000007;  // DEVPROP_TYPE_UINT32

BOOL WINAPI systemGetDevicePropertyW(HDEVINFO set, PSP_DEVINFO_DATA device, const DEVPROPKEY* key, DEVPROPTYPE* type,
                                     PBYTE buffer, DWORD size, PDWORD requiredSize, DWORD flags) {
    const auto real = systemFunctions().setupDiGetDevicePropertyW;
    if (real) return real(set, device, key, type, buffer, size, requiredSize, flags);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

const DeviceNodeApi kReal = {SetupDiGetClassDevsW,         SetupDiEnumDeviceInfo,         SetupDiGetDeviceRegistryPropertyW,
                             SetupDiGetDeviceInstanceIdW,  systemGetDevicePropertyW,      CM_Get_DevNode_Status,
                             SetupDiDestroyDeviceInfoList, SetupDiCreateDeviceInfoList,   SetupDiOpenDeviceInfoW,
                             SetupDiSetClassInstallParamsW, SetupDiCallClassInstaller,    SetupDiGetDeviceInstallParamsW};

// A hardware ID list holds a few IDs; more than this is not a device's own.
const DWORD kHardwareIdUnits = 2048;

// The index in the set of the first of the node's hardware IDs that the set holds, or -1. The
// list is a REG_MULTI_SZ that may come without its terminators.
int32_t matchHardwareIds(const DeviceNodeApi& api, HDEVINFO set, SP_DEVINFO_DATA* device, const HardwareIdSet& ids) {
    wchar_t list[kHardwareIdUnits + 2];
    DWORD type = 0;
    if (!api.getDeviceRegistryPropertyW(set, device, SPDRP_HARDWAREID, &type, reinterpret_cast<BYTE*>(list),
                                        kHardwareIdUnits * sizeof(wchar_t), NULL) ||
        type != REG_MULTI_SZ)
        return -1;
    list[kHardwareIdUnits] = 0;
    list[kHardwareIdUnits + 1] = 0;
    for (const wchar_t* id = list; *id; id += wcslen(id) + 1)
        for (int32_t i = 0; i < ids.count; ++i)
            if (ids.ids[i] && equalIgnoringAsciiCase(id, ids.ids[i])) return i;
    return -1;
}

enum PropertyRead { PROPERTY_READ, PROPERTY_NOT_READ, PROPERTY_CALL_MISSING };

// A 32-bit device property; a value of another type or size is not taken.
PropertyRead readUint32(const DeviceNodeApi& api, HDEVINFO set, SP_DEVINFO_DATA* device, const DEVPROPKEY& key,
                        uint32_t* value) {
    DEVPROPTYPE type = 0;
    DWORD size = 0;
    uint32_t read = 0;
    if (!api.getDevicePropertyW(set, device, &key, &type, reinterpret_cast<BYTE*>(&read), sizeof(read), &size, 0))
        return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? PROPERTY_CALL_MISSING : PROPERTY_NOT_READ;
    if (type != kUint32 || size != sizeof(read)) return PROPERTY_NOT_READ;
    *value = read;
    return PROPERTY_READ;
}

// The node's problem code and status: Windows' device properties where it has them, else the
// configuration manager's status call (Windows XP).
void readNodeState(const DeviceNodeApi& api, HDEVINFO set, SP_DEVINFO_DATA* device, DeviceNodeRecord* node) {
    const PropertyRead problem = readUint32(api, set, device, kProblemCode, &node->problemCode);
    if (problem == PROPERTY_CALL_MISSING) {
        ULONG status = 0, code = 0;
        if (api.getDevNodeStatus(&status, &code, device->DevInst, 0) != CR_SUCCESS) return;
        node->status = status;
        // A problem code counts only with DN_HAS_PROBLEM.
        node->problemCode = (status & NODE_STATUS_HAS_PROBLEM) ? code : 0;
        node->known |= NODE_PROBLEM_KNOWN | NODE_STATUS_KNOWN;
        return;
    }
    if (problem == PROPERTY_READ) node->known |= NODE_PROBLEM_KNOWN;
    if (readUint32(api, set, device, kDevNodeStatus, &node->status) == PROPERTY_READ) node->known |= NODE_STATUS_KNOWN;
}

bool listed(const DeviceNodeList& list, int32_t count, const wchar_t* instanceId) {
    for (int32_t i = 0; i < count; ++i)
        if (equalIgnoringAsciiCase(list.nodes[i].instanceId, instanceId)) return true;
    return false;
}

// The node decides its hardware ID's summary when none has yet, or when it has a problem code
// and the one deciding only waits for a restart.
void sumUp(const DeviceNodeRecord& node, NodeSummary* summary) {
    ++summary->present;
    const bool problem = nodeHasProblemCode(node);
    if (!problem && nodeProblem(node) != NODE_WAITS_FOR_RESTART) return;
    if (summary->decided && (nodeHasProblemCode(summary->deciding) || !problem)) return;
    summary->deciding = node;
    summary->decided = true;
}

// Walks one set of nodes (the present ones, or all of them) and appends those that carry a
// watched hardware ID; the state is read of present ones only, each of which takes part in its
// ID's summary, kept or not. Returns how many nodes of the set carry one.
int32_t walk(const DeviceNodeApi& api, bool present, const HardwareIdSet& ids, DeviceNodeList* list) {
    DeviceInfoSet set(api.getClassDevsW(NULL, NULL, NULL, DIGCF_ALLCLASSES | DWORD(present ? DIGCF_PRESENT : 0)),
                      api.destroyDeviceInfoList);
    if (!set.valid()) return 0;
    int32_t matches = 0;
    SP_DEVINFO_DATA device;
    for (DWORD i = 0;; ++i) {
        ZeroMemory(&device, sizeof(device));
        device.cbSize = sizeof(device);
        if (!api.enumDeviceInfo(set.get(), i, &device)) break;
        const int32_t index = matchHardwareIds(api, set.get(), &device, ids);
        if (index < 0) continue;
        DeviceNodeRecord node;
        ZeroMemory(&node, sizeof(node));
        if (!api.getDeviceInstanceIdW(set.get(), &device, node.instanceId, DEVICE_NODE_ID_SIZE, NULL)) continue;
        node.instanceId[DEVICE_NODE_ID_SIZE - 1] = 0;
        node.idIndex = index;
        ++matches;
        NodeSummary* summary = index < NODE_SUMMARY_IDS ? &list->ids[index] : NULL;
        if (present) {
            node.known = NODE_PRESENT;
            readNodeState(api, set.get(), &device, &node);
            if (summary) sumUp(node, summary);
        } else if (summary) {
            ++summary->nodes;
        }
        if (list->count < DEVICE_NODES_CAPACITY) list->nodes[list->count++] = node;
    }
    return matches;
}

}  // namespace

DeviceNodeApi g_deviceNodeApi = kReal;

void collectDeviceNodes(const HardwareIdSet& ids, DeviceNodeList* list) {
    ZeroMemory(list, sizeof(*list));
    if (ids.count <= 0) return;
    const DeviceNodeApi& api = g_deviceNodeApi;
    // All nodes first: on a machine without the drivers that one walk is all.
    DeviceNodeList all;
    ZeroMemory(&all, sizeof(all));
    const int32_t allMatches = walk(api, false, ids, &all);
    if (allMatches == 0) return;
    // Then the present ones, with their state, and after them the others.
    const int32_t presentMatches = walk(api, true, ids, list);
    for (int32_t i = 0; i < NODE_SUMMARY_IDS; ++i) {
        list->ids[i].nodes = all.ids[i].nodes;
        // Every present node is among all of them.
        if (list->ids[i].nodes < list->ids[i].present) list->ids[i].nodes = list->ids[i].present;
    }
    for (int32_t i = 0; i < all.count && list->count < DEVICE_NODES_CAPACITY; ++i)
        if (!listed(*list, list->count, all.nodes[i].instanceId)) list->nodes[list->count++] = all.nodes[i];
    // Every present node is among all of them.
    const int32_t found = allMatches > presentMatches ? allMatches : presentMatches;
    list->leftOut = found > list->count ? found - list->count : 0;
}

void changeDeviceNode(const wchar_t* instanceId, const char* hardwareId, NodeChange change, NodeChangeResult* result) {
    ZeroMemory(result, sizeof(*result));
    const DeviceNodeApi& api = g_deviceNodeApi;
    DeviceInfoSet set(api.createDeviceInfoList(NULL, NULL), api.destroyDeviceInfoList);
    if (!set.valid()) {
        result->error = GetLastError();
        return;
    }
    SP_DEVINFO_DATA device;
    ZeroMemory(&device, sizeof(device));
    device.cbSize = sizeof(device);
    if (!api.openDeviceInfoW(set.get(), instanceId, NULL, 0, &device)) {
        result->error = GetLastError();
        return;
    }
    const char* ids[] = {hardwareId};
    if (matchHardwareIds(api, set.get(), &device, HardwareIdSet{ids, 1}) != 0) {
        result->error = ERROR_NOT_FOUND;
        return;
    }
    SP_PROPCHANGE_PARAMS parameters;
    ZeroMemory(&parameters, sizeof(parameters));
    parameters.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    parameters.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    parameters.StateChange = change == NODE_ENABLE ? DICS_ENABLE : DICS_PROPCHANGE;
    parameters.Scope = DICS_FLAG_GLOBAL;
    if (!api.setClassInstallParamsW(set.get(), &device, &parameters.ClassInstallHeader, sizeof(parameters)) ||
        !api.callClassInstaller(DIF_PROPERTYCHANGE, set.get(), &device)) {
        result->error = GetLastError();
        return;
    }
    SP_DEVINSTALL_PARAMS_W install;
    ZeroMemory(&install, sizeof(install));
    install.cbSize = sizeof(install);
    if (api.getDeviceInstallParamsW(set.get(), &device, &install))
        result->restartNeeded = (install.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0;
}

bool nodeHasProblemCode(const DeviceNodeRecord& node) {
    return (node.known & NODE_PRESENT) && (node.known & NODE_PROBLEM_KNOWN) && node.problemCode != 0;
}

NodeProblem nodeProblem(const DeviceNodeRecord& node) {
    if (!(node.known & NODE_PRESENT)) return NODE_FINE;
    if (nodeHasProblemCode(node)) {
        switch (node.problemCode) {
        case PROBLEM_DISABLED: return NODE_DISABLED;
        case PROBLEM_UNSIGNED_DRIVER: return NODE_UNSIGNED;
        case PROBLEM_NEED_RESTART: return NODE_WAITS_FOR_RESTART;
        default: return NODE_NOT_STARTED;
        }
    }
    return (node.known & NODE_STATUS_KNOWN) && (node.status & NODE_STATUS_NEED_RESTART) ? NODE_WAITS_FOR_RESTART
                                                                                       : NODE_FINE;
}

bool nodesSayTheSame(const DeviceNodeRecord& a, const DeviceNodeRecord& b) {
    return nodeProblem(a) == nodeProblem(b) && a.problemCode == b.problemCode;
}
