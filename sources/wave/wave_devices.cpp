#include "sources/wave/wave_devices.h"

#include <string.h>

#include "base/system_library.h"
#include "base/text.h"

namespace {

// WINMM is not among the DLLs Windows always takes from the system folder, so it is not
// imported: its functions are found in the system folder's copy when first called. One that
// cannot be found lists no devices, as a failing source does.
template <typename Function>
Function winmm(const char* name) {
    return systemFunctionAs<Function>(L"winmm.dll", name);
}

constexpr char kWaveInGetNumDevs[] = "waveInGetNumDevs";
constexpr char kWaveOutGetNumDevs[] = "waveOutGetNumDevs";
constexpr char kWaveInGetDevCapsW[] = "waveInGetDevCapsW";
constexpr char kWaveOutGetDevCapsW[] = "waveOutGetDevCapsW";

template <const char* Name>
UINT WINAPI systemNumDevs() {
    static const auto real = winmm<UINT(WINAPI*)()>(Name);
    return real ? real() : 0;
}

template <typename Caps, const char* Name>
MMRESULT WINAPI systemDevCaps(UINT_PTR id, Caps* caps, UINT size) {
    static const auto real = winmm<MMRESULT(WINAPI*)(UINT_PTR, Caps*, UINT)>(Name);
    return real ? real(id, caps, size) : MMSYSERR_ERROR;
}

const WaveApi kReal = {systemNumDevs<kWaveInGetNumDevs>, systemDevCaps<WAVEINCAPSW, kWaveInGetDevCapsW>,
                       systemNumDevs<kWaveOutGetNumDevs>, systemDevCaps<WAVEOUTCAPSW, kWaveOutGetDevCapsW>};

}  // namespace

WaveApi g_waveApi = kReal;

const WaveApi& realWaveApi() { return kReal; }

void collectWaveDevices(RecordList* list, int direction, const RecordCompletion& completion) {
    const WaveApi& api = g_waveApi;
    const bool recording = direction == 1;
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
        lstrcpynW(record.pinNameW, name, PIN_NAME_SIZE);
        toNarrow(record.pinNameW, record.pinName, PIN_NAME_SIZE);
        record.channels = channels;
        record.kind = KIND_MME;
        // The record is listed whatever the completion finds.
        completion.complete(completion.context, &record, directionFromNumber(direction));
        appendRecord(list, &record);
    }
}
