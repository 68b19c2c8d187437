// Work on threads that a driver may hold for ever. Its state is one heap block shared by the
// threads and the one thread that waits for them, and the last of them to let go frees it: a
// thread that comes back after it was left writes only into memory that is still its own. The
// waiting thread waits for news of the work until a deadline, never longer, and never for a
// thread's end: Windows keeps a thread until the requests it sent are done, and a thread held
// inside a driver may never return. Such a thread costs its stack, its handles and its hold on
// the state, nothing else; the process still ends when its main thread ends.
#pragma once

#include <windows.h>
#include <stddef.h>

// The thread calls of the work and the memory of its state: the real ones; tests count the
// threads, make them end a while after their work or refuse them, and keep freed states aside to
// see that nobody writes into them.
struct WorkerApi {
    HANDLE(WINAPI* createThread)(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                                 LPVOID parameter, DWORD flags, LPDWORD threadId);
    BOOL(WINAPI* closeHandle)(HANDLE handle);  // the thread's handle, closed as soon as it starts
    void* (*allocateState)(size_t bytes);      // zero-filled
    void (*releaseState)(void* block);
};
extern WorkerApi g_workerApi;

// The tick count the given number of milliseconds from now, and the milliseconds left until a
// tick count (0 once it has come); both hold across the wrap of the count.
DWORD tickIn(DWORD ms);
DWORD msUntil(DWORD deadline);
// The earlier of two tick counts less than half the count's range apart.
DWORD earlierTick(DWORD a, DWORD b);

struct SharedWorkHeader;

// The state of some work, held by the thread that waits for it (this owner) and by each thread
// of the work while it runs.
class SharedWork {
public:
    // stateBytes zero-filled bytes, which every thread of the work runs `work` on.
    SharedWork(size_t stateBytes, void (*work)(void* state));
    // Lets go: threads still running keep the state, see workLeft, and free it when the last
    // of them returns.
    ~SharedWork();
    SharedWork(const SharedWork&) = delete;
    SharedWork& operator=(const SharedWork&) = delete;

    bool valid() const { return header_ != NULL; }  // false: no memory or no event
    void* state() const;
    // One more thread of the work; false when none could be started.
    bool startWorker();
    // Threads started and not yet returned.
    LONG workersRunning() const;
    // Waits until a thread of the work tells news (or returns), or until the deadline: true for
    // news, false at the deadline.
    bool waitUntil(DWORD deadline) const;

private:
    SharedWorkHeader* header_;
};

// Runs work(state) on a thread of its own and waits for it until `ms` have passed. WORK_DONE: it
// returned in time, and the state (`bytes`, copied to the thread and back) holds what it found.
// Otherwise the thread (if one started) keeps its own copy, and what it does later reaches
// nobody. For a single call into Windows that can wait (a class installer, a service start).
enum WorkEnd { WORK_DONE, WORK_LATE, WORK_NOT_STARTED };
WorkEnd runWithDeadline(void (*work)(void* state), void* state, size_t bytes, DWORD ms);

// For the threads of the work, given its state: wake the waiting thread, and ask whether it has
// let go (then nobody reads what the work finds any more).
void tellWorkNews(void* state);
bool workLeft(const void* state);
