#pragma once
// The small elastic pool of worker threads that runs every background block of the app.
//
// Waiting tasks start in quality-of-service order (a userInteractive task starts before any
// utility task), but a running task is never pre-empted. A new worker is started whenever more
// tasks are waiting than workers are idle, up to maxThreads, so that blocks which block (sync,
// semaphore waits) cannot starve the rest of the app; workers then stay for the pool's life.
// submit() is safe from any thread, including from a running task.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace dispatch {

// Quality of service, most urgent first.
enum class QoS { userInteractive, userInitiated, default_, utility, background };

class ThreadPool {
public:
    // The process-wide pool behind every queue; it lives until the process exits.
    static ThreadPool& shared();

    explicit ThreadPool(std::size_t maxThreads);
    // Runs the tasks already submitted, then joins the workers.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Runs `task` on a worker. A task that throws is logged and the worker goes on.
    void submit(QoS qos, std::function<void()> task);

private:
    void work();

    const std::size_t maxThreads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::array<std::deque<std::function<void()>>, 5> waiting_;  // indexed by QoS
    std::size_t waitingCount_ = 0;
    std::size_t idle_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

namespace detail {
// Runs `block`, catching any exception it throws and logging it to stderr with `label`, so that
// no exception ever leaves the thread that ran the block.
void invokeGuarded(std::string_view label, const std::function<void()>& block) noexcept;
} // namespace detail

} // namespace dispatch
