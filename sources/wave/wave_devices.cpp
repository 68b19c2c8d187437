#include "sources/wave/wave_devices.h"

#include <string.h>

#include "base/system_functions.h"
#include "base/text.h"

namespace {

// WINMM is not imported (see system_functions.h): a function of it that cannot be found lists
// no devices, as a failing source does.
UINT WINAPI systemWaveInGetNumDevs() {
    const auto real = systemFunctions().waveInGetNumDevs;
    return real ? real() : 0;
}
UINT WINAPI systemWaveOutGetNumDevs() {
    const auto real = systemFunctions().waveOutGetNumDevs;
    return real ? real() : 0;
}
MMRESULT WINAPI systemWaveInGetDevCapsW(UINT_PTR id, WAVEINCAPSW* caps, UINT size) {
    const auto real = systemFunctions().waveInGetDevCapsW;
    return real ? real(id, caps, size) : MMSYSERR_ERROR;
}
MMRESULT WINAPI systemWaveOutGetDevCapsW(UINT_PTR id, WAVEOUTCAPSW* caps, UINT size) {
    const auto real = systemFunctions().waveOutGetDevCapsW;
    return real ? real(id, caps, size) : MMSYSERR_ERROR;
}

const WaveApi kReal = {systemWaveInGetNumDevs, systemWaveInGetDevCapsW, systemWaveOutGetNumDevs,
                       systemWaveOutGetDevCapsW};

}  // namespace

WaveApi g_waveApi = kReal;

void collectWaveDevices(RecordList* list, Direction direction, const RecordCompletion& completion) {
    const WaveApi& api = g_waveApi;
    const bool recording = direction == DIRECTION_RECORDING;
    const int32_t count = int32_t(recording ? api.waveInGetNumDevs() : api.waveOutGetNumDevs());
    // Ids 0 to count - 1 are the numbered devices; the wave mapper (WAVE_MAPPER) is never asked.
    for (int32_t id = 0; id < count; ++id) {
        wchar_t name[MAXPNAMELEN + 1];
        uint32_t channels = 0;
        if (recording) {
            WAVEINCAPSW caps;
            ZeroMemory(&caps, sizeof(caps));
            if (api.waveInGetDevCapsW(UINT_PTR(id), &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
            memcpy(name, caps.szPname, sizeof(caps.szPname));
            channels = caps.wChannels;
        } else {
            WAVEOUTCAPSW caps;
            ZeroMemory(&caps, sizeof(caps));
            if (api.waveOutGetDevCapsW(UINT_PTR(id), &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
            memcpy(name, caps.szPname, sizeof(caps.szPname));
            channels = caps.wChannels;
        }
        name[MAXPNAMELEN] = 0;  // a driver may fill all 32 units without a terminator

        DeviceRecord record;
        ZeroMemory(&record, sizeof(record));
        record.index = id;
        copyTextAndNarrow(name, record.pinNameW, record.pinName, PIN_NAME_SIZE);
        record.channels = channels;
        record.kind = KIND_MME;
        // The record is listed whatever the completion finds.
        completion.complete(completion.context, &record, direction);
        appendRecord(list, &record);
    }
}
