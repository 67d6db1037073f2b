#include "OperationQueue.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace dispatch {

// What the thread knows about the operation it is running: its queue, and the operations of other
// queues that it released to run on this thread after it.
struct OperationQueue::Frame {
    OperationQueue* queue;
    std::vector<std::pair<std::shared_ptr<OperationQueue>, std::function<void()>>> released;
};

thread_local OperationQueue::Frame* OperationQueue::currentFrame_ = nullptr;

std::shared_ptr<OperationQueue> OperationQueue::current() {
    return currentFrame_ ? currentFrame_->queue->shared_from_this() : nullptr;
}

std::shared_ptr<OperationQueue> OperationQueue::create(std::string name) {
    return std::shared_ptr<OperationQueue>(new OperationQueue(std::move(name)));
}

OperationQueue::OperationQueue(std::string name) : name_(std::move(name)) {}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(mutex_);
    return maxConcurrent_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    std::unique_lock lock(mutex_);
    maxConcurrent_ = count < 1 ? kUnlimited : count;
    startReady(lock);
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(mutex_);
    return suspended_;
}

void OperationQueue::setSuspended(bool suspended) {
    std::unique_lock lock(mutex_);
    suspended_ = suspended;
    startReady(lock);
}

void OperationQueue::resumeAfterCurrentOperation() {
    std::unique_lock lock(mutex_);
    suspended_ = false;
    Frame* frame = currentFrame_;
    if (frame && frame->queue != this && !waiting_.empty() &&
        (maxConcurrent_ == kUnlimited || running_ < static_cast<std::size_t>(maxConcurrent_))) {
        // The slot is taken now, so an operation added meanwhile waits behind this one.
        frame->released.emplace_back(shared_from_this(), std::move(waiting_.front()));
        waiting_.pop_front();
        ++running_;
    }
    startReady(lock);
}

QoS OperationQueue::qualityOfService() const {
    std::lock_guard lock(mutex_);
    return qos_;
}

void OperationQueue::setQualityOfService(QoS qos) {
    std::lock_guard lock(mutex_);
    qos_ = qos;
}

void OperationQueue::addOperation(std::function<void()> operation) {
    std::unique_lock lock(mutex_);
    waiting_.push_back(std::move(operation));
    startReady(lock);
}

void OperationQueue::addOperation(const std::shared_ptr<Operation>& operation) {
    if (!operation || operation->isFinished()) return;
    std::weak_ptr<OperationQueue> weak = weak_from_this();
    operation->setStateObserver([weak] {
        if (auto self = weak.lock()) {
            std::unique_lock lock(self->mutex_);
            self->startReady(lock);
        }
    });
    std::unique_lock lock(mutex_);
    auto listed = [&](const auto& list) { return std::find(list.begin(), list.end(), operation) != list.end(); };
    if (listed(waitingOperations_) || listed(runningOperations_)) return;
    waitingOperations_.push_back(operation);
    startReady(lock);
}

void OperationQueue::cancelAllOperations() {
    std::vector<std::shared_ptr<Operation>> all;
    {
        std::lock_guard lock(mutex_);
        all = waitingOperations_;
        all.insert(all.end(), runningOperations_.begin(), runningOperations_.end());
    }
    for (auto& operation : all) operation->cancel();
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() + waitingOperations_.size() + running_;
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return waiting_.empty() && waitingOperations_.empty() && running_ == 0; });
}

// Starts as many waiting operations as the limit and suspension allow. Submitting happens after
// the lock is released so the pool is never entered while holding it.
void OperationQueue::startReady(std::unique_lock<std::mutex>& lock) {
    std::vector<std::function<void()>> starting;
    while (!suspended_ && !waiting_.empty() &&
           (maxConcurrent_ == kUnlimited || running_ < static_cast<std::size_t>(maxConcurrent_))) {
        starting.push_back(std::move(waiting_.front()));
        waiting_.pop_front();
        ++running_;
    }
    std::vector<std::shared_ptr<Operation>> startingOperations;
    while (!suspended_ && !waitingOperations_.empty() &&
           (maxConcurrent_ == kUnlimited || running_ < static_cast<std::size_t>(maxConcurrent_))) {
        // The ready operation of highest priority, the earliest added among equals.
        auto best = waitingOperations_.end();
        for (auto it = waitingOperations_.begin(); it != waitingOperations_.end(); ++it)
            if ((*it)->isReady() && (best == waitingOperations_.end() || (*it)->queuePriority() > (*best)->queuePriority())) best = it;
        if (best == waitingOperations_.end()) break;
        startingOperations.push_back(*best);
        runningOperations_.push_back(*best);
        waitingOperations_.erase(best);
        ++running_;
    }
    const QoS qos = qos_;
    lock.unlock();
    for (auto& operation : starting) {
        ThreadPool::shared().submit(qos, [self = shared_from_this(), operation = std::move(operation)]() mutable {
            self->run(std::move(operation));
        });
    }
    for (auto& operation : startingOperations) {
        ThreadPool::shared().submit(qos, [self = shared_from_this(), operation = std::move(operation)] { self->runOperation(operation); });
    }
}

void OperationQueue::runOperation(const std::shared_ptr<Operation>& operation) {
    std::weak_ptr<OperationQueue> weak = weak_from_this();
    const Operation* raw = operation.get();
    operation->addFinishObserver([weak, raw] {
        if (auto self = weak.lock()) self->operationFinished(raw);
    });
    Frame frame{this, {}};
    Frame* const outer = std::exchange(currentFrame_, &frame);
    detail::invokeGuarded(name_, [&operation] { operation->start(); });
    currentFrame_ = outer;
    for (auto& [queue, released] : frame.released) queue->run(std::move(released));
}

// An operation object gave back its slot.
void OperationQueue::operationFinished(const Operation* operation) {
    std::unique_lock lock(mutex_);
    auto it = std::find_if(runningOperations_.begin(), runningOperations_.end(), [operation](const auto& o) { return o.get() == operation; });
    if (it == runningOperations_.end()) return;
    runningOperations_.erase(it);
    --running_;
    if (waiting_.empty() && waitingOperations_.empty() && running_ == 0) idle_.notify_all();
    startReady(lock);
}

// Runs an operation, then keeps the same worker for the operations that wait behind it (up to a
// bound, so one busy queue cannot hold a pool thread for ever). Handing each operation to the
// pool anew would cost a thread wake-up per operation, which is most of a serial queue's time.
void OperationQueue::run(std::function<void()> operation) {
    constexpr int kDrainBound = 64;
    for (int ran = 1;; ++ran) {
        invoke(operation);
        std::unique_lock lock(mutex_);
        if (!suspended_ && !waiting_.empty() && ran < kDrainBound) {
            operation = std::move(waiting_.front());
            waiting_.pop_front();
            continue; // this slot stays running
        }
        --running_;
        if (waiting_.empty() && running_ == 0) idle_.notify_all();
        startReady(lock);
        return;
    }
}

// Runs one operation with current() reporting this queue, then the operations it released onto
// this thread (each draining its own queue as run() does).
void OperationQueue::invoke(std::function<void()>& operation) {
    Frame frame{this, {}};
    Frame* const outer = std::exchange(currentFrame_, &frame);
    detail::invokeGuarded(name_, operation);
    operation = nullptr; // release captures before taking the lock
    currentFrame_ = outer;
    for (auto& [queue, released] : frame.released) queue->run(std::move(released));
}

} // namespace dispatch
