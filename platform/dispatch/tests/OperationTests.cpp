// Operation objects on an operation queue: priorities, dependencies, asynchronous operations that
// finish when they say so, cancelling and completion actions.

#include "platform/dispatch/Operation.h"
#include "platform/dispatch/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace dispatch {
namespace {

class Recorder {
public:
    void add(const std::string& s) {
        std::lock_guard lock(mutex_);
        seen_.push_back(s);
    }
    std::vector<std::string> seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> seen_;
};

std::shared_ptr<BlockOperation> recording(Recorder& r, std::string name, int priority = Operation::normal) {
    auto op = std::make_shared<BlockOperation>([&r, name] { r.add(name); });
    op->setQueuePriority(priority);
    return op;
}

// Finishes only when told.
class Waiting : public Operation {
public:
    bool isAsynchronous() const override { return true; }
    void done() { finish(); }
    std::atomic<bool> started{false};

protected:
    void main() override { started = true; }
};

TEST(dispatch_Operation, ReadyOperationsStartByPriorityThenOrder) {
    auto queue = OperationQueue::create("ops");
    queue->setMaxConcurrentOperationCount(1);
    queue->setSuspended(true);
    Recorder r;
    queue->addOperation(recording(r, "low", Operation::low));
    queue->addOperation(recording(r, "normal 1"));
    queue->addOperation(recording(r, "high", Operation::high));
    queue->addOperation(recording(r, "normal 2"));
    // Last in, first out: the earlier operation waits for the later one.
    auto first = recording(r, "first added", Operation::veryHigh);
    auto second = recording(r, "second added", Operation::veryHigh);
    queue->addOperation(first);
    queue->addOperation(second);
    first->addDependency(second);
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(r.seen(), (std::vector<std::string>{"second added", "first added", "high", "normal 1", "normal 2", "low"}));
    EXPECT_TRUE(first->isFinished());
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(dispatch_Operation, AnAsynchronousOperationHoldsItsSlotUntilItFinishes) {
    auto queue = OperationQueue::create("ops");
    queue->setMaxConcurrentOperationCount(1);
    auto waiting = std::make_shared<Waiting>();
    Recorder r;
    int completions = 0;
    waiting->setCompletionBlock([&] { ++completions; });
    queue->addOperation(waiting);
    queue->addOperation(recording(r, "next"));
    while (!waiting->started) std::this_thread::yield();
    EXPECT_TRUE(waiting->isExecuting());
    EXPECT_EQ(queue->operationCount(), 2u);
    EXPECT_TRUE(r.seen().empty());
    waiting->done();
    waiting->done();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(r.seen(), std::vector<std::string>{"next"});
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(waiting->isExecuting());
}

TEST(dispatch_Operation, CancelledOperationsFinishWithoutRunning) {
    auto queue = OperationQueue::create("ops");
    queue->setMaxConcurrentOperationCount(1);
    auto running = std::make_shared<Waiting>();
    queue->addOperation(running);
    while (!running->started) std::this_thread::yield();
    Recorder r;
    auto blocker = recording(r, "never ready");
    auto dependent = recording(r, "dependent");
    dependent->addDependency(blocker);  // never added anywhere: only cancelling makes it ready
    std::atomic<int> completions{0};
    dependent->setCompletionBlock([&] { ++completions; });
    auto plain = recording(r, "plain");
    queue->addOperation(dependent);
    queue->addOperation(plain);
    EXPECT_FALSE(dependent->isReady());
    queue->cancelAllOperations();
    EXPECT_TRUE(running->isCancelled());
    EXPECT_TRUE(dependent->isReady());
    running->done();  // an asynchronous operation ends itself after seeing the cancel
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(r.seen().empty());
    EXPECT_TRUE(dependent->isFinished());
    EXPECT_EQ(completions.load(), 1);
    // A finished operation is not run again.
    queue->addOperation(plain);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(r.seen().empty());
}

} // namespace
} // namespace dispatch
