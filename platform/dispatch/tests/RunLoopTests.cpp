#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/dispatch/tests/DispatchTest.h"

namespace dispatch {
namespace {

using dispatch_RunLoop = DispatchTest;

TEST_F(dispatch_RunLoop, OnlyTheClaimedThreadIsMain) {
    EXPECT_TRUE(RunLoop::isMainThread());
    std::atomic<bool> backgroundIsMain{true};
    Semaphore checked;
    Queue::global()->async([&] {
        backgroundIsMain = RunLoop::isMainThread();
        checked.signal();
    });
    ASSERT_TRUE(checked.wait(kSafetyBound));
    EXPECT_FALSE(backgroundIsMain);
}

TEST_F(dispatch_RunLoop, RunUntilReportsAPredicateThatNeverHolds) {
    int pumps = 0;
    EXPECT_FALSE(loop().runUntil([&] { return ++pumps < 0; }, 0));
    EXPECT_EQ(pumps, 1);
}

TEST_F(dispatch_RunLoop, StopFromAnotherThreadEndsRunFor) {
    // The stop is sent from inside the loop so it cannot arrive before runFor starts.
    Queue::main()->async([] { Queue::global()->async([] { RunLoop::main().stop(); }); });
    const auto start = std::chrono::steady_clock::now();
    loop().runFor(kSafetyBound);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::duration<double>(kSafetyBound));
}

// A GUI host replaces the driver; the loop must wake and wait only through it. A burst of blocks
// needs one wake-up, since one pump runs them all; once the queue is drained, the next block must
// wake the loop again.
TEST_F(dispatch_RunLoop, WaitingAndWakingGoThroughTheDriver) {
    struct CountingDriver : RunLoopDriver {
        std::atomic<int> wakes{0};
        std::atomic<int> waits{0};
        void wake() override { ++wakes; }
        void waitUntil(std::chrono::steady_clock::time_point) override { ++waits; }
    };
    auto driver = std::make_shared<CountingDriver>();
    loop().setDriver(driver);

    int ran = 0;
    for (int i = 0; i < 3; ++i) Queue::main()->async([&] { ++ran; });
    EXPECT_EQ(driver->wakes, 1);
    EXPECT_TRUE(loop().runUntil([&] { return driver->waits == 1; }, kSafetyBound));
    EXPECT_EQ(ran, 3);

    Queue::main()->async([&] { ++ran; });
    EXPECT_EQ(driver->wakes, 2);
    EXPECT_EQ(loop().pump(), 1u);
    EXPECT_EQ(ran, 4);

    loop().setDriver(nullptr);
}

} // namespace
} // namespace dispatch
