// The legacy multimedia (MME) wave devices of one direction, as records of kind KIND_MME.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "base/device_record.h"

// The winmm calls of the source: the real ones; tests list fake wave devices.
struct WaveApi {
    UINT(WINAPI* waveInGetNumDevs)();
    MMRESULT(WINAPI* waveInGetDevCapsW)(UINT_PTR id, LPWAVEINCAPSW caps, UINT size);
    UINT(WINAPI* waveOutGetNumDevs)();
    MMRESULT(WINAPI* waveOutGetDevCapsW)(UINT_PTR id, LPWAVEOUTCAPSW caps, UINT size);
};
extern WaveApi g_waveApi;

// Appends a record for every numbered wave device of the direction whose capabilities can be
// read, each handed to the completion first.
void collectWaveDevices(RecordList* list, Direction direction, const RecordCompletion& completion);
