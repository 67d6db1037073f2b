#include "ThreadPool.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <pthread.h>
#include <string>

namespace dispatch {

ThreadPool& ThreadPool::shared() {
    // Never destroyed: queues may still submit work while the process exits.
    static auto* pool = new ThreadPool(std::max<std::size_t>(64, 4 * std::thread::hardware_concurrency()));
    return *pool;
}

ThreadPool::ThreadPool(std::size_t maxThreads) : maxThreads_(std::max<std::size_t>(1, maxThreads)) {}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& worker : workers_) worker.join();
}

void ThreadPool::submit(QoS qos, std::function<void()> task) {
    std::unique_lock lock(mutex_);
    waiting_[static_cast<std::size_t>(qos)].push_back(std::move(task));
    ++waitingCount_;
    if (waitingCount_ > idle_ && workers_.size() < maxThreads_) {
        workers_.emplace_back([this] { work(); });
    } else {
        lock.unlock();
        wake_.notify_one();
    }
}

void ThreadPool::work() {
    pthread_setname_np(pthread_self(), "pool-worker");
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return stopping_ || waitingCount_ > 0; });
        --idle_;
        if (waitingCount_ == 0) return;  // stopping, and nothing left to run
        auto queue = std::find_if(waiting_.begin(), waiting_.end(), [](const auto& q) { return !q.empty(); });
        auto task = std::move(queue->front());
        queue->pop_front();
        --waitingCount_;
        lock.unlock();
        detail::invokeGuarded("thread pool", task);
        task = nullptr;  // release captures before taking the lock again
        lock.lock();
    }
}

namespace detail {

void invokeGuarded(std::string_view label, const std::function<void()>& block) noexcept {
    const auto report = [label](const char* what) {
        std::fprintf(stderr, "dispatch: block on '%.*s' threw: %s\n", static_cast<int>(label.size()), label.data(), what);
    };
    try {
        block();
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("unknown exception");
    }
}

} // namespace detail
} // namespace dispatch
