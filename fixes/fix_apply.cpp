#include "fixes/fix_apply.h"

#include <string.h>
#include <wchar.h>

#include "base/text.h"
#include "base/worker.h"
#include "sources/devnodes/device_nodes.h"
#include "sources/store/format_editing.h"

FixWaits g_fixWaits = {30000, 30000};

namespace {

// A service start runs on its own thread: the start call itself may wait for the service.
struct ServiceJob {
    wchar_t name[FIX_TARGET_SIZE];
    DWORD waitMs;
    ServiceRepair repair;
};
void serviceWork(void* state) {
    ServiceJob* job = static_cast<ServiceJob*>(state);
    repairAudioService(job->name, job->waitMs, &job->repair);
}

struct NodeJob {
    wchar_t instanceId[FIX_TARGET_SIZE];
    char hardwareId[HARDWARE_ID_SIZE];
    NodeChange change;
    NodeChangeResult result;
};
void nodeWork(void* state) {
    NodeJob* job = static_cast<NodeJob*>(state);
    changeDeviceNode(job->instanceId, job->hardwareId, job->change, &job->result);
}

// A call that did not come back in time, or could not be made on a thread: false.
bool cameBack(WorkEnd end, FixRecord* fix) {
    if (end == WORK_DONE) return true;
    fix->outcome = FIX_NOT_DONE;
    fix->note = end == WORK_LATE ? FIX_NOTE_TIMED_OUT : FIX_NOTE_NO_THREAD;
    return false;
}

void startService(FixRecord* fix) {
    // Only the two audio services, whatever the plan says.
    if (wcscmp(fix->target, AUDIO_SERVICE_NAME) != 0 && wcscmp(fix->target, ENDPOINT_BUILDER_SERVICE_NAME) != 0) {
        fix->outcome = FIX_NOT_DONE;
        fix->note = FIX_NOTE_NOT_THE_DRIVERS;
        return;
    }
    ServiceJob job;
    ZeroMemory(&job, sizeof(job));
    copyText(job.name, fix->target, FIX_TARGET_SIZE);
    job.waitMs = g_fixWaits.serviceMs;
    // The start call may itself wait for the service; its wait comes on top.
    if (!cameBack(runWithDeadline(serviceWork, &job, sizeof(job), g_fixWaits.serviceMs + g_fixWaits.serviceMs / 4 + 1000),
                  fix))
        return;
    const ServiceRepair& r = job.repair;
    fix->serviceBefore = r.before;
    fix->serviceAfter = r.after;
    fix->startTypeChanged = r.startTypeChanged;
    fix->startTypeRestored = r.startTypeRestored;
    fix->error = r.error;
    fix->outcome = r.error == 0 && r.after == AUDIO_SERVICE_RUNNING ? FIX_DONE : FIX_NOT_DONE;
}

void changeNode(FixRecord* fix) {
    NodeJob job;
    ZeroMemory(&job, sizeof(job));
    copyText(job.instanceId, fix->target, FIX_TARGET_SIZE);
    lstrcpynA(job.hardwareId, DRIVER_CATALOG[fix->row].driverHardwareId, HARDWARE_ID_SIZE);
    job.change = fix->action == FIX_ENABLE_DEVICE ? NODE_ENABLE : NODE_RESTART;
    if (!cameBack(runWithDeadline(nodeWork, &job, sizeof(job), g_fixWaits.deviceMs), fix)) return;
    if (job.result.error == ERROR_NOT_FOUND) {
        fix->outcome = FIX_NOT_DONE;
        fix->note = FIX_NOTE_NOT_THE_DRIVERS;
    } else if (job.result.error != 0) {
        fix->outcome = FIX_NOT_DONE;
        fix->error = job.result.error;
    } else {
        fix->outcome = job.result.restartNeeded ? FIX_RESTART_NEEDED : FIX_DONE;
    }
}

void restoreEntry(FixRecord* fix) {
    const LONG result = restoreEntryText(fix->side, fix->target, DRIVER_CATALOG[fix->row].driverHardwareId,
                                         fix->action == FIX_RESTORE_NAME ? STORED_NAME : STORED_ICON, fix->before,
                                         fix->after);
    fix->outcome = result == ERROR_SUCCESS ? FIX_DONE : FIX_NOT_DONE;
    if (result == ERROR_NOT_FOUND) fix->note = FIX_NOTE_NOT_THE_DRIVERS;
    else if (result == ERROR_INVALID_DATA) fix->note = FIX_NOTE_CHANGED_SINCE_TEST;
    else if (result != ERROR_SUCCESS) fix->error = uint32_t(result);
}

}  // namespace

void applyFixes(bool elevated, FixList* plan) {
    for (int32_t i = 0; i < plan->count; ++i) {
        FixRecord* fix = &plan->fixes[i];
        if (fix->outcome != FIX_PLANNED) continue;
        const bool rowAction = fix->action != FIX_START_SERVICE;
        if (rowAction && (fix->row < 0 || fix->row >= DRIVER_CATALOG_SIZE)) {
            fix->outcome = FIX_NOT_DONE;
            fix->note = FIX_NOTE_NOT_THE_DRIVERS;
            continue;
        }
        if (!elevated) {
            fix->outcome = FIX_NEEDS_ADMINISTRATOR;
            continue;
        }
        switch (fix->action) {
        case FIX_START_SERVICE: startService(fix); break;
        case FIX_ENABLE_DEVICE:
        case FIX_RESTART_DEVICE: changeNode(fix); break;
        case FIX_RESTORE_NAME:
        case FIX_RESTORE_ICON: restoreEntry(fix); break;
        default:
            fix->outcome = FIX_NOT_DONE;
            fix->note = FIX_NOTE_NOT_THE_DRIVERS;
            break;
        }
    }
}
