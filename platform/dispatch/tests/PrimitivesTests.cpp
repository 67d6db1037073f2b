#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include "platform/dispatch/Group.h"
#include "platform/dispatch/Once.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/dispatch/tests/DispatchTest.h"

namespace dispatch {
namespace {

using dispatch_Primitives = DispatchTest;

TEST_F(dispatch_Primitives, GroupNotifiesOnlyAfterEveryLeave) {
    Group group;
    std::atomic<int> left{0};
    int leftWhenNotified = -1;
    for (int i = 0; i < 3; ++i) group.enter();
    group.notify(Queue::main(), [&] { leftWhenNotified = left; });
    EXPECT_FALSE(group.wait(0));

    auto workers = Queue::concurrent("test.group-workers");
    for (int i = 0; i < 3; ++i) {
        workers->async([&] {
            ++left;
            group.leave();
        });
    }
    ASSERT_TRUE(loop().runUntil([&] { return leftWhenNotified >= 0; }, kSafetyBound));
    EXPECT_EQ(leftWhenNotified, 3);
    EXPECT_TRUE(group.wait(0));
}

TEST_F(dispatch_Primitives, NotifyOnAnEmptyGroupStillRunsLater) {
    Group group;
    bool notified = false;
    group.notify(Queue::main(), [&] { notified = true; });
    EXPECT_FALSE(notified);
    loop().pump();
    EXPECT_TRUE(notified);
}

TEST_F(dispatch_Primitives, SemaphoreCountsSignals) {
    Semaphore semaphore(2);
    EXPECT_TRUE(semaphore.wait(0));
    EXPECT_TRUE(semaphore.wait(0));
    EXPECT_FALSE(semaphore.wait(0));
    semaphore.signal();
    EXPECT_TRUE(semaphore.wait(0));
}

TEST_F(dispatch_Primitives, SemaphoreWakesAWaiterOnAnotherThread) {
    Semaphore request, reply;
    Queue::global()->async([&] {
        request.wait();
        reply.signal();
    });
    request.signal();
    EXPECT_TRUE(reply.wait(kSafetyBound));
}

TEST_F(dispatch_Primitives, OnceRunsExactlyOnceAcrossThreadsAndCallersSeeItsEffects) {
    constexpr int kThreads = 16;
    Once once;
    std::atomic<int> runs{0};
    int value = 0;  // written by the once block only
    std::vector<int> seen(kThreads, -1);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            once.call([&] {
                ++runs;
                value = 42;
            });
            seen[static_cast<std::size_t>(i)] = value;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(seen, std::vector<int>(kThreads, 42));
}

} // namespace
} // namespace dispatch
