#include "checks/driver_catalog.h"

#include <stdio.h>

#include "base/system_identification.h"

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
// The rows' hardware IDs, in catalogue order.
struct CatalogIds {
    const char* ids[DRIVER_CATALOG_SIZE];
    CatalogIds() {
        for (int i = 0; i < DRIVER_CATALOG_SIZE; ++i) ids[i] = DRIVER_CATALOG[i].driverHardwareId;
    }
};
const CatalogIds kCatalogIds;
}  // namespace

HardwareIdSet catalogHardwareIds() { return HardwareIdSet{kCatalogIds.ids, DRIVER_CATALOG_SIZE}; }

namespace {

const char* driverFileSuffix(OsClass osClass) {
    switch (osClass) {
    case OS_BEFORE_XP:
    case OS_XP: return "_xp.sys";
    case OS_SERVER_2003: return "_2003.sys";
    case OS_VISTA: return "_vista.sys";
    case OS_WIN7:
    case OS_WIN8:
    case OS_WIN81: return "_win7.sys";
    case OS_WIN10:
    case OS_AFTER_WIN10: return "_win10.sys";
    default: return "";
    }
}

}  // namespace

void driverIconReference(const char* fileBase, Direction direction, OsClass osClass, bool is64BitWindows,
                         wchar_t* reference) {
    char narrow[128];
    _snprintf(narrow, sizeof(narrow), "%s%s%s%s", fileBase ? fileBase : "", is64BitWindows ? "64" : "",
              driverFileSuffix(osClass), direction == DIRECTION_RECORDING ? ",-101" : ",-100");
    narrow[sizeof(narrow) - 1] = 0;
    ZeroMemory(reference, 128 * sizeof(wchar_t));
    MultiByteToWideChar(CP_ACP, 0, narrow, -1, reference, 128);
    reference[127] = 0;
}
