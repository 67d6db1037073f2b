#pragma once
// Runs added operations on the thread pool, at most maxConcurrentOperationCount at a time, in the
// order they were added. With a maximum of 1 it is serial.
//
// While suspended, no operation starts: those added meanwhile, and those already waiting, wait
// until it is resumed; running ones finish. operationCount() counts waiting and running ones.
// Safe from any thread. A running operation keeps the queue alive. An operation that throws is
// logged with the queue's name and counts as finished. While an operation runs, current() on its
// thread returns the queue it belongs to.
//
// Operation objects (Operation.h) wait until they are ready; among ready ones the highest queue
// priority starts first, then the earliest added. Each holds a slot until it has finished (an
// asynchronous one until it calls finish()). Plain functions start before waiting operation objects.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dispatch/Operation.h"
#include "platform/dispatch/ThreadPool.h"

namespace dispatch {

class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
public:
    static constexpr int kUnlimited = -1;

    static std::shared_ptr<OperationQueue> create(std::string name = "operation queue");

    // The queue whose operation is running on the calling thread; null outside any operation.
    static std::shared_ptr<OperationQueue> current();

    const std::string& name() const { return name_; }

    int maxConcurrentOperationCount() const;
    // kUnlimited (or any value below 1) lifts the limit.
    void setMaxConcurrentOperationCount(int count);
    bool isSuspended() const;
    void setSuspended(bool suspended);
    // Lifts the suspension, as setSuspended(false) does. Called from an operation of another
    // queue, the operations this releases run on that operation's worker as soon as it returns,
    // before its queue's next operation, instead of waking a second worker for them: a queue that
    // is released once a piece of work is done then costs no thread hand-off. They still run one
    // at a time per the limit, in order, with current() reporting this queue. The calling
    // operation must therefore not wait for them. Called from anywhere else it is
    // setSuspended(false).
    void resumeAfterCurrentOperation();
    QoS qualityOfService() const;
    // Applies to operations that start from now on.
    void setQualityOfService(QoS qos);

    void addOperation(std::function<void()> operation);
    // Adds an operation object (an operation that already finished, or is in a queue, is ignored).
    void addOperation(const std::shared_ptr<Operation>& operation);
    // Cancels every operation object that is waiting or running; plain functions are not touched.
    void cancelAllOperations();
    std::size_t operationCount() const;
    // Blocks until no operation is waiting or running. Never returns while suspended with work
    // waiting, and deadlocks if called from one of this queue's own operations.
    void waitUntilAllOperationsAreFinished();

private:
    struct Frame;
    static thread_local Frame* currentFrame_;

    explicit OperationQueue(std::string name);
    void startReady(std::unique_lock<std::mutex>& lock);
    void run(std::function<void()> operation);
    void invoke(std::function<void()>& operation);
    void runOperation(const std::shared_ptr<Operation>& operation);
    void operationFinished(const Operation* operation);

    const std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> waiting_;
    std::vector<std::shared_ptr<Operation>> waitingOperations_;  // in the order added
    std::vector<std::shared_ptr<Operation>> runningOperations_;
    std::size_t running_ = 0;
    int maxConcurrent_ = kUnlimited;
    bool suspended_ = false;
    QoS qos_ = QoS::default_;
};

} // namespace dispatch
