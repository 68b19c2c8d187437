#include "checks/driver_causes.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/system_identification.h"
#include "base/text.h"

namespace {

bool carries(const DeviceInventory& inventory, int32_t idIndex, const char* hardwareId) {
    return idIndex >= 0 && idIndex < inventory.watched.count && inventory.watched.ids[idIndex] &&
           equalIgnoringAsciiCase(inventory.watched.ids[idIndex], hardwareId);
}

// The list holds a device of the source with the hardware ID (any for null).
bool listHolds(const RecordList& list, DeviceSource source, const char* hardwareId) {
    for (uint32_t i = 1; i <= recordCount(list); ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if (r->kind == source && (!hardwareId || equalIgnoringAsciiCase(r->hardwareId, hardwareId)))
            return true;
    }
    return false;
}

void decide(Diagnosis* why, Cause cause, EvidenceKind evidence, uint32_t value = 0) {
    why->cause = cause;
    why->evidence = evidence;
    why->value = value;
}

void expectNarrow(Diagnosis* why, const char* text) {
    why->expected[0] = 0;
    if (text) MultiByteToWideChar(CP_ACP, 0, text, -1, why->expected, EXPECTED_TEXT_SIZE - 1);
    why->expected[EXPECTED_TEXT_SIZE - 1] = 0;
}

// What a device node Windows did not start says.
void fromNode(Diagnosis* why, const DeviceNodeRecord& node) {
    decide(why, causeOfNode(node), EVIDENCE_DEVICE_NODE, node.problemCode);
    why->node = &node;
}

// The endpoint entries of a side explain a missing device only when none of them is active:
// the most telling state of the others, a user's choice (disabled) first, as the pass summed
// them up over every entry of the side.
bool fromEndpointState(Diagnosis* why, const RowEvidence& evidence, Direction side) {
    const EntrySummary* summary = evidence.sides[side == DIRECTION_RECORDING ? 1 : 0];
    if (!summary || summary->active > 0 || !summary->decided) return false;
    static const struct {
        uint32_t state;
        Cause cause;
    } kStates[] = {{STORED_STATE_DISABLED, CAUSE_ENDPOINT_DISABLED},
                   {STORED_STATE_UNPLUGGED, CAUSE_ENDPOINT_UNPLUGGED},
                   {STORED_STATE_NOT_PRESENT, CAUSE_ENDPOINT_NOT_PRESENT}};
    for (const auto& s : kStates) {
        if (storedState(summary->deciding) != s.state) continue;
        decide(why, s.cause, EVIDENCE_ENDPOINT_STATE, summary->deciding.deviceState);
        why->entry = &summary->deciding;
        return true;
    }
    return false;
}

// A device missing from a list Windows builds through its audio services: Windows Audio for the
// wave devices (with its endpoint builder, which it needs), the endpoint builder for endpoints.
// A service that is down empties the whole list; where the list holds any device, the service
// works whatever the manager says of it.
bool fromServices(Diagnosis* why, const DeviceInventory& inventory, DeviceSource source) {
    const AudioServices& services = inventory.evidence.services;
    if (listHolds(inventory.inputDevices, source, NULL) || listHolds(inventory.outputDevices, source, NULL))
        return false;
    if (!(source == KIND_MME && audioServiceDown(services.audio)) && !audioServiceDown(services.endpointBuilder))
        return false;
    decide(why, CAUSE_AUDIO_SERVICE_NOT_RUNNING, EVIDENCE_SERVICE);
    why->services = services;
    return true;
}

// The store entry a device was completed from: the one of its side named as its endpoint GUID.
const WatchedEntry* entryOf(const RowEvidence& evidence, const Finding& f) {
    if (!f.device || !f.device->mmDeviceGuid[0]) return NULL;
    for (int32_t i = 0; i < evidence.keptEntries; ++i) {
        const WatchedEntry* e = evidence.entries[i];
        if (e->direction == f.side && equalIgnoringAsciiCase(e->endpointGuid, f.device->mmDeviceGuid)) return e;
    }
    return NULL;
}

// The driver's own kernel-streaming device of the side carries the name the driver gives it:
// then a name or icon the store holds otherwise was changed after the driver set it.
bool driverNamesItRight(const DriverCatalogEntry& row, const DeviceInventory& inventory, Direction side) {
    const RecordList& list = side == DIRECTION_RECORDING ? inventory.inputDevices : inventory.outputDevices;
    for (uint32_t i = 1; i <= recordCount(list); ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if (r->kind == KIND_KS && equalIgnoringAsciiCase(r->hardwareId, row.driverHardwareId))
            return strcmp(r->pinName, row.ksName) == 0;
    }
    return false;
}

// The driver's own icon as the store would hold it, as far as the evidence tells: a driver file's
// icon in the drivers folder, as its setup writes it; an icon file beside the one the other side's
// entry holds, where that one is still the driver's; else only the end the catalogue gives.
void driverIconLocation(const DriverCatalogEntry& row, Direction side, const RowEvidence& evidence, wchar_t* location) {
    const wchar_t* tail = side == DIRECTION_RECORDING ? row.recordingIcon : row.playbackIcon;
    const wchar_t* otherTail = side == DIRECTION_RECORDING ? row.playbackIcon : row.recordingIcon;
    copyText(location, tail, EXPECTED_TEXT_SIZE);
    if (row.driverFileBase) {
        _snwprintf(location, EXPECTED_TEXT_SIZE, L"%%SystemRoot%%\\System32\\drivers\\%ls", tail);
        location[EXPECTED_TEXT_SIZE - 1] = 0;
        return;
    }
    if (!otherTail) return;
    for (int32_t i = 0; i < evidence.keptEntries && i < ROW_EVIDENCE_CAPACITY; ++i) {
        const WatchedEntry& other = *evidence.entries[i];
        if (other.direction == side || !(other.known & ENTRY_HAS_ICON) || !iconPathEndsWith(other.icon, otherTail))
            continue;
        const size_t keep = wcslen(other.icon) - wcslen(otherTail);
        if (keep + wcslen(tail) + 1 > size_t(EXPECTED_TEXT_SIZE)) continue;
        wmemcpy(location, other.icon, keep);
        copyText(location + keep, tail, EXPECTED_TEXT_SIZE - keep);
        return;
    }
}

void decideFinding(const DriverCatalogEntry& row, const CheckContext& context, const RowEvidence& evidence,
                   Finding* f) {
    Diagnosis* why = &f->why;
    ZeroMemory(why, sizeof(*why));
    decide(why, CAUSE_UNKNOWN, EVIDENCE_NONE);
    const bool legacy = isBeforeVista(context.osClass);
    const DeviceInventory& inventory = *context.inventory;
    switch (f->kind) {
    case FINDING_NOT_RESPONDING:
        decide(why, CAUSE_DRIVER_NOT_ANSWERING, EVIDENCE_FILTER_SILENT);
        return;
    case FINDING_NOT_LISTED:
    case FINDING_CAPTURE_ONLY_INTERFACE:
        if (evidence.deciding) return fromNode(why, *evidence.deciding);
        if (f->kind == FINDING_CAPTURE_ONLY_INTERFACE || f->source == KIND_KS || legacy) return;
        if (inventory.evidence.gathered && fromServices(why, inventory, f->source)) return;
        fromEndpointState(why, evidence, f->side);
        return;
    case FINDING_BAD_PIN_NAME:
    case FINDING_BAD_PIN_ICON: {
        const WatchedEntry* e = entryOf(evidence, *f);
        if (!e || !driverNamesItRight(row, inventory, f->side)) return;
        const bool recording = f->side == DIRECTION_RECORDING;
        if (f->kind == FINDING_BAD_PIN_NAME) {
            const char* stem = recording ? row.recordingPinName : row.playbackPinName;
            wchar_t wideStem[EXPECTED_TEXT_SIZE] = L"";
            MultiByteToWideChar(CP_ACP, 0, stem, -1, wideStem, EXPECTED_TEXT_SIZE - 1);
            if (!(e->known & ENTRY_HAS_NAME) || wcscmp(e->name, wideStem) == 0) return;
            decide(why, CAUSE_RENAMED_BY_USER, EVIDENCE_STORED_NAME);
            copyText(why->expected, wideStem, EXPECTED_TEXT_SIZE);
        } else {
            const wchar_t* icon = recording ? row.recordingIcon : row.playbackIcon;
            if (!(e->known & ENTRY_HAS_ICON) || !icon || iconPathEndsWith(e->icon, icon)) return;
            decide(why, CAUSE_ICON_CHANGED_BY_USER, EVIDENCE_STORED_ICON);
            driverIconLocation(row, f->side, evidence, why->expected);
        }
        why->entry = e;
        return;
    }
    case FINDING_SAME_HARDWARE_ID:
    case FINDING_SAME_ICON:
        if (evidence.presentNodes >= 2) decide(why, CAUSE_INSTALLED_TWICE, EVIDENCE_NODE_COUNT, evidence.presentNodes);
        return;
    default:
        return;
    }
}

}  // namespace

