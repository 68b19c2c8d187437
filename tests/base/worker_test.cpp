#include <gtest/gtest.h>

#include <string.h>

#include "base/driver_walk.h"
#include "base/worker.h"
#include "support/fake_ks.h"

namespace {

// What the test's worker works on: it waits to be let go, then fills its bytes.
struct Errand {
    HANDLE go;
    DWORD waitMs;
    uint8_t bytes[256];
};

void runErrand(void* state) {
    Errand* errand = static_cast<Errand*>(state);
    WaitForSingleObject(errand->go, errand->waitMs);
    memset(errand->bytes, 0xA5, sizeof(errand->bytes));
    tellWorkNews(state);
}

class WorkerTest : public testing::Test {
protected:
    void SetUp() override { go = CreateEventA(NULL, TRUE, FALSE, NULL); }
    void TearDown() override { CloseHandle(go); }
    FakeKs threads;  // counts the threads, and waits for them at its end
    HANDLE go;
};

// The waiting thread gives up at its deadline and lets go; the worker, let go later, writes into
// the state it still holds, which is freed once it returns, not before.
TEST_F(WorkerTest, AWorkerLeftBehindKeepsItsStateUntilItReturns) {
    SharedWork* work = new SharedWork(sizeof(Errand), runErrand);
    ASSERT_TRUE(work->valid());
    Errand* errand = static_cast<Errand*>(work->state());
    errand->go = go;
    errand->waitMs = INFINITE;
    ASSERT_TRUE(work->startWorker());
    EXPECT_EQ(1, work->workersRunning());
    const DWORD start = GetTickCount();
    EXPECT_FALSE(work->waitUntil(tickIn(300)));
    const DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 290u);
    EXPECT_LT(waited, 450u);

    EXPECT_EQ(1, threads.liveStates);
    delete work;
    EXPECT_EQ(1, threads.liveStates) << "freed while its worker still held it";
    SetEvent(go);
    ASSERT_TRUE(threads.endThreads());
    EXPECT_EQ(0, threads.liveStates) << "not freed when its worker returned";
    EXPECT_EQ(0, threads.freedStatesWritten) << "written after it was freed";
    EXPECT_EQ(0, threads.threadHandles);
}

// News wakes the waiting thread long before its deadline; a worker that returned is not running.
TEST_F(WorkerTest, NewsWakesTheWaitingThread) {
    SharedWork work(sizeof(Errand), runErrand);
    static_cast<Errand*>(work.state())->waitMs = 0;
    const DWORD start = GetTickCount();
    ASSERT_TRUE(work.startWorker());
    EXPECT_TRUE(work.waitUntil(tickIn(5000)));
    EXPECT_LT(GetTickCount() - start, 1000u);
    ASSERT_TRUE(threads.endThreads());
    EXPECT_EQ(0, work.workersRunning());
}

// A walk whose one walker is held in its first job while no other thread can start: the jobs it
// never took are given up at the walk's end, so the walker, let go afterwards, asks nothing more.
HANDLE g_release;
volatile LONG g_jobsRun = 0;
HANDLE(WINAPI* g_countedStart)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
HANDLE WINAPI onlyTheFirstThread(LPSECURITY_ATTRIBUTES a, SIZE_T b, LPTHREAD_START_ROUTINE c, LPVOID d, DWORD e, LPDWORD f) {
    static LONG started = 0;
    if (InterlockedIncrement(&started) > 1) return NULL;
    return g_countedStart(a, b, c, d, e, f);
}

TEST_F(WorkerTest, JobsNeverTakenAreGivenUpAtTheWalksEnd) {
    g_release = go;
    g_countedStart = g_workerApi.createThread;
    g_workerApi.createThread = onlyTheFirstThread;
    {
        DriverWalk walk(3, 3 * 8);
        for (int i = 0; i < 3; ++i)
            *static_cast<int*>(walk.addJob(
                [](DriverJob* job, void* data) {
                    const DriverCall call(job);
                    InterlockedIncrement(&g_jobsRun);
                    if (*static_cast<int*>(data) == 0) WaitForSingleObject(g_release, INFINITE);
                },
                sizeof(int))) = i;
        walk.run();
        EXPECT_FALSE(walk.finished(1));
        SetEvent(go);
        Sleep(300);  // the walker comes back while the walk still lives
        EXPECT_EQ(1, g_jobsRun) << "a job was asked after the walk had ended";
    }
    ASSERT_TRUE(threads.endThreads());
}

TEST(Ticks, DeadlinesHoldAcrossTheWrapOfTheCount) {
    EXPECT_EQ(5u, earlierTick(5u, 10u));
    EXPECT_EQ(0xFFFFFFF0u, earlierTick(0xFFFFFFF0u, 0x10u));  // just before the wrap comes first
    EXPECT_EQ(0u, msUntil(GetTickCount() - 1));
    EXPECT_GE(msUntil(tickIn(1000)), 990u);
}

}  // namespace
