#pragma once
// A unit of work with a life of its own: it can be cancelled, has a queue priority, waits for the
// operations it depends on, and calls a completion action once finished. A plain operation is
// finished when main() returns; an asynchronous one (isAsynchronous() true) says so itself by
// calling finish(), and until then holds its slot in an OperationQueue. Safe from any thread.
//
// An operation is ready when every dependency has finished, or once it is cancelled. start() on a
// cancelled operation finishes it without running main().

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace dispatch {

class Operation : public std::enable_shared_from_this<Operation> {
public:
    enum QueuePriority : int { veryLow = -8, low = -4, normal = 0, high = 4, veryHigh = 8 };

    virtual ~Operation() = default;
    Operation() = default;
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    void start();
    virtual void cancel();
    bool isCancelled() const;
    bool isExecuting() const;
    bool isFinished() const;
    bool isReady() const;
    virtual bool isAsynchronous() const { return false; }

    void addDependency(const std::shared_ptr<Operation>& operation);
    void removeDependency(const std::shared_ptr<Operation>& operation);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    int queuePriority() const;
    void setQueuePriority(int priority);
    // Runs once, on the thread that finishes the operation.
    void setCompletionBlock(std::function<void()> block);

protected:
    virtual void main() {}
    // Marks the operation finished (once); asynchronous operations call it when done.
    void finish();

private:
    friend class OperationQueue;
    // Called whenever the operation may have become ready, and when it finishes.
    void setStateObserver(std::function<void()> observer);
    void addFinishObserver(std::function<void()> observer);
    void stateChanged();

    mutable std::mutex mutex_;
    bool cancelled_ = false;
    bool executing_ = false;
    bool finished_ = false;
    int priority_ = normal;
    std::vector<std::shared_ptr<Operation>> dependencies_;
    std::function<void()> completion_;
    std::function<void()> stateObserver_;
    std::vector<std::function<void()>> finishObservers_;
};

// An operation that runs one function.
class BlockOperation : public Operation {
public:
    explicit BlockOperation(std::function<void()> block) : block_(std::move(block)) {}

protected:
    void main() override {
        if (block_) block_();
    }

private:
    std::function<void()> block_;
};

} // namespace dispatch
