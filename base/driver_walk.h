// Devices asked on worker threads, the walkers of a walk, so that whatever a driver does (leave a
// request pending, sit on a request instead of pending it, never return from an open or a close)
// it holds no thread but the walker that asked it. The thread that runs the walk makes no call
// into a driver: it hands the jobs out and watches the walkers' calls, each of which has the same
// deadline, two request waits after it was made (a request that pends is cancelled by its walker
// after one, and waited for one more). While jobs wait, a walker whose call pends, or holds it
// longer than DRIVER_HAND_ON_MS, counts as held, and the walk keeps as many free walkers as are
// held (at least one), so the calls of drivers that do not answer are all made within moments of
// each other and their deadlines fall together: the walk waits about once, however many there
// are. A job whose call misses its deadline is given up and left to its walker, and so is a job
// whose calls, each answered in time, add up to as long (a driver that answers slowly many times);
// a walk with nothing to wait for runs on one walker.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "base/device_request.h"
#include "base/worker.h"

// How long one call into a driver may take: a request that pends is cancelled after one wait and
// waited for one more; any other call gets as long.
const DWORD DRIVER_CALL_LIMIT_MS = 2 * DEVICE_REQUEST_WAIT_MS;
// A call that holds its walker this long lets a new walker go on with the jobs still waiting.
const DWORD DRIVER_HAND_ON_MS = 50;

// A job's place in its walk, to which its work tells its calls into the driver.
struct DriverJob;

// What a job does, on a walker: asks its device and writes what it found into data, the job's
// part of the walk's state.
typedef void (*DriverJobWork)(DriverJob* job, void* data);

// For a job's work: what it has found so far counts, whatever becomes of the job afterwards (a job
// given up later keeps it; see DriverWalk::steps). False when the walk has given the job up.
bool driverJobStep(DriverJob* job);

// One call into a job's driver, told to the walk for as long as it lasts. Outside a walk (no job)
// it tells nobody and is always wanted.
class DriverCall {
public:
    explicit DriverCall(DriverJob* job);
    ~DriverCall();
    DriverCall(const DriverCall&) = delete;
    DriverCall& operator=(const DriverCall&) = delete;

    // false: the walk has given the job up, so the call is not to be made (a close still is).
    bool wanted() const { return wanted_; }
    // For a request of the call: tells the walk when it pends.
    const RequestPendingHook* pendingHook() const { return job_ ? &hook_ : NULL; }

private:
    DriverJob* job_;
    bool wanted_;
    RequestPendingHook hook_;
};

class DriverWalk;

// Jobs that another part of the program adds to a walk it does not run (a collection pass asks
// the drivers' version requests in the walk of its filters, so that both share one deadline).
struct DriverJobs {
    uint32_t maxJobs;
    size_t maxDataBytes;  // the data of those jobs together, each rounded up to 8 bytes
    void (*add)(DriverWalk* walk, void* context);         // before the walk runs
    void (*take)(const DriverWalk& walk, void* context);  // once it is over
    void* context;
};

class DriverWalk {
public:
    // Room for maxJobs jobs whose data takes at most dataBytes (each rounded up to 8 bytes).
    DriverWalk(uint32_t maxJobs, size_t dataBytes);
    // Leaves the jobs given up to their walkers, which keep the walk's state until they return.
    ~DriverWalk() {}
    DriverWalk(const DriverWalk&) = delete;
    DriverWalk& operator=(const DriverWalk&) = delete;

    // A new job, asked after those added before: its data (zero-filled, for the caller to fill
    // in before the walk runs), or null when the walk is full or has no memory.
    void* addJob(DriverJobWork work, size_t bytes);
    uint32_t jobCount() const;
    // Walks every job; returns when each has finished, been given up, or cannot be asked (no
    // thread could be started while it waited).
    void run();
    // Once the walk is over: the job finished. Its data holds what it found only then; what the
    // job was given before the walk can be read either way.
    bool finished(uint32_t job) const;
    // The steps the job took (driverJobStep) before it finished or was given up: what it wrote
    // into its data before its last step can be read either way.
    uint32_t steps(uint32_t job) const;
    const void* data(uint32_t job) const;

private:
    SharedWork work_;
};

