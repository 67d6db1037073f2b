#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Group.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/dispatch/Timer.h"
#include "platform/dispatch/tests/DispatchTest.h"

namespace dispatch {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<int> upTo(int n) {
    std::vector<int> v(static_cast<std::size_t>(n));
    std::iota(v.begin(), v.end(), 0);
    return v;
}

using dispatch_Queue = DispatchTest;

TEST_F(dispatch_Queue, SerialQueueRunsAsyncAndSyncBlocksInOrderOneAtATime) {
    auto queue = Queue::serial("test.serial");
    std::vector<int> order;  // touched only by the queue's blocks
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 200; ++i) {
        const auto block = [&, i] {
            if (++inside > 1) overlapped = true;
            order.push_back(i);
            --inside;
        };
        // Every tenth block is a sync, which must wait for the asyncs before it.
        if (i % 10 == 9) {
            queue->sync(block);
        } else {
            queue->async(block);
        }
    }
    queue->sync([] {});
    EXPECT_EQ(order, upTo(200));
    EXPECT_FALSE(overlapped);
}

TEST_F(dispatch_Queue, MainQueueRunsOnlyWhenPumpedInFifoOrder) {
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) Queue::main()->async([&, i] { order.push_back(i); });
    Queue::main()->async([&] { Queue::main()->async([&] { order.push_back(3); }); });
    EXPECT_TRUE(order.empty());

    EXPECT_EQ(loop().pump(), 5u);
    EXPECT_EQ(order, upTo(4));
}

TEST_F(dispatch_Queue, MainQueueKeepsOrderOfBlocksPostedFromAnotherThread) {
    std::vector<int> order;
    bool finished = false;
    Queue::serial("test.poster")->async([&] {
        for (int i = 0; i < 50; ++i) Queue::main()->async([&, i] { order.push_back(i); });
        Queue::main()->async([&] { finished = true; });
    });
    ASSERT_TRUE(loop().runUntil([&] { return finished; }, kSafetyBound));
    EXPECT_EQ(order, upTo(50));
}

TEST_F(dispatch_Queue, SyncOntoMainRunsInlineOnTheMainThread) {
    bool ran = false;
    Queue::main()->sync([&] { ran = true; });
    EXPECT_TRUE(ran);

    bool nestedRan = false;
    Queue::main()->async([&] { Queue::main()->sync([&] { nestedRan = true; }); });
    loop().pump();
    EXPECT_TRUE(nestedRan);
}

TEST_F(dispatch_Queue, SyncOntoMainFromAnotherThreadWaitsForTheLoop) {
    bool ranOnMain = false;
    std::thread worker([&] { Queue::main()->sync([&] { ranOnMain = RunLoop::isMainThread(); }); });
    EXPECT_TRUE(loop().runUntil([&] { return ranOnMain; }, kSafetyBound));
    worker.join();
}

TEST_F(dispatch_Queue, SyncOntoSerialQueueFromItselfAbortsInsteadOfHanging) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto queue = Queue::serial("test.reentrant");
            queue->sync([&] { queue->sync([] {}); });
        },
        "sync onto serial queue 'test.reentrant'.*would deadlock");
}

// Two blocks that each wait for the other can only both finish if they run side by side.
TEST_F(dispatch_Queue, ConcurrentAndGlobalQueuesRunBlocksSideBySide) {
    const std::vector<std::shared_ptr<Queue>> queues{
        Queue::concurrent("test.concurrent"),      Queue::global(QoS::userInteractive),
        Queue::global(QoS::userInitiated),         Queue::global(QoS::default_),
        Queue::global(QoS::utility),               Queue::global(QoS::background),
    };
    for (const auto& queue : queues) {
        SCOPED_TRACE(queue->label());
        Semaphore first, second;
        std::atomic<bool> firstMet{false}, secondMet{false};
        Group done;
        done.enter();
        done.enter();
        queue->async([&] {
            first.signal();
            secondMet = second.wait(kSafetyBound);
            done.leave();
        });
        queue->async([&] {
            second.signal();
            firstMet = first.wait(kSafetyBound);
            done.leave();
        });
        ASSERT_TRUE(done.wait(3 * kSafetyBound));
        EXPECT_TRUE(firstMet);
        EXPECT_TRUE(secondMet);
    }
}

