#include "base/driver_walk.h"

namespace {

// A job's state: its phase in the low byte, the steps it took above it.
enum : LONG {
    JOB_WAITING = 0,
    JOB_WALKING = 1,
    JOB_DONE = 2,
    JOB_LEFT = 3,  // given up, or never asked: nobody reads what it finds any more
    JOB_PHASE = 0xFF,
    JOB_STEP = 0x100,
};

LONG phaseOf(LONG state) { return state & JOB_PHASE; }

// Moves a job from one phase to another, keeping its steps; false when it was not in `from`.
bool moveJob(volatile LONG* state, LONG from, LONG to) {
    for (;;) {
        const LONG now = *state;
        if (phaseOf(now) != from) return false;
        if (InterlockedCompareExchange(state, (now & ~JOB_PHASE) | to, now) == now) return true;
    }
}

size_t roundUp(size_t bytes) { return (bytes + 7u) & ~size_t(7); }

struct WalkState;

}  // namespace

// Written by the walker inside the job (since, pended), read by the thread that runs the walk;
// the state moves by compare-exchange only, so a job ends either done or given up, never both,
// and a step counts only if it was taken while the job was walked.
struct DriverJob {
    WalkState* walk;
    DriverJobWork work;
    size_t dataOffset;  // from the start of the walk's state
    volatile LONG state;
    volatile LONG walkerInside;
    volatile LONG pended;   // the call under way is a request that pended
    volatile DWORD since;   // tick count of the walker's last call begun or ended in the job
    volatile DWORD begun;   // tick count of the job's taking: all its calls together have one deadline too
};

namespace {

struct WalkState {
    uint32_t maxJobs;
    uint32_t jobCount;
    size_t dataStart;  // from the start of the state
    size_t dataEnd;
    size_t dataUsed;
    volatile LONG next;  // the next job a walker takes
    // The jobs follow, then their data.
};

DriverJob* jobsOf(WalkState* walk) { return reinterpret_cast<DriverJob*>(walk + 1); }
uint8_t* dataOf(WalkState* walk, const DriverJob& job) { return reinterpret_cast<uint8_t*>(walk) + job.dataOffset; }

// A walker: takes the next job until none is left or the walk is over.
void walkJobs(void* state) {
    WalkState* walk = static_cast<WalkState*>(state);
    while (!workLeft(walk)) {
        const LONG taken = InterlockedIncrement(&walk->next) - 1;
        if (taken >= LONG(walk->jobCount)) return;
        DriverJob& job = jobsOf(walk)[taken];
        job.since = job.begun = GetTickCount();
        InterlockedExchange(&job.walkerInside, 1);
        if (moveJob(&job.state, JOB_WAITING, JOB_WALKING)) {
            job.work(&job, dataOf(walk, job));
            moveJob(&job.state, JOB_WALKING, JOB_DONE);
        }
        InterlockedExchange(&job.walkerInside, 0);
    }
}

// The walk's whole state; more than any block can be when the numbers are absurd.
size_t walkBytes(uint32_t maxJobs, size_t dataBytes) {
    const size_t limit = size_t(1) << 30;
    if (maxJobs > limit / sizeof(DriverJob) || dataBytes > limit) return size_t(-1);
    return roundUp(sizeof(WalkState) + maxJobs * sizeof(DriverJob)) + roundUp(dataBytes);
}

void callPended(void* context) {
    DriverJob* job = static_cast<DriverJob*>(context);
    job->pended = 1;
    tellWorkNews(job->walk);
}

}  // namespace

bool driverJobStep(DriverJob* job) {
    for (;;) {
        const LONG now = job->state;
        if (phaseOf(now) != JOB_WALKING) return false;
        if (InterlockedCompareExchange(&job->state, now + JOB_STEP, now) == now) return true;
    }
}

DriverCall::DriverCall(DriverJob* job) : job_(job), wanted_(true) {
    hook_.pending = callPended;
    hook_.context = job;
    if (!job) return;
    job->since = GetTickCount();
    wanted_ = phaseOf(job->state) == JOB_WALKING;
}

DriverCall::~DriverCall() {
    if (!job_) return;
    job_->pended = 0;
    job_->since = GetTickCount();
}

