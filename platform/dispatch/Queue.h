#pragma once
// Queues of blocks: the main queue, serial queues, concurrent queues and the global queues.
//
// - The main queue runs its blocks in FIFO order on the main thread, when the main run loop
//   pumps (see RunLoop). sync() from the main thread runs the block inline.
// - A serial queue runs one block at a time in FIFO order, on pool threads. sync() waits until
//   every earlier block has finished and then runs the block on the calling thread while holding
//   the queue. sync() onto a serial queue from a block running on it (directly or through other
//   syncs on the same thread) can never proceed, so it aborts with a message instead of hanging.
// - A concurrent queue hands each block to the thread pool as it arrives; blocks overlap and
//   finish in any order. sync() runs the block inline.
// - global(qos) returns the shared concurrent queue of that quality of service.
//
// Every member function is safe from any thread. A queue stays alive while work (including
// delayed work) is pending on it. A block that throws is caught and logged to stderr with the
// queue's label, and the queue goes on.
//
// Delayed work: after() and Timer measure time on Clock::current().monotonicTime(). Work that
// becomes due is handed to its queue by the scheduler: on a real clock when its time comes; on a
// VirtualClock as part of advance(), so when advance() returns everything due is already queued,
// in deadline order with ties in submission order. Background queues then start it at once;
// the main queue runs it on the next pump(), which itself also hands out anything due.

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/dispatch/ThreadPool.h"

namespace dispatch {

class Queue : public std::enable_shared_from_this<Queue> {
public:
    using Block = std::function<void()>;

    static std::shared_ptr<Queue> main();
    static std::shared_ptr<Queue> global(QoS qos = QoS::default_);
    static std::shared_ptr<Queue> serial(std::string label, QoS qos = QoS::default_);
    static std::shared_ptr<Queue> concurrent(std::string label, QoS qos = QoS::default_);

    const std::string& label() const { return label_; }
    QoS qos() const { return qos_; }

    // Runs `block` later; never before this call returns.
    void async(Block block);
    // Runs `block` and returns once it has finished.
    void sync(const Block& block);
    // Runs `block` once `seconds` have passed on the current clock; 0 still runs it later.
    void after(double seconds, Block block);

private:
    enum class Kind { main, serial, concurrent };
    struct Handoff;
    struct Item {
        Block block;
        std::shared_ptr<Handoff> handoff;  // set for a sync() waiting for its turn
    };

    Queue(Kind kind, std::string label, QoS qos);
    friend class RunLoop;
    std::size_t drainMain();
    void drainSerial();
    void releaseSerial();
    void run(const Block& block);
    void syncOnMain(const Block& block);
    void syncOnSerial(const Block& block);

    const Kind kind_;
    const std::string label_;
    const QoS qos_;
    std::mutex mutex_;
    std::deque<Item> items_;  // main and serial queues only
    bool busy_ = false;       // serial: a drain or a sync owns the queue
};

} // namespace dispatch
