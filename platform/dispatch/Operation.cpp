#include "platform/dispatch/Operation.h"

#include <algorithm>

namespace dispatch {

void Operation::start() {
    {
        std::lock_guard lock(mutex_);
        if (finished_ || executing_) return;
        if (!cancelled_) executing_ = true;
    }
    if (isCancelled()) {
        finish();
        return;
    }
    main();
    if (!isAsynchronous()) finish();
}

void Operation::finish() {
    std::function<void()> completion, observer;
    std::vector<std::function<void()>> observers;
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        finished_ = true;
        executing_ = false;
        completion = std::move(completion_);
        observer = stateObserver_;
        observers.swap(finishObservers_);
    }
    if (completion) completion();
    for (auto& o : observers) o();
    if (observer) observer();
}

void Operation::cancel() {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_ || finished_) return;
        cancelled_ = true;
    }
    stateChanged();  // a cancelled operation is ready
}

bool Operation::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool Operation::isExecuting() const {
    std::lock_guard lock(mutex_);
    return executing_;
}

bool Operation::isFinished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool Operation::isReady() const {
    std::vector<std::shared_ptr<Operation>> deps;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return true;
        deps = dependencies_;
    }
    return std::all_of(deps.begin(), deps.end(), [](const auto& d) { return d->isFinished(); });
}

void Operation::addDependency(const std::shared_ptr<Operation>& operation) {
    if (!operation || operation.get() == this) return;
    {
        std::lock_guard lock(mutex_);
        if (std::find(dependencies_.begin(), dependencies_.end(), operation) != dependencies_.end()) return;
        dependencies_.push_back(operation);
    }
    std::weak_ptr<Operation> weak = weak_from_this();
    operation->addFinishObserver([weak] {
        if (auto self = weak.lock()) self->stateChanged();
    });
}

void Operation::removeDependency(const std::shared_ptr<Operation>& operation) {
    {
        std::lock_guard lock(mutex_);
        std::erase(dependencies_, operation);
    }
    stateChanged();
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
    std::lock_guard lock(mutex_);
    return dependencies_;
}

int Operation::queuePriority() const {
    std::lock_guard lock(mutex_);
    return priority_;
}

void Operation::setQueuePriority(int priority) {
    std::lock_guard lock(mutex_);
    priority_ = priority;
}

void Operation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(block);
}

void Operation::setStateObserver(std::function<void()> observer) {
    std::lock_guard lock(mutex_);
    stateObserver_ = std::move(observer);
}

void Operation::addFinishObserver(std::function<void()> observer) {
    {
        std::lock_guard lock(mutex_);
        if (!finished_) {
            finishObservers_.push_back(std::move(observer));
            return;
        }
    }
    observer();
}

void Operation::stateChanged() {
    std::function<void()> observer;
    {
        std::lock_guard lock(mutex_);
        observer = stateObserver_;
    }
    if (observer) observer();
}

} // namespace dispatch