void gatherRowEvidence(const DriverCatalogEntry& row, const DeviceInventory& inventory, RowEvidence* evidence) {
    ZeroMemory(evidence, sizeof(*evidence));
    const PassEvidence& pass = inventory.evidence;
    evidence->gathered = pass.gathered;
    for (int32_t index = 0; index < inventory.watched.count; ++index) {
        if (!carries(inventory, index, row.driverHardwareId)) continue;
        if (index < NODE_SUMMARY_IDS) {
            const NodeSummary& nodes = pass.nodes.ids[index];
            evidence->nodeCount += nodes.nodes;
            evidence->presentNodes += nodes.present;
            if (nodes.decided && !evidence->deciding) evidence->deciding = &nodes.deciding;
        }
        if (index < ENTRY_SUMMARY_IDS)
            for (int side = 0; side < 2; ++side) {
                evidence->entryCount += pass.entries.ids[index][side].entries;
                if (!evidence->sides[side]) evidence->sides[side] = &pass.entries.ids[index][side];
            }
    }
    for (int32_t i = 0; i < pass.nodes.count; ++i) {
        const DeviceNodeRecord& node = pass.nodes.nodes[i];
        if (carries(inventory, node.idIndex, row.driverHardwareId) && evidence->keptNodes < ROW_EVIDENCE_CAPACITY)
            evidence->nodes[evidence->keptNodes++] = &node;
    }
    for (int32_t i = 0; i < pass.entries.count; ++i) {
        const WatchedEntry& entry = pass.entries.entries[i];
        if (carries(inventory, entry.idIndex, row.driverHardwareId) && evidence->keptEntries < ROW_EVIDENCE_CAPACITY)
            evidence->entries[evidence->keptEntries++] = &entry;
    }
    const char* id = row.driverHardwareId;
    if (listHolds(inventory.ksInterfaces, KIND_KS, id)) evidence->listed |= LISTED_KS_INTERFACE;
    if (listHolds(inventory.inputDevices, KIND_WDM, id) || listHolds(inventory.outputDevices, KIND_WDM, id))
        evidence->listed |= LISTED_ENDPOINT;
    if (listHolds(inventory.inputDevices, KIND_MME, id) || listHolds(inventory.outputDevices, KIND_MME, id))
        evidence->listed |= LISTED_WAVE_DEVICE;
}

