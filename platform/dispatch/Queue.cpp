#include "Queue.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "RunLoop.h"
#include "Scheduler.h"

namespace dispatch {
namespace {

// The queues whose blocks this thread is running, innermost last (a sync nests one inside
// another). Used to catch a sync onto a serial queue from itself.
thread_local std::vector<const Queue*> runningQueues;

struct Running {
    explicit Running(const Queue* queue) { runningQueues.push_back(queue); }
    ~Running() { runningQueues.pop_back(); }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

// A one-shot flag another thread waits on.
struct Latch {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;

    void release() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        cv.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex);
        cv.wait(lock, [this] { return open; });
    }
};

const char* qosName(QoS qos) {
    static constexpr std::array names{"userInteractive", "userInitiated", "default", "utility", "background"};
    return names[static_cast<std::size_t>(qos)];
}

} // namespace

// A serial queue hands itself to a waiting sync() by opening this latch.
struct Queue::Handoff : Latch {};

Queue::Queue(Kind kind, std::string label, QoS qos) : kind_(kind), label_(std::move(label)), qos_(qos) {}

// The process-wide queues are never destroyed: other threads may still use them while the
// process exits.
std::shared_ptr<Queue> Queue::main() {
    static auto* queue = new std::shared_ptr<Queue>(new Queue(Kind::main, "main", QoS::userInteractive));
    return *queue;
}

std::shared_ptr<Queue> Queue::global(QoS qos) {
    static auto* queues = [] {
        auto* all = new std::array<std::shared_ptr<Queue>, 5>();
        for (std::size_t i = 0; i < all->size(); ++i) {
            const auto level = static_cast<QoS>(i);
            (*all)[i].reset(new Queue(Kind::concurrent, std::string("global.") + qosName(level), level));
        }
        return all;
    }();
    return (*queues)[static_cast<std::size_t>(qos)];
}

std::shared_ptr<Queue> Queue::serial(std::string label, QoS qos) {
    return std::shared_ptr<Queue>(new Queue(Kind::serial, std::move(label), qos));
}

std::shared_ptr<Queue> Queue::concurrent(std::string label, QoS qos) {
    return std::shared_ptr<Queue>(new Queue(Kind::concurrent, std::move(label), qos));
}

void Queue::run(const Block& block) {
    Running running(this);
    detail::invokeGuarded(label_, block);
}

void Queue::async(Block block) {
    switch (kind_) {
    case Kind::main: {
        bool wake;
        {
            std::lock_guard lock(mutex_);
            // The loop drains every waiting block once woken, so only the block that finds the
            // queue empty needs to wake it; a burst of blocks costs one wake-up, not one each.
            wake = items_.empty();
            items_.push_back({std::move(block), nullptr});
        }
        if (wake) RunLoop::instance().wake();
        return;
    }
    case Kind::serial: {
        bool start = false;
        {
            std::lock_guard lock(mutex_);
            items_.push_back({std::move(block), nullptr});
            start = !std::exchange(busy_, true);
        }
        if (start) ThreadPool::shared().submit(qos_, [self = shared_from_this()] { self->drainSerial(); });
        return;
    }
    case Kind::concurrent:
        ThreadPool::shared().submit(qos_, [self = shared_from_this(), block = std::move(block)] { self->run(block); });
        return;
    }
}

void Queue::sync(const Block& block) {
    switch (kind_) {
    case Kind::main: return syncOnMain(block);
    case Kind::serial: return syncOnSerial(block);
    case Kind::concurrent: return run(block);
    }
}

void Queue::after(double seconds, Block block) {
    if (!(seconds > 0)) return async(std::move(block));
    Scheduler::shared().schedule(seconds, [self = shared_from_this(), block = std::move(block)](double, double) mutable {
        self->async(std::move(block));
        return std::optional<double>();
    });
}

std::size_t Queue::drainMain() {
    std::size_t count = 0;
    for (;;) {
        Item item;
        {
            std::lock_guard lock(mutex_);
            if (items_.empty()) return count;
            item = std::move(items_.front());
            items_.pop_front();
        }
        run(item.block);
        ++count;
    }
}

void Queue::syncOnMain(const Block& block) {
    if (RunLoop::isMainThread()) return run(block);
    auto done = std::make_shared<Latch>();
    async([&block, done] {
        // Releases the caller even if the block throws; run() has already logged it by then.
        struct Release {
            Latch& latch;
            ~Release() { latch.release(); }
        } release{*done};
        block();
    });
    done->wait();
}

void Queue::drainSerial() {
    for (;;) {
        Item item;
        {
            std::lock_guard lock(mutex_);
            if (items_.empty()) {
                busy_ = false;
                return;
            }
            item = std::move(items_.front());
            items_.pop_front();
        }
        if (item.handoff) {
            // The queue now belongs to the waiting sync(), which restarts draining when done.
            item.handoff->release();
            return;
        }
        run(item.block);
    }
}

void Queue::syncOnSerial(const Block& block) {
    if (std::find(runningQueues.begin(), runningQueues.end(), this) != runningQueues.end()) {
        std::fprintf(stderr, "dispatch: sync onto serial queue '%s' from a block running on it would deadlock\n",
                     label_.c_str());
        std::abort();
    }
    std::shared_ptr<Handoff> handoff;
    {
        std::lock_guard lock(mutex_);
        if (std::exchange(busy_, true)) {
            handoff = std::make_shared<Handoff>();
            items_.push_back({nullptr, handoff});
        }
    }
    if (handoff) handoff->wait();
    run(block);
    releaseSerial();
}

void Queue::releaseSerial() {
    {
        std::lock_guard lock(mutex_);
        if (items_.empty()) {
            busy_ = false;
            return;
        }
    }
    ThreadPool::shared().submit(qos_, [self = shared_from_this()] { self->drainSerial(); });
}

} // namespace dispatch
