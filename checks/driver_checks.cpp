#include "checks/driver_checks.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/system_identification.h"
#include "base/text.h"
#include "checks/driver_causes.h"
#include "checks/driver_control.h"

namespace {

// Walks a list from its first record and returns the first one the test accepts.
template <typename Accepts>
const DeviceRecord* findFirst(const RecordList& list, Accepts accepts) {
    const uint32_t count = recordCount(list);
    for (uint32_t i = 1; i <= count; ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if (accepts(*r)) return r;
    }
    return NULL;
}

// The lookups: each walks one list from its start and returns the first record that
// qualifies, or null. Hardware IDs and GUIDs compare ignoring ASCII case.

// The interface map's record of the side: a capture alias for the recording side, a render
// alias for the playback side.
const DeviceRecord* findInterfaceByHardwareId(const DeviceInventory& inventory, const char* hardwareId,
                                              Direction side) {
    return findFirst(inventory.ksInterfaces, [&](const DeviceRecord& r) {
        return (r.ksAliases & ksAliasOf(side)) && equalIgnoringAsciiCase(r.hardwareId, hardwareId);
    });
}

const DeviceRecord* findDeviceByHardwareId(const RecordList& list, DeviceSource source, const char* hardwareId) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return r.kind == source && equalIgnoringAsciiCase(r.hardwareId, hardwareId);
    });
}

const DeviceRecord* findOtherByHardwareId(const DeviceRecord* self, const RecordList& list, DeviceSource source,
                                          const char* hardwareId) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return &r != self && r.kind == source && equalIgnoringAsciiCase(r.hardwareId, hardwareId);
    });
}

const DeviceRecord* findOtherByIcon(const DeviceRecord* self, const RecordList& list, DeviceSource source,
                                    const wchar_t* icon) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return &r != self && r.kind == source && iconPathEndsWith(r.iconPath, icon);
    });
}

const DeviceRecord* findOtherByDeviceGuid(const DeviceRecord* self, const RecordList& list, DeviceSource source,
                                          const wchar_t* guid) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return &r != self && r.kind == source && equalIgnoringAsciiCase(r.mmDeviceGuid, guid);
    });
}

const DeviceRecord* findOtherKsByDriverName(const DeviceRecord* self, const RecordList& list, const char* driverName) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return &r != self && r.kind == KIND_KS && equalIgnoringAsciiCase(r.driverName, driverName);
    });
}

const DeviceRecord* findMmeByPinName(const RecordList& list, const char* name) {
    return findFirst(list, [&](const DeviceRecord& r) { return r.kind == KIND_MME && strcmp(r.pinName, name) == 0; });
}

// Collects the findings of one driver, each one error.
class Findings {
public:
    explicit Findings(DriverResult* result) : result_(result) {}

    void add(FindingKind kind, DeviceSource source, Direction side, const DeviceRecord* device, const wchar_t* value,
             const char* narrowValue = NULL, const wchar_t* otherName = NULL) {
        ++result_->errors;
        if (result_->findingCount >= DRIVER_FINDINGS_CAPACITY) return;  // cannot happen: see the capacity
        Finding& f = result_->findings[result_->findingCount++];
        f.kind = kind;
        f.device = device;
        f.source = source;
        f.side = side;
        f.value = value;
        f.narrowValue = narrowValue;
        f.otherName = otherName;
    }
    // Another device of the list shares a value: the value as that device holds it, and its name.
    void shared(FindingKind kind, DeviceSource source, Direction side, const DeviceRecord* device,
                const DeviceRecord* other, const wchar_t* value, const char* narrowValue = NULL) {
        add(kind, source, side, device, value, narrowValue, other->pinNameW);
    }

private:
    DriverResult* result_;
};

// One side of a driver: the list, and what its devices should carry.
struct DriverSide {
    const RecordList* list;
    Direction direction;
    const char* stem;
    const wchar_t* icon;
};

