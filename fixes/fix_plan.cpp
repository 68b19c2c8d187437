#include "fixes/fix_plan.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/registry.h"
#include "base/system_identification.h"
#include "base/text.h"
#include "checks/driver_checks.h"
#include "sources/devnodes/device_nodes.h"
#include "sources/store/endpoint_store.h"

namespace {

// The fix is in the plan already (a cause a row and its findings share).
bool planned(const FixList& plan, FixAction action, const wchar_t* target) {
    for (int32_t i = 0; i < plan.count; ++i)
        if (plan.fixes[i].action == action && equalIgnoringAsciiCase(plan.fixes[i].target, target)) return true;
    return false;
}

FixRecord* add(FixList* plan, FixAction action, int32_t row, const wchar_t* target) {
    if (plan->count >= FIXES_CAPACITY || !target[0] || planned(*plan, action, target)) return NULL;
    FixRecord* fix = &plan->fixes[plan->count++];
    ZeroMemory(fix, sizeof(*fix));
    fix->action = action;
    fix->row = row;
    copyText(fix->target, target, FIX_TARGET_SIZE);
    return fix;
}

bool hasCause(const DriverResult& driver, Cause cause) {
    if (driver.why.cause == cause) return true;
    for (int32_t i = 0; i < driver.findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i)
        if (driver.findings[i].why.cause == cause) return true;
    return false;
}

void planService(const wchar_t* name, AudioServiceState state, FixList* plan) {
    // A missing service is not the checker's to create; one not asked or not readable is not known to be down.
    if (state != AUDIO_SERVICE_STOPPED && state != AUDIO_SERVICE_DISABLED) return;
    if (FixRecord* fix = add(plan, FIX_START_SERVICE, -1, name)) fix->serviceBefore = fix->serviceAfter = state;
}

// The row's present nodes a cause's fix changes: the disabled ones are enabled; those whose
// driver did not start, or (no problem code) that do not answer, are started again. Every kept
// node of the row, and the one that decides it.
void planNodes(int32_t row, const DriverResult& driver, FixList* plan) {
    const bool disabled = hasCause(driver, CAUSE_DRIVER_DISABLED);
    const bool notStarted = hasCause(driver, CAUSE_DRIVER_NOT_STARTED);
    const bool notAnswering = hasCause(driver, CAUSE_DRIVER_NOT_ANSWERING);
    const RowEvidence& e = driver.evidence;
    int32_t planned = 0;
    for (int32_t i = -1; i < e.keptNodes && i < ROW_EVIDENCE_CAPACITY && planned < FIX_NODES_PER_ROW; ++i) {
        const DeviceNodeRecord* node = i < 0 ? e.deciding : e.nodes[i];
        if (!node || !(node->known & NODE_PRESENT)) continue;
        const NodeProblem problem = nodeProblem(*node);
        FixAction action;
        if (disabled && problem == NODE_DISABLED) action = FIX_ENABLE_DEVICE;
        else if ((notStarted && problem == NODE_NOT_STARTED) || (notAnswering && problem == NODE_FINE))
            action = FIX_RESTART_DEVICE;
        else continue;
        if (FixRecord* fix = add(plan, action, row, node->instanceId)) {
            fix->problemCode = nodeHasProblemCode(*node) ? node->problemCode : 0;
            ++planned;
        }
    }
}

// Cuts an icon location to its file ("x.sys,-101" is x.sys).
void cutIconIndex(wchar_t* file) {
    wchar_t* comma = wcsrchr(file, L',');
    if (!comma) return;
    const wchar_t* digits = comma[1] == L'-' ? comma + 2 : comma + 1;
    if (!*digits) return;
    for (const wchar_t* d = digits; *d; ++d)
        if (*d < L'0' || *d > L'9') return;
    *comma = 0;
}

// The driver's icon location, as the store would hold it, names a file on a local fixed drive of
// this machine (the location was made from the catalogue's end of it).
bool iconFileFound(const wchar_t* stored, bool is64BitWindows) {
    wchar_t path[REGISTRY_STRING_SIZE];
    copyText(path, stored, REGISTRY_STRING_SIZE);
    expandIconPath(path);
    cutIconIndex(path);
    // A drive letter and a root: no share, no device path, no relative name (a location the
    // evidence did not complete is only the catalogue's end of it).
    const wchar_t letter = path[0] | 0x20;
    if (!(letter >= L'a' && letter <= L'z' && path[1] == L':' && path[2] == L'\\')) return false;
    const wchar_t root[] = {path[0], L':', L'\\', 0};
    if (GetDriveTypeW(root) != DRIVE_FIXED) return false;
    if (is64BitWindows) toSysnativePath(path, REGISTRY_STRING_SIZE);
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// The endpoints of the row the user renamed or gave another icon: the entry each finding was
// completed from gets the driver's value back.
void planEntries(int32_t row, const DriverResult& driver, bool is64BitWindows, FixList* plan) {
    for (int32_t i = 0; i < driver.findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i) {
        const Diagnosis& why = driver.findings[i].why;
        const WatchedEntry* entry = why.entry;
        if (!entry || !why.expected[0]) continue;
        FixAction action;
        const wchar_t* before;
        wchar_t after[FIX_TEXT_SIZE];
        if (why.cause == CAUSE_RENAMED_BY_USER) {
            action = FIX_RESTORE_NAME;
            before = entry->name;
            copyText(after, why.expected, FIX_TEXT_SIZE);
        } else if (why.cause == CAUSE_ICON_CHANGED_BY_USER) {
            action = FIX_RESTORE_ICON;
            before = entry->icon;
            if (!iconFileFound(why.expected, is64BitWindows)) continue;
            copyText(after, why.expected, FIX_TEXT_SIZE);
        } else {
            continue;
        }
        if (FixRecord* fix = add(plan, action, row, entry->endpointGuid)) {
            fix->side = entry->direction;
            copyText(fix->before, before, FIX_TEXT_SIZE);
            copyText(fix->after, after, FIX_TEXT_SIZE);
        }
    }
}

}  // namespace

void planFixes(const DriverResult (&drivers)[DRIVER_CATALOG_SIZE], const AudioServices& services, OsClass osClass,
               bool is64BitWindows, FixList* plan) {
    ZeroMemory(plan, sizeof(*plan));
    bool servicesDown = false;
    for (const DriverResult& driver : drivers) {
        servicesDown = servicesDown || hasCause(driver, CAUSE_AUDIO_SERVICE_NOT_RUNNING);
        plan->restartNeeded = plan->restartNeeded || hasCause(driver, CAUSE_RESTART_NEEDED);
    }
    // Windows Audio needs its endpoint builder: the builder first.
    if (servicesDown) {
        if (!isBeforeVista(osClass)) planService(ENDPOINT_BUILDER_SERVICE_NAME, services.endpointBuilder, plan);
        planService(AUDIO_SERVICE_NAME, services.audio, plan);
    }
    for (int32_t row = 0; row < DRIVER_CATALOG_SIZE; ++row) planNodes(row, drivers[row], plan);
    for (int32_t row = 0; row < DRIVER_CATALOG_SIZE; ++row) planEntries(row, drivers[row], is64BitWindows, plan);
}

uint64_t fixAgreementBit(const FixRecord& fix) {
    const uint64_t one = 1;
    const int32_t row = fix.row >= 0 && fix.row < DRIVER_CATALOG_SIZE ? fix.row : 0;
    const int32_t side = fix.side == DIRECTION_RECORDING ? 1 : 0;
    switch (fix.action) {
    case FIX_START_SERVICE: return one;
    case FIX_ENABLE_DEVICE: return one << (1 + row);
    case FIX_RESTART_DEVICE: return one << (11 + row);
    case FIX_RESTORE_NAME: return one << (21 + 2 * row + side);
    case FIX_RESTORE_ICON: return one << (41 + 2 * row + side);
    default: return 0;
    }
}

uint64_t fixAgreement(const FixList& plan) {
    uint64_t agreed = 0;
    for (int32_t i = 0; i < plan.count; ++i) agreed |= fixAgreementBit(plan.fixes[i]);
    return agreed;
}

void keepAgreedFixes(uint64_t agreed, FixList* plan) {
    int32_t kept = 0;
    for (int32_t i = 0; i < plan->count; ++i)
        if (fixAgreementBit(plan->fixes[i]) & agreed) {
            if (kept != i) plan->fixes[kept] = plan->fixes[i];
            ++kept;
        }
    plan->count = kept;
}