Cause causeOfNode(const DeviceNodeRecord& node) {
    switch (nodeProblem(node)) {
    case NODE_DISABLED: return CAUSE_DRIVER_DISABLED;
    case NODE_UNSIGNED: return CAUSE_SIGNATURE_NOT_VERIFIED;
    case NODE_WAITS_FOR_RESTART: return CAUSE_RESTART_NEEDED;
    case NODE_NOT_STARTED: return CAUSE_DRIVER_NOT_STARTED;
    default: return CAUSE_NONE;
    }
}

void decideCauses(const DriverCatalogEntry& row, const CheckContext& context, DriverResult* result) {
    const RowEvidence& evidence = result->evidence;
    for (int32_t i = 0; i < result->findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i)
        decideFinding(row, context, evidence, &result->findings[i]);

    Diagnosis* why = &result->why;
    ZeroMemory(why, sizeof(*why));
    if (result->errors == 0) return;  // fine, or not installed
    decide(why, CAUSE_UNKNOWN, EVIDENCE_NONE);
    const DeviceNodeRecord* node = evidence.deciding;
    switch (result->state) {
    case DRIVER_STATE_NOT_RESPONDING:
        decide(why, CAUSE_DRIVER_NOT_ANSWERING, EVIDENCE_NO_VERSION_ANSWER);
        return;
    case DRIVER_STATE_WRONG_VERSION: {
        decide(why, result->version < row.expectedVersion ? CAUSE_OLDER_DRIVER : CAUSE_NEWER_DRIVER, EVIDENCE_VERSION,
            result->version);
        char version[16];
        _snprintf(version, sizeof(version), "%08X", unsigned(row.expectedVersion));
        version[sizeof(version) - 1] = 0;
        expectNarrow(why, version);
        return;
    }
    case DRIVER_STATE_NOT_RUNNING:
    case DRIVER_STATE_INSTALLATION_PROBLEM:
        if (node) fromNode(why, *node);
        return;
    case DRIVER_STATE_NOT_ANSWERING:
        if (node) return fromNode(why, *node);
        decide(why, CAUSE_DRIVER_NOT_ANSWERING, EVIDENCE_LISTED);
        why->listed = evidence.listed;
        return;
    default:
        // A checked row: the first of its findings that the evidence explains; where none is, a
        // device of the driver that waits for a restart.
        for (int32_t i = 0; i < result->findingCount && i < DRIVER_FINDINGS_CAPACITY; ++i) {
            if (result->findings[i].why.cause == CAUSE_UNKNOWN) continue;
            *why = result->findings[i].why;
            return;
        }
        if (node && nodeProblem(*node) == NODE_WAITS_FOR_RESTART) fromNode(why, *node);
        return;
    }
}

void decideIntegrity(int32_t initValue, Diagnosis* why) {
    ZeroMemory(why, sizeof(*why));
    if (initValue != 0) decide(why, CAUSE_CHECKER_DAMAGED, EVIDENCE_INTEGRITY, uint32_t(initValue));
}
