#include "sources/ks/ks_filter_walk.h"

#include "base/device_request.h"
#include "base/owners.h"
#include "sources/ks/ks_property.h"

namespace {

// A pin walk needs a few kilobytes of stack; a thread of its own reserves no more than this.
const SIZE_T kWalkerStack = 64 * 1024;

// What the threads of one walk share: the jobs, the next one to take, and the threads started.
struct Walk {
    KsFilterJob* jobs;
    LONG count;
    volatile LONG next;
    CRITICAL_SECTION lock;  // over the thread list
    HANDLE* threads;        // at most one per job: a job hands on at most once
    uint32_t threadCount;
};

struct JobContext {
    Walk* walk;
    KsFilterJob* job;
};

void walkJobs(Walk* walk);

DWORD WINAPI walkOn(void* walk) {
    walkJobs(static_cast<Walk*>(walk));
    return 0;
}

// A request of the job's filter pends. Its thread stays to wait for it and to cancel it; the
// first time, a new thread takes the jobs still waiting. Should no thread start, the jobs are
// still taken, later, by the threads already walking.
void handOn(void* context) {
    const JobContext* c = static_cast<const JobContext*>(context);
    if (c->job->handedOn) return;
    c->job->handedOn = true;
    Walk* walk = c->walk;
    if (!walk->threads || walk->next >= walk->count) return;  // no room to keep one, or nothing left
    EnterCriticalSection(&walk->lock);
    const HANDLE thread =
        g_ksApi.createThread(NULL, kWalkerStack, walkOn, walk, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (thread) walk->threads[walk->threadCount++] = thread;
    LeaveCriticalSection(&walk->lock);
}

// Recording pins first, then playback pins, as the pass lists them.
void walkFilter(Walk* walk, KsFilterJob* job) {
    JobContext context = {walk, job};
    const RequestPendingHook hook = {handOn, &context};
    const Direction order[] = {DIRECTION_RECORDING, DIRECTION_PLAYBACK};
    for (const Direction direction : order) {
        if (!job->wanted[direction] || job->silent) continue;
        const OpenKsFilter opened(job->path, job->name);
        KsFilter* filter = opened.get();
        if (!filter) continue;
        filter->onPending = &hook;
        job->listed[direction] = collectStreamingPins(filter, direction) == 0 && filter->pinCount > 0;
        if (filter->silent) job->silent = true;
    }
}

void walkJobs(Walk* walk) {
    for (;;) {
        const LONG i = InterlockedIncrement(&walk->next) - 1;
        if (i >= walk->count) return;
        walkFilter(walk, &walk->jobs[i]);
    }
}

}  // namespace

void walkKsFilters(KsFilterJob* jobs, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        jobs[i].listed[DIRECTION_PLAYBACK] = jobs[i].listed[DIRECTION_RECORDING] = false;
        jobs[i].silent = jobs[i].handedOn = false;
    }
    if (count == 0) return;
    HeapBlock threads(count * sizeof(HANDLE));  // without it the jobs are walked one by one
    Walk walk;
    walk.jobs = jobs;
    walk.count = LONG(count);
    walk.next = 0;
    walk.threads = threads.as<HANDLE>();
    walk.threadCount = 0;
    InitializeCriticalSection(&walk.lock);

    walkJobs(&walk);
    // Every thread started is in the list before the thread that started it ends: once the
    // list is walked to its end, no thread of the walk is left.
    for (uint32_t i = 0;; ++i) {
        EnterCriticalSection(&walk.lock);
        const HANDLE thread = walk.threads && i < walk.threadCount ? walk.threads[i] : NULL;
        LeaveCriticalSection(&walk.lock);
        if (!thread) break;
        g_ksApi.request.waitForSingleObject(thread, INFINITE);
        g_ksApi.request.closeHandle(thread);
    }
    DeleteCriticalSection(&walk.lock);
}
