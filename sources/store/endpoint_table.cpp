// The device list's table: the playback and recording entries of chosen hardware IDs.
#include <string.h>
#include <wchar.h>

#include "base/registry.h"
#include "base/text.h"
#include "sources/store/endpoint_store.h"
#include "sources/store/store_values.h"

namespace {

const size_t kKeyPathSize = sizeof(EndpointRegistryRecord::propertiesKeyPath) / sizeof(wchar_t);

uint32_t directionFlag(Direction direction) {
    return direction == DIRECTION_RECORDING ? uint32_t(ENDPOINT_RECORDING) : uint32_t(ENDPOINT_PLAYBACK);
}

// One walk of a direction key for the entries of several hardware IDs: each entry is opened
// once, and the first entry whose driver text ends in an ID (ignoring ASCII case) is that ID's,
// read whole from the same open key. found[i] tells whether ids[i] got one.
void findEntries(Direction direction, const char* const* ids, int count, EndpointRegistryRecord* records,
                 bool* found) {
    wchar_t directionKey[STORE_PATH_SIZE];
    directionPath(direction, directionKey);
    int missing = 0;
    for (int i = 0; i < count; ++i) {
        ZeroMemory(&records[i], sizeof(records[i]));
        records[i].flags = directionFlag(direction);
        found[i] = false;
        if (ids[i]) ++missing;
    }
    if (missing == 0) return;  // no driver has a row: the recording side is not even listed
    bool in64 = false;
    walkEntries(directionKey, &in64, [&](const wchar_t* name) {
        wchar_t entry[STORE_PATH_SIZE];
        // An entry whose path does not fit its field is passed over: the format commands
        // write through that path and must never reach another key.
        if (!entryPath(directionKey, name, entry) || wcslen(entry) >= kKeyPathSize) return false;
        RegistryKey properties;
        bool entryIn64;
        if (!properties.openEitherView(entry, &entryIn64)) return false;
        // Only the driver text decides; the other values are read for a matching entry only.
        EndpointRegistryRecord candidate;
        uint32_t unused = 0;
        if (!readStoreValues(properties.get(), 1u << VALUE_DRIVER_TEXT, &candidate, &unused))
            return false;
        for (int i = 0; i < count; ++i) {
            if (!ids[i] || found[i] || !equalIgnoringAsciiCase(candidate.hardwareId, ids[i])) continue;
            found[i] = true;
            --missing;
            EndpointRegistryRecord& record = records[i];
            lstrcpynA(record.hardwareId, candidate.hardwareId, sizeof(record.hardwareId));
            lstrcpynW(record.propertiesKeyPath, entry, kKeyPathSize);
            if (entryIn64) record.flags |= ENDPOINT_64BIT_VIEW;
            readStoreValues(properties.get(), ALL_STORE_VALUES & ~(1u << VALUE_DRIVER_TEXT), &record, &record.flags);
        }
        return missing == 0;
    });
    // An entry not found records the view its direction key was searched in.
    for (int i = 0; i < count; ++i)
        if (!found[i] && in64) records[i].flags |= ENDPOINT_64BIT_VIEW;
}

}  // namespace

void readEndpointRegistryTable(EndpointRegistryTable* table, const HardwareIdSet& ids) {
    const char* const* hardwareIds = ids.ids;
    const int count = ids.count < ENDPOINT_TABLE_SIZE ? ids.count : ENDPOINT_TABLE_SIZE;
    // Playback entries first; then the recording entries of the drivers that have one.
    EndpointRegistryRecord found[ENDPOINT_TABLE_SIZE];
    bool have[ENDPOINT_TABLE_SIZE];
    findEntries(DIRECTION_PLAYBACK, hardwareIds, count, found, have);
    const char* rowIds[ENDPOINT_TABLE_SIZE];
    int32_t pairs = 0;
    for (int i = 0; i < count; ++i) {
        if (!have[i]) continue;
        table->renderEntries[pairs] = found[i];
        rowIds[pairs++] = hardwareIds[i];
    }
    findEntries(DIRECTION_RECORDING, rowIds, pairs, table->captureEntries, have);
    table->pairCount = pairs;
}