TEST_F(dispatch_Queue, AfterRunsByDeadlineWithTiesInSubmissionOrder) {
    std::vector<std::string> order;
    const auto record = [&](std::string name) { return [&order, name] { order.push_back(name); }; };
    Queue::main()->after(2, record("A"));
    Queue::main()->after(1, record("B"));
    Queue::main()->after(1, record("C"));
    Queue::main()->after(0, record("D"));
    EXPECT_TRUE(order.empty()) << "after(0) must not run inline";

    loop().pump();
    EXPECT_THAT(order, ElementsAre("D"));
    clock->advance(0.5);
    loop().pump();
    EXPECT_THAT(order, ElementsAre("D"));
    clock->advance(0.5);
    loop().pump();
    EXPECT_THAT(order, ElementsAre("D", "B", "C"));
    clock->advance(1);
    loop().pump();
    EXPECT_THAT(order, ElementsAre("D", "B", "C", "A"));
}

TEST_F(dispatch_Queue, AfterOnBackgroundQueueIsDispatchedByAdvancingTheClock) {
    Semaphore ran;
    Queue::serial("test.delayed")->after(1, [&] { ran.signal(); });
    EXPECT_FALSE(ran.wait(0));
    clock->advance(1);  // no pump: background work must not depend on the main loop
    EXPECT_TRUE(ran.wait(kSafetyBound));
}

// The scheduler's thread is woken only when its sleep would miss something; these are the cases
// where it must be: work already due on a virtual clock (nobody advances it), and on a real clock
// work due long before the deadline the thread sleeps until (a far timer armed first).
TEST_F(dispatch_Queue, WorkDueBeforeTheSchedulerWakesByItselfStillRuns) {
    auto queue = Queue::serial("test.wake");
    Semaphore dueNow;
    queue->after(0, [&] { dueNow.signal(); });
    EXPECT_TRUE(dueNow.wait(kSafetyBound));

    Clock::setCurrent(nullptr);
    auto far = Timer::start(queue, 3600, false, [] {});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the thread go to sleep for the hour
    Semaphore soon;
    queue->after(0.01, [&] { soon.signal(); });
    EXPECT_TRUE(soon.wait(kSafetyBound));
    far->cancel();
    Clock::setCurrent(clock);
}

// Each case posts through a different kind of queue and says how to wait until it is drained.
TEST_F(dispatch_Queue, ThrowingBlockIsLoggedWithLabelAndQueueGoesOn) {
    struct Case {
        std::string label;
        std::function<void(std::function<void()>)> post;
        std::function<void()> drain;
    };
    auto serial = Queue::serial("test.throwing-serial");
    auto operations = OperationQueue::create("test.throwing-operations");
    operations->setMaxConcurrentOperationCount(1);
    const std::vector<Case> cases{
        {"main", [](auto block) { Queue::main()->async(std::move(block)); }, [] { loop().pump(); }},
        {serial->label(), [&](auto block) { serial->async(std::move(block)); }, [&] { serial->sync([] {}); }},
        {operations->name(), [&](auto block) { operations->addOperation(std::move(block)); },
         [&] { operations->waitUntilAllOperationsAreFinished(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        bool ranAfter = false;
        ::testing::internal::CaptureStderr();
        c.post([] { throw std::runtime_error("boom"); });
        c.post([&] { ranAfter = true; });
        c.drain();
        const std::string log = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(ranAfter);
        EXPECT_THAT(log, HasSubstr("'" + c.label + "'"));
        EXPECT_THAT(log, HasSubstr("boom"));
    }
}

} // namespace
} // namespace dispatch
