#include "probe/driver_catalog.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "inventory/text_compare.h"
#include "probe/driver_control.h"

const DriverCatalogEntry DRIVER_CATALOG[DRIVER_CATALOG_SIZE] = {
    {{0xFE4F5263, 0x11D5, 0x4724, {0x95, 0xBA, 0xA9, 0x78, 0x98, 0x3B, 0x63, 0x69}}, 0x01000305,
     "HalvaneVSOWDM", "Halvane Virtual Vesso", "VESSO Output", "VESSO Input",
     L"VESSO\\pin_out.ico", L"VESSO\\pin_in.ico", "Halvane Point", NULL},
    {{0xDE2BA9C8, 0xCF2E, 0x41DF, {0x8B, 0x64, 0x44, 0x1C, 0x51, 0x6B, 0x64, 0xAE}}, 0x01000305,
     "HalvaneVSOAWDM", "Halvane Vesso A", "VESSO-A Output", "VESSO-A Input",
     L"VESSO-A\\pin_out.ico", L"VESSO-A\\pin_in.ico", "Halvane VESSO-A", NULL},
    {{0xBC322BD5, 0x6359, 0x47D4, {0x99, 0x26, 0x36, 0x3F, 0xE6, 0xA1, 0x10, 0x24}}, 0x01000305,
     "HalvaneVSOBWDM", "Halvane Vesso B", "VESSO-B Output", "VESSO-B Input",
     L"VESSO-B\\pin_out.ico", L"VESSO-B\\pin_in.ico", "Halvane VESSO-B", NULL},
    {{0xA222643E, 0x744A, 0x46F8, {0x85, 0xFE, 0x02, 0x88, 0x3E, 0xC5, 0xC2, 0xE3}}, 0x02010502,
     "Halvane101WDMVessoC", "Halvane Vesso C", "VESSO-C Output", "VESSO-C Input",
     NULL, NULL, "Halvane VESSO-C", "halvane_vessoc"},
    {{0x775D096D, 0x0F0F, 0x45FA, {0x8E, 0xE1, 0x4C, 0x1F, 0xD1, 0x94, 0x91, 0x0B}}, 0x02010502,
     "Halvane102WDMVessoD", "Halvane Vesso D", "VESSO-D Output", "VESSO-D Input",
     NULL, NULL, "Halvane VESSO-D", "halvane_vessod"},
    {{0xDBFD22D6, 0x5229, 0x407D, {0xA4, 0x07, 0xE1, 0x5D, 0x7F, 0xF3, 0x52, 0x53}}, 0x01000305,
     "HalvaneRZ40NODA", "Halvane RZ40 Virtual I/O", "RZ40 Output", "RZ40 Input",
     L"VESSORZ40\\pin_out.ico", L"VESSORZ40\\pin_in.ico", "Halvane RZ40 NODA", NULL},
    {{0xBA04A117, 0x26C3, 0x4C87, {0xA3, 0xBA, 0xF3, 0xD7, 0xA1, 0xD8, 0xC4, 0xFE}}, 0x01000305,
     "HalvaneCLNODA", "Halvane Clarel Vesso", "Clarel Vesso Output", "Clarel Vesso Input",
     L"VESSOClarel\\pin_out.ico", L"VESSOClarel\\pin_in.ico", "Halvane Clarel Vesso", NULL},
    {{0xF78A830F, 0xE6D0, 0x4F70, {0xBC, 0x4D, 0xB2, 0x9B, 0x67, 0x13, 0x96, 0x1F}}, 0x02010502,
     "HalvaneTDNODA", "Halvane Tondrel NODA", "Tondrel Output", "Tondrel Input",
     NULL, NULL, "Tondrel noda", "halvane_tdnoda"},
    {{0xC97816B5, 0xB7B9, 0x415A, {0xAC, 0x71, 0x7A, 0x40, 0xFB, 0xD6, 0x64, 0x81}}, 0x02010502,
     "HalvaneTDAUXNODA", "Halvane Tondrel AUX NODA", "Tondrel Aux Output", "Tondrel Aux Input",
     NULL, NULL, "Tondrel Aux noda", "halvane_tdauxnoda"},
    {{0xAFCE6DFE, 0xB614, 0x4EA5, {0x95, 0xE0, 0x95, 0x7E, 0x81, 0xF2, 0x76, 0xF3}}, 0x02010502,
     "Halvane100TDNODA3", "Halvane Tondrel NODA3", "Tondrel NODA3 Output", "Tondrel NODA3 Input",
     NULL, NULL, "Tondrel NODA3", "halvane_tdnoda3"},
};

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
        appendNarrow(log_, line);
    }
    void wide(const wchar_t* format, ...) {
        wchar_t line[2048];
        va_list args;
        va_start(args, format);
        _vsnwprintf(line, 2048, format, args);
        va_end(args);
        line[2047] = 0;
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
struct Direction {
    const RecordList* list;
    const char* end;     // "Input" / "Output", as in "MME Input - Bad Pin Name"
    const char* device;  // "Recording" / "Playback", as in "MME Recording Device not listed."
    const char* stem;
    const wchar_t* icon;
};

void checkEndpoint(Section& s, const DriverCatalogEntry& row, const DeviceRecord* d, const Direction& dir,
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

void checkKs(Section& s, const DriverCatalogEntry& row, const DeviceRecord* d, const Direction& dir) {
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

int32_t checkDriver(const DriverCatalogEntry& row, const CheckContext& context) {
    Section s(context.log);
    const DeviceInventory& inventory = *context.inventory;

    const uint32_t version = queryDriverVersion(row.interfaceGuid);
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
    const Direction directions[] = {
        {&inventory.inputDevices, "Input", "Recording", row.recordingPinName, row.recordingIcon},
        {&inventory.outputDevices, "Output", "Playback", row.playbackPinName, row.playbackIcon},
    };

    for (const Direction& dir : directions) {
        const DeviceRecord* d = findDeviceByHardwareId(*dir.list, KIND_MME, row.driverHardwareId);
        if (d) {
            if (!legacy) checkEndpoint(s, row, d, dir, KIND_MME, "MME");
        } else if (!(legacy && findMmeByPinName(*dir.list, row.ksName))) {
            s.notListed("MME", dir.device);
        }
    }
    for (const Direction& dir : directions) {
        const DeviceRecord* d = findDeviceByHardwareId(*dir.list, KIND_KS, row.driverHardwareId);
        if (d) checkKs(s, row, d, dir);
        else s.notListed("KS", dir.device);
    }
    if (!legacy) {
        for (const Direction& dir : directions) {
            const DeviceRecord* d = findDeviceByHardwareId(*dir.list, KIND_WDM, row.driverHardwareId);
            if (d) checkEndpoint(s, row, d, dir, KIND_WDM, "WDM");
            else s.notListed("WDM", dir.device);
        }
    }

    if (s.errors > 0) s.wide(L"   *ERROR TOTAL FOUND: %i", int(s.errors));
    return s.errors;
}