void checkEndpoint(Findings& s, const DriverCatalogEntry& row, const DeviceRecord* d, const DriverSide& side,
                   DeviceSource source) {
    if (strcmp(d->driverName, row.displayName) != 0)
        s.add(FINDING_BAD_DRIVER_NAME, source, side.direction, d, d->driverNameW, d->driverName);
    if (!pinNameMatches(d->pinName, side.stem, row.displayName))
        s.add(FINDING_BAD_PIN_NAME, source, side.direction, d, d->pinNameW, d->pinName);
    if (!iconPathEndsWith(d->iconPath, side.icon)) s.add(FINDING_BAD_PIN_ICON, source, side.direction, d, d->iconPath);
    if (const DeviceRecord* o = findOtherByHardwareId(d, *side.list, source, row.driverHardwareId))
        s.shared(FINDING_SAME_HARDWARE_ID, source, side.direction, d, o, NULL, o->hardwareId);
    // The other record is compared with the catalogue's icon text, not with d's path.
    if (const DeviceRecord* o = findOtherByIcon(d, *side.list, source, side.icon))
        s.shared(FINDING_SAME_ICON, source, side.direction, d, o, o->iconPath);
    if (const DeviceRecord* o = findOtherByDeviceGuid(d, *side.list, source, d->mmDeviceGuid))
        s.shared(FINDING_SAME_ENDPOINT_GUID, source, side.direction, d, o, o->mmDeviceGuid);
}

void checkKs(Findings& s, const DriverCatalogEntry& row, const DeviceRecord* d, const DriverSide& side) {
    if (strcmp(d->pinName, row.ksName) != 0)
        s.add(FINDING_BAD_DRIVER_NAME, KIND_KS, side.direction, d, d->pinNameW, d->pinName);
    if (const DeviceRecord* o = findOtherByHardwareId(d, *side.list, KIND_KS, row.driverHardwareId))
        s.shared(FINDING_SAME_HARDWARE_ID, KIND_KS, side.direction, d, o, NULL, o->hardwareId);
    // A KS record's driver name is the device interface path it was opened through.
    if (const DeviceRecord* o = findOtherKsByDriverName(d, *side.list, d->driverName))
        s.shared(FINDING_SAME_DRIVER_STRING, KIND_KS, side.direction, d, o, o->driverNameW, o->driverName);
}

// A checked driver's devices in every list: MME, then KS, then WDM, each side recording first.
void checkLists(Findings& s, const DriverCatalogEntry& row, const DeviceInventory& inventory, OsClass osClass) {
    // Before Windows Vista the MME records are only looked for, and there are no endpoints.
    const bool legacy = isBeforeVista(osClass);
    const DriverSide sides[] = {
        {&inventory.inputDevices, DIRECTION_RECORDING, row.recordingPinName, row.recordingIcon},
        {&inventory.outputDevices, DIRECTION_PLAYBACK, row.playbackPinName, row.playbackIcon},
    };

    for (const DriverSide& side : sides) {
        const DeviceRecord* d = findDeviceByHardwareId(*side.list, KIND_MME, row.driverHardwareId);
        if (d) {
            if (!legacy) checkEndpoint(s, row, d, side, KIND_MME);
        } else if (!(legacy && findMmeByPinName(*side.list, row.ksName))) {
            s.add(FINDING_NOT_LISTED, KIND_MME, side.direction, NULL, NULL);
        }
    }
    for (const DriverSide& side : sides) {
        const DeviceRecord* d = findDeviceByHardwareId(*side.list, KIND_KS, row.driverHardwareId);
        if (d) {
            checkKs(s, row, d, side);
        } else if (const DeviceRecord* silent = findSilentFilter(inventory, row.driverHardwareId, side.direction)) {
            // Its interface is there, but its filter stopped answering in this pass.
            s.add(FINDING_NOT_RESPONDING, KIND_KS, side.direction, silent, silent->driverNameW, silent->driverName);
        } else {
            s.add(FINDING_NOT_LISTED, KIND_KS, side.direction, NULL, NULL);
        }
    }
    if (!legacy) {
        for (const DriverSide& side : sides) {
            const DeviceRecord* d = findDeviceByHardwareId(*side.list, KIND_WDM, row.driverHardwareId);
            if (d) checkEndpoint(s, row, d, side, KIND_WDM);
            else s.add(FINDING_NOT_LISTED, KIND_WDM, side.direction, NULL, NULL);
        }
    }
}

