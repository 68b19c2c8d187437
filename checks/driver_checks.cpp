#include "checks/driver_checks.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "base/text.h"
#include "checks/driver_control.h"

namespace {

bool kindIs(const DeviceRecord& r, uint32_t kind) { return (r.kind & KIND_MASK) == kind; }

// Walks a list from its first record and returns the first one the test accepts.
template <typename Test>
const DeviceRecord* findFirst(const RecordList& list, Test accepts) {
    const uint32_t count = recordCount(list);
    for (uint32_t i = 1; i <= count; ++i) {
        const DeviceRecord* r = recordAt(list, i);
        if (accepts(*r)) return r;
    }
    return NULL;
}

// The lines of one driver's section.
class Section {
public:
    explicit Section(LogBuffer* log) : log_(log) {}

    void narrow(const char* format, ...) {
        char line[1024];
        va_list args;
        va_start(args, format);
        _vsnprintf(line, sizeof(line), format, args);
        va_end(args);
        line[sizeof(line) - 1] = 0;
        makeLineSafe(line);  // names from drivers and the registry must not break the line
        appendNarrow(log_, line);
    }
    void wide(const wchar_t* format, ...) {
        wchar_t line[2048];
        va_list args;
        va_start(args, format);
        _vsnwprintf(line, 2048, format, args);
        va_end(args);
        line[2047] = 0;
        makeLineSafe(line);
        appendWide(log_, line);
    }

    // An error: its line, and one more in the count.
    void errorNarrow(const char* side, const char* what, const char* value) {
        narrow("   *ERROR %s - %s: %s", side, what, value);
        ++errors;
    }
    void errorWide(const char* side, const char* what, const wchar_t* value) {
        wide(L"   *ERROR %hs - %hs: %ls", side, what, value);
        ++errors;
    }
    void notListed(const char* list, const char* device) {
        wide(L"   *ERROR %hs %hs Device not listed.", list, device);
        ++errors;
    }

    int32_t errors = 0;

private:
    LogBuffer* log_;
};

// One side of a driver: the list, the words of its lines, and what its devices should carry.
struct Side {
    const RecordList* list;
    const char* end;     // "Input" / "Output", as in "MME Input - Bad Pin Name"
    const char* device;  // "Recording" / "Playback", as in "MME Recording Device not listed."
    const char* stem;
    const wchar_t* icon;
};

void checkEndpoint(Section& s, const DriverCatalogEntry& row, const DeviceRecord* d, const Side& dir,
                   uint32_t kind, const char* source) {
    char side[16];
    _snprintf(side, sizeof(side), "%s %s", source, dir.end);
    side[sizeof(side) - 1] = 0;
    if (strcmp(d->driverName, row.displayName) != 0) s.errorNarrow(side, "Bad Driver Name", d->driverName);
    if (!pinNameMatches(d->pinName, dir.stem, row.displayName)) s.errorNarrow(side, "Bad Pin Name", d->pinName);
    if (!iconPathEndsWith(d->iconPath, dir.icon)) s.errorWide(side, "Bad Pin Icon", d->iconPath);
    if (const DeviceRecord* o = findOtherByHardwareId(d, *dir.list, kind, row.driverHardwareId))
        s.errorWide(side, "Found same hardware ID used by", o->pinNameW);
    // The other record is compared with the catalogue's icon text, not with d's path.
    if (const DeviceRecord* o = findOtherByIcon(d, *dir.list, kind, dir.icon))
        s.errorWide(side, "Found same Icon used by", o->pinNameW);
    if (const DeviceRecord* o = findOtherByDeviceGuid(d, *dir.list, kind, d->mmDeviceGuid))
        s.errorWide(side, "Found same MMEDeviceGUID used by", o->pinNameW);
}

void checkKs(Section& s, const DriverCatalogEntry& row, const DeviceRecord* d, const Side& dir) {
    char side[16];
    _snprintf(side, sizeof(side), "KS %s", dir.end);
    side[sizeof(side) - 1] = 0;
    if (strcmp(d->pinName, row.ksName) != 0) s.errorNarrow(side, "Bad Driver Name", d->pinName);
    if (const DeviceRecord* o = findOtherByHardwareId(d, *dir.list, KIND_KS, row.driverHardwareId))
        s.errorWide(side, "Found same hardware ID used by", o->pinNameW);
    // A KS record's driver name is the device interface path it was opened through.
    if (const DeviceRecord* o = findOtherKsByDriverName(d, *dir.list, d->driverName))
        s.errorWide(side, "Found same driver string used by", o->pinNameW);
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

const DeviceRecord* findInterfaceByHardwareId(const DeviceInventory& inventory, const char* hardwareId, int capture) {
    return findFirst(inventory.ksInterfaces, [&](const DeviceRecord& r) {
        return ((r.kind & KS_CAPTURE_FLAG) != 0) == (capture != 0) && equalIgnoringAsciiCase(r.hardwareId, hardwareId);
    });
}

const DeviceRecord* findDeviceByHardwareId(const RecordList& list, uint32_t kind, const char* hardwareId) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return kindIs(r, kind) && equalIgnoringAsciiCase(r.hardwareId, hardwareId);
    });
}

