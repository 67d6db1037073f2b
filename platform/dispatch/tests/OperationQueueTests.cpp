#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>
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

} // namespace
} // namespace dispatch