// The row's error count, with the causes of the row and of its findings decided.
int32_t finish(const DriverCatalogEntry& row, const CheckContext& context, DriverResult* result, int32_t errors) {
    result->errors = errors;
    decideCauses(row, context, result);
    return errors;
}

}  // namespace

bool iconPathEndsWith(const wchar_t* path, const wchar_t* tail) {
    const size_t pathLength = wcslen(path), tailLength = wcslen(tail);
    if (tailLength > pathLength) return false;
    if (tailLength == 0) return true;
    return wmemcmp(path + pathLength - tailLength, tail, tailLength) == 0;
}

bool pinNameMatches(const char* name, const char* stem, const char* displayName) {
    const size_t n = strlen(name);
    static const char* const kOpenings[] = {" (", "("};
    for (const char* opening : kOpenings) {
        char expected[1024];
        _snprintf(expected, sizeof(expected), "%s%s%s)", stem, opening, displayName);
        expected[sizeof(expected) - 1] = 0;
        // strncmp stops at the shorter text's end, so a name longer than the text never matches.
        if (strncmp(name, expected, n) == 0) return true;
    }
    return false;
}

DriverJobs catalogVersionJobs(CatalogVersions* versions) {
    for (int i = 0; i < DRIVER_CATALOG_SIZE; ++i) versions->interfaceGuids[i] = DRIVER_CATALOG[i].interfaceGuid;
    const DriverVersionJobs jobs = {versions->interfaceGuids, DRIVER_CATALOG_SIZE, versions->answers, 0, 0};
    versions->jobs = jobs;
    return driverVersionJobs(&versions->jobs);
}

int32_t checkDriver(const DriverCatalogEntry& row, const DriverVersionAnswer& answer, const CheckContext& context,
                    DriverResult* result) {
    memset(result, 0, sizeof(*result));
    result->displayName = row.displayName;
    result->hardwareId = row.driverHardwareId;
    result->expectedVersion = row.expectedVersion;
    Findings s(result);
    const DeviceInventory& inventory = *context.inventory;

    gatherRowEvidence(row, inventory, &result->evidence);

    const uint32_t version = answer.result == DRIVER_ANSWERED ? answer.version : 0;
    result->version = version;
    if (answer.result == DRIVER_NOT_RESPONDING) {
        // Neither installed nor of any version: something is wrong, and the total must say so.
        result->state = DRIVER_STATE_NOT_RESPONDING;
        return finish(row, context, result, 1);
    }
    if (version == 0) {
        // No version is not yet "not installed": Windows may hold the driver's device without
        // running it, or list its devices while its control device is silent.
        // The node that decides the row's cause decides its line too.
        const DeviceNodeRecord* node = result->evidence.deciding;
        if (node && nodeHasProblemCode(*node)) {
            result->state = DRIVER_STATE_NOT_RUNNING;
            result->problemCode = node->problemCode;
            return finish(row, context, result, 1);
        }
        if (result->evidence.listed) {
            result->state = DRIVER_STATE_NOT_ANSWERING;
            return finish(row, context, result, 1);
        }
        result->state = DRIVER_STATE_NOT_INSTALLED;
        return 0;
    }
    if (version != row.expectedVersion) {
        result->state = DRIVER_STATE_WRONG_VERSION;
        return finish(row, context, result, 1);
    }
    const DeviceRecord* f = findInterfaceByHardwareId(inventory, row.driverHardwareId, DIRECTION_PLAYBACK);
    if (!f) {
        f = findInterfaceByHardwareId(inventory, row.driverHardwareId, DIRECTION_RECORDING);
        if (!f) {
            result->state = DRIVER_STATE_INSTALLATION_PROBLEM;
            return finish(row, context, result, 2);
        }
        // A driver with only a capture interface: an error without a line of its own.
        s.add(FINDING_CAPTURE_ONLY_INTERFACE, KIND_KS, DIRECTION_PLAYBACK, NULL, NULL);
    }
    result->state = DRIVER_STATE_CHECKED;
    result->interfaceName = f->pinNameW;

    checkLists(s, row, inventory, context.osClass);
    return finish(row, context, result, result->errors);
}
