#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/dispatch/tests/DispatchTest.h"

namespace dispatch {
namespace {

using dispatch_OperationQueue = DispatchTest;

// Operations hold at a gate, so the ones the limit allows are all running at once when checked.
TEST_F(dispatch_OperationQueue, NeverRunsMoreThanTheLimit) {
    constexpr int kOperations = 6;
    for (const int limit : {1, 2}) {
        SCOPED_TRACE(limit);
        auto queue = OperationQueue::create("test.limited");
        queue->setMaxConcurrentOperationCount(limit);
        Semaphore started, gate;
        std::atomic<int> running{0}, peak{0};
        std::mutex orderMutex;
        std::vector<int> order;
        for (int i = 0; i < kOperations; ++i) {
            queue->addOperation([&, i] {
                const int now = ++running;
                int seen = peak;
                while (now > seen && !peak.compare_exchange_weak(seen, now)) {}
                {
                    std::lock_guard lock(orderMutex);
                    order.push_back(i);
                }
                started.signal();
                gate.wait(kSafetyBound);
                --running;
            });
        }
        for (int i = 0; i < limit; ++i) ASSERT_TRUE(started.wait(kSafetyBound));
        EXPECT_FALSE(started.wait(0)) << "an operation started beyond the limit";
        EXPECT_EQ(queue->operationCount(), static_cast<std::size_t>(kOperations));

        for (int i = 0; i < kOperations; ++i) gate.signal();
        queue->waitUntilAllOperationsAreFinished();
        EXPECT_EQ(peak, limit);
        EXPECT_EQ(queue->operationCount(), 0u);
        if (limit == 1) {
            std::vector<int> expected(kOperations);
            std::iota(expected.begin(), expected.end(), 0);
            EXPECT_EQ(order, expected);
        }
    }
}

TEST_F(dispatch_OperationQueue, SuspendedQueueHoldsOperationsUntilResumed) {
    auto queue = OperationQueue::create("test.suspended");
    queue->setSuspended(true);
    EXPECT_TRUE(queue->isSuspended());
    std::atomic<int> ran{0};
    for (int i = 0; i < 3; ++i) queue->addOperation([&] { ++ran; });
    EXPECT_EQ(queue->operationCount(), 3u);
    EXPECT_EQ(ran, 0);

    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran, 3);
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST_F(dispatch_OperationQueue, CurrentIsTheQueueOfTheRunningOperation) {
    EXPECT_EQ(OperationQueue::current(), nullptr);
    auto queue = OperationQueue::create("test.current");
    std::shared_ptr<OperationQueue> seen;
    queue->addOperation([&] { seen = OperationQueue::current(); });
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(seen, queue);
}

// A serial queue released from an operation of another queue runs its operations on that
// operation's thread, right after it and before the calling queue's next operation, each one
// reporting the released queue as current. Released from outside any operation, it simply runs.
TEST_F(dispatch_OperationQueue, ResumeAfterCurrentOperationRunsReleasedWorkOnTheSameThread) {
    struct Case {
        const char* name;
        bool fromOperation;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"from an operation", true, {"caller done", "r1 same thread", "r2 same thread", "r3 same thread", "caller next"}},
        {"from outside", false, {"r1 other thread", "r2 other thread"}},
    };
    // Shared with the operations, so that a test failing half-way leaves them nothing dangling.
    struct State {
        std::mutex mutex;
        std::vector<std::string> events;
        Semaphore noted;
        std::thread::id callerThread;
        void note(std::string event) {
            {
                std::lock_guard lock(mutex);
                events.push_back(std::move(event));
            }
            noted.signal();
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto state = std::make_shared<State>();
        auto caller = OperationQueue::create("test.caller");
        caller->setMaxConcurrentOperationCount(1);
        auto released = OperationQueue::create("test.released");
        released->setMaxConcurrentOperationCount(1);
        released->setSuspended(true);
        const auto releasedOperation = [state, queue = released.get()](std::string name) {
            return [state, queue, name] {
                const bool onQueue = OperationQueue::current().get() == queue;
                const bool onCallerThread = std::this_thread::get_id() == state->callerThread;
                state->note(name + (onQueue ? "" : " off queue") + (onCallerThread ? " same thread" : " other thread"));
            };
        };
        released->addOperation(releasedOperation("r1"));
        released->addOperation(releasedOperation("r2"));

        if (c.fromOperation) {
            caller->addOperation([state, released, releasedOperation] {
                state->callerThread = std::this_thread::get_id();
                released->resumeAfterCurrentOperation();
                EXPECT_FALSE(released->isSuspended());
                // Added while the released queue's slot is taken: it runs behind r1 and r2.
                released->addOperation(releasedOperation("r3"));
                state->note("caller done");
            });
            caller->addOperation([state] { state->note("caller next"); });
        } else {
            released->resumeAfterCurrentOperation();
        }
        // Bounded waits, so a fault in the queue's bookkeeping fails the test instead of hanging it.
        for (std::size_t i = 0; i < c.expected.size(); ++i)
            ASSERT_TRUE(state->noted.wait(kSafetyBound)) << "only " << i << " events";
        {
            std::lock_guard lock(state->mutex);
            ASSERT_EQ(state->events, c.expected);
        }
        caller->waitUntilAllOperationsAreFinished();
        released->waitUntilAllOperationsAreFinished();
    }
}

} // namespace
} // namespace dispatch
