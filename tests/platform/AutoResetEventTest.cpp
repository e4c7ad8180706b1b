#include <gtest/gtest.h>

#include <thread>

#include "platform/AutoResetEvent.h"
#include "platform/Clock.h"
#include "platform/WorkerThread.h"

namespace orbisight {
namespace {

TEST(AutoResetEvent, SignalBeforeWaitIsRememberedAndConsumedOnce) {
    AutoResetEvent event;
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(10));
}

TEST(AutoResetEvent, WaitTimesOutWithoutSignal) {
    AutoResetEvent event;
    uint64_t start = TickCountMs();
    EXPECT_FALSE(event.Wait(50));
    EXPECT_GE(TickCountMs() - start, 45u);
}

TEST(WorkerThread, StopsThroughItsEventWellWithinTheBound) {
    WorkerThread worker;
    std::atomic<int> passes{0};
    worker.Start("test/worker", [&](AutoResetEvent& stop) {
        while (!stop.Wait(10000)) {
            ++passes;
        }
    });
    uint64_t start = TickCountMs();
    EXPECT_TRUE(worker.Stop(1400));
    EXPECT_LT(TickCountMs() - start, 500u);
    EXPECT_EQ(passes.load(), 0);
    EXPECT_FALSE(worker.Running());
}

TEST(WorkerThread, JoinReportsAMissedBoundButStillJoins) {
    WorkerThread worker;
    worker.Start("test/slow", [](AutoResetEvent&) { SleepMs(300); });
    EXPECT_FALSE(worker.Stop(50));
    EXPECT_FALSE(worker.Running());
}

}  // namespace
}  // namespace orbisight