DriverWalk::DriverWalk(uint32_t maxJobs, size_t dataBytes) : work_(walkBytes(maxJobs, dataBytes), walkJobs) {
    WalkState* walk = static_cast<WalkState*>(work_.state());
    if (!walk) return;
    walk->maxJobs = maxJobs;
    walk->dataStart = roundUp(sizeof(WalkState) + maxJobs * sizeof(DriverJob));
    walk->dataEnd = walk->dataStart + roundUp(dataBytes);
    walk->dataUsed = walk->dataStart;
}

void* DriverWalk::addJob(DriverJobWork work, size_t bytes) {
    WalkState* walk = static_cast<WalkState*>(work_.state());
    if (!walk || walk->jobCount >= walk->maxJobs || roundUp(bytes) > walk->dataEnd - walk->dataUsed) return NULL;
    DriverJob& job = jobsOf(walk)[walk->jobCount++];
    job.walk = walk;
    job.work = work;
    job.dataOffset = walk->dataUsed;
    walk->dataUsed += roundUp(bytes);
    return dataOf(walk, job);
}

uint32_t DriverWalk::jobCount() const {
    const WalkState* walk = static_cast<const WalkState*>(work_.state());
    return walk ? walk->jobCount : 0;
}

void DriverWalk::run() {
    WalkState* walk = static_cast<WalkState*>(work_.state());
    if (!walk || walk->jobCount == 0) return;
    DriverJob* jobs = jobsOf(walk);
    const LONG count = LONG(walk->jobCount);
    for (;;) {
        const DWORD now = GetTickCount();
        DWORD wake = now + DRIVER_HAND_ON_MS;  // walkers between calls tell nothing: look again then
        const LONG taken = walk->next < count ? walk->next : count;
        LONG held = 0;          // walkers that cannot take a waiting job now
        bool underWay = false;  // a job taken that may still finish
        for (LONG i = 0; i < taken; ++i) {
            DriverJob& job = jobs[i];
            const LONG state = phaseOf(job.state);
            if (state == JOB_DONE) continue;
            if (state == JOB_LEFT) {
                if (job.walkerInside) ++held;
                continue;
            }
            if (state != JOB_WALKING || !job.walkerInside) {
                underWay = true;  // taken a moment ago
                continue;
            }
            const DWORD spent = now - job.since;
            // A call that takes too long, or a driver whose answers, each in time, add up to as
            // long (the job's calls share the deadline of its first): the job is given up, unless
            // it finished meanwhile; either way it is settled.
            if (LONG(now - job.begun) >= LONG(DRIVER_CALL_LIMIT_MS)) {
                if (moveJob(&job.state, JOB_WALKING, JOB_LEFT)) ++held;
                continue;
            }
            underWay = true;
            wake = earlierTick(wake, job.begun + DRIVER_CALL_LIMIT_MS);
            if (job.pended || LONG(spent) >= LONG(DRIVER_HAND_ON_MS)) ++held;
            else wake = earlierTick(wake, job.since + DRIVER_HAND_ON_MS);
        }
        const LONG waiting = count - taken;
        // As many walkers free to take the jobs still waiting as there are held, and at least
        // one: drivers that hold calls one after another are found in a few rounds, not one
        // round each.
        LONG wanted = held > 1 ? held : 1;
        if (wanted > waiting) wanted = waiting;
        bool refused = false;
        for (LONG free = work_.workersRunning() - held; free < wanted && !refused; ++free)
            refused = !work_.startWorker();
        if (!underWay && (!waiting || (refused && work_.workersRunning() - held <= 0))) break;
        work_.waitUntil(wake);
    }
    // What is not done now never will be, for this walk: a walker that comes back takes nothing
    // more, and what it still writes goes into the state it holds.
    for (LONG i = 0; i < count; ++i) {
        moveJob(&jobs[i].state, JOB_WAITING, JOB_LEFT);
        moveJob(&jobs[i].state, JOB_WALKING, JOB_LEFT);
    }
}

bool DriverWalk::finished(uint32_t job) const {
    WalkState* walk = static_cast<WalkState*>(work_.state());
    return walk && job < walk->jobCount && phaseOf(jobsOf(walk)[job].state) == JOB_DONE;
}

uint32_t DriverWalk::steps(uint32_t job) const {
    WalkState* walk = static_cast<WalkState*>(work_.state());
    return walk && job < walk->jobCount ? uint32_t(jobsOf(walk)[job].state) / JOB_STEP : 0;
}

const void* DriverWalk::data(uint32_t job) const {
    WalkState* walk = static_cast<WalkState*>(work_.state());
    return walk && job < walk->jobCount ? dataOf(walk, jobsOf(walk)[job]) : NULL;
}
