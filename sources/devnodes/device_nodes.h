// The device nodes Windows keeps for chosen hardware IDs, present or not, and what Windows says
// of each: its problem code and status; and, on a fix the user agreed to, one node enabled or
// restarted through its class installer. Nothing here asks a driver anything.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <stdint.h>

#include "base/device_record.h"

// The calls of the walk: the real ones in the product, a fake device tree in tests.
struct DeviceNodeApi {
    HDEVINFO(WINAPI* getClassDevsW)(const GUID* classGuid, PCWSTR enumerator, HWND parent, DWORD flags);
    BOOL(WINAPI* enumDeviceInfo)(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device);
    BOOL(WINAPI* getDeviceRegistryPropertyW)(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                             PBYTE buffer, DWORD size, PDWORD requiredSize);
    BOOL(WINAPI* getDeviceInstanceIdW)(HDEVINFO set, PSP_DEVINFO_DATA device, PWSTR id, DWORD size,
                                       PDWORD requiredSize);
    // Windows Vista and later: fails with ERROR_CALL_NOT_IMPLEMENTED where Windows lacks it, and
    // the node's status then comes from getDevNodeStatus, as on Windows XP.
    BOOL(WINAPI* getDevicePropertyW)(HDEVINFO set, PSP_DEVINFO_DATA device, const DEVPROPKEY* key,
                                     DEVPROPTYPE* type, PBYTE buffer, DWORD size, PDWORD requiredSize, DWORD flags);
    CONFIGRET(WINAPI* getDevNodeStatus)(PULONG status, PULONG problem, DEVINST node, ULONG flags);
    BOOL(WINAPI* destroyDeviceInfoList)(HDEVINFO set);
    // The fix's calls.
    HDEVINFO(WINAPI* createDeviceInfoList)(const GUID* classGuid, HWND parent);
    BOOL(WINAPI* openDeviceInfoW)(HDEVINFO set, PCWSTR instanceId, HWND parent, DWORD flags, PSP_DEVINFO_DATA device);
    BOOL(WINAPI* setClassInstallParamsW)(HDEVINFO set, PSP_DEVINFO_DATA device, PSP_CLASSINSTALL_HEADER parameters,
                                         DWORD size);
    BOOL(WINAPI* callClassInstaller)(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device);
    BOOL(WINAPI* getDeviceInstallParamsW)(HDEVINFO set, PSP_DEVINFO_DATA device,
                                          PSP_DEVINSTALL_PARAMS_W parameters);
};
extern DeviceNodeApi g_deviceNodeApi;

enum {
    DEVICE_NODE_ID_SIZE = 200,  // an instance ID's longest form, terminator included
    DEVICE_NODES_CAPACITY = 32,
    NODE_SUMMARY_IDS = 16,      // the watched hardware IDs whose nodes are summed up (the catalogue has 10)
};

// What is known of a node.
enum NodeKnown : uint32_t {
    NODE_KNOWN_NOTHING = 0,
    NODE_PRESENT = 0x1,         // Windows lists it among the present devices
    NODE_PROBLEM_KNOWN = 0x2,   // problemCode was read
    NODE_STATUS_KNOWN = 0x4,    // status was read
};
DEFINE_ENUM_FLAG_OPERATORS(NodeKnown)

// Status flags and problem codes as Windows defines them (cfg.h), for the ones the checker reads.
enum : uint32_t {
    NODE_STATUS_NEED_RESTART = 0x100,  // DN_NEED_RESTART
    NODE_STATUS_HAS_PROBLEM = 0x400,   // DN_HAS_PROBLEM
};
enum : uint32_t {
    PROBLEM_NOT_CONFIGURED = 1,
    PROBLEM_FAILED_START = 10,
    PROBLEM_NEED_RESTART = 14,
    PROBLEM_REINSTALL = 18,
    PROBLEM_DISABLED = 22,
    PROBLEM_FAILED_INSTALL = 28,
    PROBLEM_UNSIGNED_DRIVER = 52,
};

struct DeviceNodeRecord {
    int32_t idIndex;  // which hardware ID of the set the node carries
    NodeKnown known;
    uint32_t problemCode;  // 0: none
    uint32_t status;       // DN_ flags
    wchar_t instanceId[DEVICE_NODE_ID_SIZE];
};

// What Device Manager says of a present node, the one reading of its problem code and status
// that every reader takes: the line of a row, its cause, the fixes and the JSON report.
enum NodeProblem : int32_t {
    NODE_FINE = 0,              // no problem code, not waiting; or not present, or nothing read
    NODE_DISABLED = 1,          // problem code 22
    NODE_UNSIGNED = 2,          // problem code 52
    NODE_WAITS_FOR_RESTART = 3, // problem code 14, or no code and DN_NEED_RESTART
    NODE_NOT_STARTED = 4,       // any other problem code
};
NodeProblem nodeProblem(const DeviceNodeRecord& node);
// The node has a problem code (not only a wait for a restart).
bool nodeHasProblemCode(const DeviceNodeRecord& node);
// Two nodes say the same to Device Manager: the same problem, with the same code.
bool nodesSayTheSame(const DeviceNodeRecord& a, const DeviceNodeRecord& b);

// Every node of one watched hardware ID, however many there are: counted, and the one that
// decides kept: the first present node with a problem code, else the first waiting for a restart.
struct NodeSummary {
    int32_t nodes;    // present or not
    int32_t present;
    bool decided;
    DeviceNodeRecord deciding;
};

// The nodes found, present ones first, each in the order Windows lists them; nodes beyond the
// capacity are only counted, but take part in their hardware ID's summary.
struct DeviceNodeList {
    int32_t count;
    int32_t leftOut;
    DeviceNodeRecord nodes[DEVICE_NODES_CAPACITY];
    NodeSummary ids[NODE_SUMMARY_IDS];  // by the index of the hardware ID in the set
};

// Every device node (of any class) one of whose hardware IDs is in the set, compared whole,
// ignoring ASCII case only.
void collectDeviceNodes(const HardwareIdSet& ids, DeviceNodeList* list);

// What a fix does to a node: enable it (it was disabled), or stop and start it again (its
// driver did not start, or does not answer).
enum NodeChange : int32_t {
    NODE_ENABLE = 0,
    NODE_RESTART = 1,
};
struct NodeChangeResult {
    DWORD error;  // Windows' reason; ERROR_NOT_FOUND when the node no longer carries the hardware ID
    bool restartNeeded;  // Windows needs a restart to finish (DI_NEEDREBOOT, DI_NEEDRESTART)
};
// Changes the node of that instance ID through its class installer (DIF_PROPERTYCHANGE, for
// every hardware profile), only when one of its hardware IDs is `hardwareId` (ASCII case
// ignored): a node that has become another device's since it was read is left alone. May wait
// inside the class installer, so it is for a worker thread.
void changeDeviceNode(const wchar_t* instanceId, const char* hardwareId, NodeChange change, NodeChangeResult* result);