const DeviceRecord* findOtherByHardwareId(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                          const char* hardwareId) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return &r != self && kindIs(r, kind) && equalIgnoringAsciiCase(r.hardwareId, hardwareId);
    });
}

const DeviceRecord* findOtherByIcon(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                    const wchar_t* icon) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return &r != self && kindIs(r, kind) && iconPathEndsWith(r.iconPath, icon);
    });
}

const DeviceRecord* findOtherByDeviceGuid(const DeviceRecord* self, const RecordList& list, uint32_t kind,
                                          const wchar_t* guid) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return &r != self && kindIs(r, kind) && equalIgnoringAsciiCase(r.mmDeviceGuid, guid);
    });
}

const DeviceRecord* findOtherKsByDriverName(const DeviceRecord* self, const RecordList& list, const char* driverName) {
    return findFirst(list, [&](const DeviceRecord& r) {
        return &r != self && kindIs(r, KIND_KS) && equalIgnoringAsciiCase(r.driverName, driverName);
    });
}

const DeviceRecord* findMmeByPinName(const RecordList& list, const char* name) {
    return findFirst(list, [&](const DeviceRecord& r) { return kindIs(r, KIND_MME) && strcmp(r.pinName, name) == 0; });
}

void askCatalogVersions(DriverVersionAnswer answers[DRIVER_CATALOG_SIZE]) {
    GUID classes[DRIVER_CATALOG_SIZE];
    for (int i = 0; i < DRIVER_CATALOG_SIZE; ++i) classes[i] = DRIVER_CATALOG[i].interfaceGuid;
    askDriverVersions(classes, DRIVER_CATALOG_SIZE, answers);
}

int32_t checkDriver(const DriverCatalogEntry& row, const CheckContext& context) {
    DriverVersionAnswer answer;
    answer.result = askDriverVersion(row.interfaceGuid, &answer.version);
    return checkDriver(row, answer, context);
}

int32_t checkDriver(const DriverCatalogEntry& row, const DriverVersionAnswer& answer, const CheckContext& context) {
    Section s(context.log);
    const DeviceInventory& inventory = *context.inventory;

    const uint32_t version = answer.result == DRIVER_ANSWERED ? answer.version : 0;
    if (answer.result == DRIVER_NOT_RESPONDING) {
        // Neither installed nor of any version: something is wrong, and the total must say so.
        s.narrow("CHECKING %s : Driver Not Responding", row.displayName);
        return 1;
    }
    if (version == 0) {
        s.narrow("CHECKING %s : Not Installed", row.displayName);
        return 0;
    }
    if (version != row.expectedVersion) {
        s.narrow("CHECKING %s (version %08X): Bad version number (or the driver is not updated, or this "
                 "RududuZedadid is not updated)",
                 row.displayName, unsigned(version));
        return 1;
    }
    const DeviceRecord* f = findInterfaceByHardwareId(inventory, row.driverHardwareId, 0);
    if (!f) {
        // A driver with only a capture interface: an error without a line of its own.
        s.errors = 1;
        f = findInterfaceByHardwareId(inventory, row.driverHardwareId, 1);
        if (!f) {
            s.narrow("CHECKING %s (version %08X): Installation Problem Detected", row.displayName, unsigned(version));
            return 2;
        }
    }
    s.wide(L"CHECKING %ls (version %08X)", f->pinNameW, unsigned(version));

    // Before Windows Vista the MME records are only looked for, and there are no endpoints.
    const bool legacy = context.osClass >= 0 && context.osClass <= 2;
    const Side directions[] = {
        {&inventory.inputDevices, "Input", "Recording", row.recordingPinName, row.recordingIcon},
        {&inventory.outputDevices, "Output", "Playback", row.playbackPinName, row.playbackIcon},
    };

    for (const Side& dir : directions) {
        const DeviceRecord* d = findDeviceByHardwareId(*dir.list, KIND_MME, row.driverHardwareId);
        if (d) {
            if (!legacy) checkEndpoint(s, row, d, dir, KIND_MME, "MME");
        } else if (!(legacy && findMmeByPinName(*dir.list, row.ksName))) {
            s.notListed("MME", dir.device);
        }
    }
    for (const Side& dir : directions) {
        const DeviceRecord* d = findDeviceByHardwareId(*dir.list, KIND_KS, row.driverHardwareId);
        if (d) {
            checkKs(s, row, d, dir);
        } else if (findSilentFilter(inventory, row.driverHardwareId,
                                    dir.list == &inventory.inputDevices ? DIRECTION_RECORDING : DIRECTION_PLAYBACK)) {
            // Its interface is there, but its filter stopped answering in this pass.
            s.wide(L"   *ERROR KS %hs Device not responding.", dir.device);
            ++s.errors;
        } else {
            s.notListed("KS", dir.device);
        }
    }
    if (!legacy) {
        for (const Side& dir : directions) {
            const DeviceRecord* d = findDeviceByHardwareId(*dir.list, KIND_WDM, row.driverHardwareId);
            if (d) checkEndpoint(s, row, d, dir, KIND_WDM, "WDM");
            else s.notListed("WDM", dir.device);
        }
    }

    if (s.errors > 0) s.wide(L"   *ERROR TOTAL FOUND: %i", int(s.errors));
    return s.errors;
}
