#include "sources/ks/ks_filter_walk.h"

#include "base/device_request.h"
#include "base/owners.h"
#include "sources/ks/ks_property.h"

namespace {

// A pin walk needs a few kilobytes of stack; a thread of its own reserves no more than this.
const SIZE_T kWalkerStack = 64 * 1024;

// What the threads of one walk share: the jobs, the next one to take, and how many threads are
// still taking jobs (the caller's included), the last of which lets the caller go.
struct Walk {
    KsFilterJob* jobs;
    LONG count;
    volatile LONG next;
    volatile LONG walking;
    HANDLE lastOneOut;  // none: no thread can be started
};

struct JobContext {
    Walk* walk;
    KsFilterJob* job;
};

void walkJobs(Walk* walk);

// The walk is not waited for by the end of its threads: Windows ends a thread only once the
// requests it sent are done, and a request given up may never be. The thread that ends the
// walk says so instead, and touches nothing of the walk after that.
DWORD WINAPI walkOn(void* parameter) {
    Walk* walk = static_cast<Walk*>(parameter);
    walkJobs(walk);
    const HANDLE lastOneOut = walk->lastOneOut;
    if (InterlockedDecrement(&walk->walking) == 0) SetEvent(lastOneOut);
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
    if (!walk->lastOneOut || walk->next >= walk->count) return;
    InterlockedIncrement(&walk->walking);
    const HANDLE thread =
        g_ksApi.createThread(NULL, kWalkerStack, walkOn, walk, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
    if (thread) g_ksApi.request.closeHandle(thread);
    else InterlockedDecrement(&walk->walking);  // never the last: this thread is still walking
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
    // Without the event the jobs are walked one after another.
    Handle lastOneOut(g_ksApi.request.createEventA(NULL, TRUE, FALSE, NULL), g_ksApi.request.closeHandle);
    Walk walk;
    walk.jobs = jobs;
    walk.count = LONG(count);
    walk.next = 0;
    walk.walking = 1;
    walk.lastOneOut = lastOneOut.valid() ? lastOneOut.get() : NULL;

    walkJobs(&walk);
    if (InterlockedDecrement(&walk.walking) != 0) g_ksApi.request.waitForSingleObject(walk.lastOneOut, INFINITE);
}
