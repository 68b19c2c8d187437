#include "base/worker.h"

#include "base/owners.h"

#include <string.h>

namespace {

// A thread of the work needs a few kilobytes of stack; it reserves no more than this.
const SIZE_T kWorkerStack = 64 * 1024;

const WorkerApi kReal = {CreateThread, CloseHandle, heapAllocateZeroed, heapRelease};

}  // namespace

// Laid out in front of the state, in the same block.
struct alignas(8) SharedWorkHeader {
    volatile LONG holders;  // the waiting thread while it holds on, and each running thread
    volatile LONG running;
    volatile LONG left;     // the waiting thread has let go
    HANDLE news;            // automatic reset
    void (*work)(void* state);
    // The state follows.
};

namespace {

typedef SharedWorkHeader WorkHeader;

void* stateOf(WorkHeader* header) { return header + 1; }
WorkHeader* headerOf(const void* state) { return const_cast<WorkHeader*>(static_cast<const WorkHeader*>(state) - 1); }

void letGo(WorkHeader* header) {
    if (InterlockedDecrement(&header->holders) != 0) return;
    CloseHandle(header->news);
    g_workerApi.releaseState(header);
}

DWORD WINAPI runWorker(void* parameter) {
    WorkHeader* header = static_cast<WorkHeader*>(parameter);
    header->work(stateOf(header));
    InterlockedDecrement(&header->running);
    SetEvent(header->news);
    letGo(header);
    return 0;
}

}  // namespace

WorkerApi g_workerApi = kReal;

DWORD tickIn(DWORD ms) { return GetTickCount() + ms; }

DWORD msUntil(DWORD deadline) {
    const DWORD left = deadline - GetTickCount();
    return LONG(left) > 0 ? left : 0;
}

DWORD earlierTick(DWORD a, DWORD b) { return LONG(a - b) < 0 ? a : b; }

SharedWork::SharedWork(size_t stateBytes, void (*work)(void* state)) : header_(NULL) {
    if (stateBytes > size_t(-1) - sizeof(WorkHeader)) return;
    WorkHeader* header = static_cast<WorkHeader*>(g_workerApi.allocateState(sizeof(WorkHeader) + stateBytes));
    if (!header) return;
    header->news = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!header->news) {
        g_workerApi.releaseState(header);
        return;
    }
    header->holders = 1;
    header->work = work;
    header_ = header;
}

SharedWork::~SharedWork() {
    if (!header_) return;
    InterlockedExchange(&header_->left, 1);
    letGo(header_);
}

void* SharedWork::state() const { return header_ ? stateOf(header_) : NULL; }

bool SharedWork::startWorker() {
    if (!header_) return false;
    InterlockedIncrement(&header_->holders);
    InterlockedIncrement(&header_->running);
    const HANDLE thread =
        g_workerApi.createThread(NULL, kWorkerStack, runWorker, header_, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (!thread) {
        InterlockedDecrement(&header_->running);
        InterlockedDecrement(&header_->holders);  // never the last: this owner still holds on
        return false;
    }
    g_workerApi.closeHandle(thread);
    return true;
}

LONG SharedWork::workersRunning() const { return header_ ? header_->running : 0; }

bool SharedWork::waitUntil(DWORD deadline) const {
    return header_ && WaitForSingleObject(header_->news, msUntil(deadline)) == WAIT_OBJECT_0;
}

void tellWorkNews(void* state) { SetEvent(headerOf(state)->news); }

bool workLeft(const void* state) { return headerOf(state)->left != 0; }

WorkEnd runWithDeadline(void (*work)(void* state), void* state, size_t bytes, DWORD ms) {
    const DWORD deadline = tickIn(ms);
    SharedWork shared(bytes, work);
    if (!shared.valid()) return WORK_NOT_STARTED;
    memcpy(shared.state(), state, bytes);
    if (!shared.startWorker()) return WORK_NOT_STARTED;
    while (shared.workersRunning() > 0)
        if (!shared.waitUntil(deadline)) break;
    if (shared.workersRunning() > 0) return WORK_LATE;
    memcpy(state, shared.state(), bytes);
    return WORK_DONE;
}
