// Kernel-streaming filters for tests: fake filters answering IOCTL_KS_PROPERTY pin requests from
// a description of their pins (or from raw answer bytes), at once, pending, or holding the
// calling thread (an open or a request that does not return), and the KSCATEGORY_AUDIO
// interfaces SetupAPI lists for them, put behind the request layer's, the interface walk's and
// the workers' tables of Windows calls while a FakeKs lives. Answer blocks can be given a guard
// page right behind them, so that any read past a block faults. Filters may be asked from
// several threads at once; the fake keeps its books under a lock.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <setupapi.h>

#include "base/worker.h"
#include "sources/ks/ks_interfaces.h"
#include "sources/ks/ks_property.h"
#include "support/saved_table.h"

// Windows' own values, written out here so that a typo in the product's copies shows: a fake
// filter answers only requests made with these.
namespace windows_ks {
const DWORD IOCTL_KS_PROPERTY = 0x2F0003;
const GUID PROPSETID_PIN = {0x8C134960, 0x51AD, 0x11CF, {0x87, 0x8A, 0x94, 0xF8, 0x01, 0xC1, 0x00, 0x00}};
const GUID CATEGORY_AUDIO = {0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID CATEGORY_CAPTURE = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID CATEGORY_RENDER = {0x65E8773E, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID INTERFACESETID_STANDARD = {0x1A8766A0, 0x62CE, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
const GUID MEDIUMSETID_STANDARD = {0x4747B320, 0x62CE, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
const GUID SUBTYPE_PCM = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}  // namespace windows_ks

struct KsIdentifier {
    GUID set;
    uint32_t id;
};

struct FakeKsPin {
    uint32_t communication = KS_COMMUNICATION_SINK;
    uint32_t dataFlow = KS_DATAFLOW_IN;
    std::vector<KsIdentifier> interfaces = {{windows_ks::INTERFACESETID_STANDARD, 0}};
    std::vector<KsIdentifier> mediums = {{windows_ks::MEDIUMSETID_STANDARD, 0}};
    std::vector<GUID> subFormats = {windows_ks::SUBTYPE_PCM};  // one audio data range each
    std::wstring name = L"Pin";
    std::vector<uint32_t> failing;  // property ids whose requests fail
};

// Answers that fake drivers give later, each on a thread of its own, and the cancels that reach
// them: the filters' pending requests and the control devices' version requests.
class LateAnswers {
public:
    // A new event that a cancel of the device signals, for the context of the next answer.
    HANDLE cancelEvent(HANDLE device);
    void run(LPTHREAD_START_ROUTINE answer, void* context);
    // CancelIo: the requests pending on that device only.
    void cancel(HANDLE device);
    void cancelAll();
    // Lets every waiting driver go and waits until each has answered.
    void finish();

private:
    std::vector<HANDLE> threads_, cancels_;
    std::vector<HANDLE> cancelDevices_;  // the device of each cancel event
};

// An answer given instead of the one the pin description makes.
struct FakeKsAnswer {
    std::vector<uint8_t> bytes;
    int64_t sizeQuery = -1;  // what a size query reports; -1: the size of bytes
    int64_t returned = -1;   // what a full request reports as byte count; -1: the size of bytes
    bool fails = false;
};

enum FakeKsTiming {
    ANSWER_AT_ONCE,
    PEND_THEN_COMPLETE,     // completes after completeAfterMs
    PEND_UNTIL_CANCELLED,   // never completes on its own; a cancel completes it
    PEND_IGNORING_CANCEL,   // completes after completeAfterMs, cancelled or not
    // Does not return to the thread that asked (a driver waiting in its dispatch routine instead
    // of pending), whatever is cancelled, until the fake lets its held calls go; then answers.
    HOLD_THE_THREAD,
};

// Where the fakes hold calls that do not return: until the fakes let them go (at their end, or
// when a test asks), or for ever in a process that never lets them go. `storage` is memory the
// caller handed in (its path, say); a held call records the heap block that holds it, and counts
// it when that block was freed before the call returned (a worker's state counts as freed from
// its release on, as the fakes keep it aside). True when the call was let go.
bool holdCall(const void* storage, size_t bytes);
void letHeldCallsGo();
// The block of the process heap, still allocated, that holds [address, address + size): the one
// a caller's storage was taken from. Null when there is none.
const void* liveHeapBlock(const void* address, size_t size);

struct FakeKsFilter {
    std::wstring path;
    bool opens = true;
    std::vector<FakeKsPin> pins;
    bool pinTypesFail = false;
    int64_t pinTypes = -1;  // the pin type count answered; -1: the number of pins
    FakeKsTiming timing = ANSWER_AT_ONCE;
    DWORD completeAfterMs = 0;
    bool pinTypesAtOnce = false;  // the pin type count is answered at once, whatever the timing
    int answersAtOnce = 0;        // so are its first this many requests (a filter that stops later)
    int pendingRequests = -1;     // then this many requests keep the timing, the rest are answered
                                  // at once; -1: all of them
    bool openHolds = false;       // its open does not return (holdCall)
    int requestsSeen = 0;         // requests it was sent so far (counted by the fake)
    std::map<std::pair<uint32_t, uint32_t>, FakeKsAnswer> raw;  // (pin, property id)
};

// One member of KSCATEGORY_AUDIO, its device and its interface key.
struct FakeKsInterface {
    std::wstring path;        // its filter, if any, is the FakeKsFilter of the same path
    DWORD captureAlias = 0;   // alias flags in KSCATEGORY_CAPTURE; 0: no such alias
    DWORD renderAlias = 0;    // alias flags in KSCATEGORY_RENDER
    bool detailFails = false;
    bool hasInterfaceKey = true;
    bool hasInterfaceName = true;
    std::wstring interfaceName;  // the interface key's "FriendlyName"
    bool hasFriendlyName = true;
    std::wstring friendlyName;   // SPDRP_FRIENDLYNAME
    bool hasDriver = true;
    std::wstring driver = L"{4d36e96c-e325-11ce-bfc1-08002be10318}\\0000";  // SPDRP_DRIVER
    std::vector<std::wstring> hardwareIds;  // SPDRP_HARDWAREID
};

class FakeKs {
public:
    FakeKs();
    ~FakeKs();  // waits for late completions still to come, then puts Windows back
    FakeKs(const FakeKs&) = delete;
    FakeKs& operator=(const FakeKs&) = delete;

    FakeKsFilter& add(const std::wstring& path, int pinCount = 0, uint32_t dataFlow = KS_DATAFLOW_IN);
    // A listed interface with live aliases of the given directions, its names and hardware ID,
    // and a filter with one streaming pin of each of those directions.
    FakeKsInterface& addInterface(const std::wstring& path, const std::wstring& name, const std::string& hardwareId,
                                  bool capture, bool render);
    static std::vector<uint8_t> multipleItems(const std::vector<KsIdentifier>& items);
    static std::vector<uint8_t> dataRanges(const std::vector<GUID>& subFormats);

    std::vector<FakeKsFilter> filters;
    std::vector<FakeKsInterface> interfaces;
    bool classDevsFail = false;
    bool guardPages = false;  // answer blocks end at a no-access page
    bool threadsFail = false;  // no thread can be started
    DWORD threadExitMs = 0;    // a thread started ends this long after its work

    // Lets the held calls go and waits (at most the time given) until every thread started has
    // ended; false when some did not. Calls made after that are held again.
    bool endThreads(DWORD timeoutMs = 10000);

    // What the code under test did.
    int requests = 0;
    int cancels = 0;
    int openFilters = 0;
    int liveEvents = 0;
    int liveBlocks = 0;
    int lateWrites = 0;                      // completions that came after the wait gave up
    int threadsStarted = 0;                  // the walkers of the walks
    int threadHandles = 0;                   // their handles not closed
    volatile LONG threadsRunning = 0;        // started and not yet ended
    volatile LONG heldCalls = 0;             // calls held now (opens and requests of filters and
                                             // control devices alike)
    volatile LONG heldStorageFreed = 0;      // held calls that found the caller's storage freed
                                             // when they returned
    std::vector<const void*> heldStorage;    // the heap blocks the held calls were given
    int liveStates = 0;                      // workers' states allocated and not yet released
    // Released states are filled with a mark and kept aside until the fake ends; endThreads
    // counts those that were written after their release.
    int freedStatesWritten = 0;
    std::vector<const void*> outputBuffers;  // where the requests asked the driver to write
    std::vector<std::pair<uint32_t, uint32_t>> asked;  // (pin, property id) in order
    bool lowBitSet = true;                   // every OVERLAPPED event carried its low bit
    int openSets = 0;                        // device information sets not destroyed
    int openKeys = 0;                        // interface keys not closed

private:
    // Windows as it was.
    SavedTable<KsApi> savedKsApi_{g_ksApi};
    SavedTable<WorkerApi> savedWorkerApi_{g_workerApi};
    SavedTable<KsSetupApi> savedSetupApi_{g_ksSetupApi};
};
