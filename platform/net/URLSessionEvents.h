#pragma once
// Delegate events of a URL session, and how their memory goes back to the network thread (an
// internal part of the session).
//
// The network thread makes an event for every thing the delegate hears (with the bytes of a
// received chunk inside it), gathers a loop turn's events in a batch and hands the batch to the
// delegate queue. Once run there, events and batch are given back to the network thread through
// a return list, and the network thread frees them (or keeps the batch for its next turn) at
// the top of its next loop turn. glibc takes an arena's lock for a block freed by another thread
// than the one that made it; freeing where the memory was made keeps the network thread out of
// that lock, which otherwise costs it more than anything but the sockets.
//
// An event that carries bytes is given back as soon as it has run, and the network thread is
// woken once the bytes given back pass kPromptReturnBytes: a big body is not kept resident until
// the end of its batch or the next unrelated wake-up.

#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace net {

class SessionEngine;

namespace session {

// Something made on the network thread that another thread is done with.
class Spent {
public:
    virtual ~Spent() = default;
    Spent* next = nullptr; // in a return list
    bool isBatch = false;
};

// One thing the delegate hears: run once, on the delegate queue.
class Event : public Spent {
public:
    virtual void run() = 0;
    std::size_t bytes = 0;     // of the buffers it carries
    bool keepOnCancel = false; // held for the response's answer: still delivered when the task is cancelled
};

template <class F>
class EventOf final : public Event {
public:
    explicit EventOf(F function) : function_(std::move(function)) {}
    void run() override { function_(); }

private:
    F function_;
};

template <class F>
Event* makeEvent(F&& function, std::size_t bytes = 0, bool keepOnCancel = false) {
    Event* event = new EventOf<std::decay_t<F>>(std::forward<F>(function));
    event->bytes = bytes;
    event->keepOnCancel = keepOnCancel;
    return event;
}

// The events handed to the delegate queue in one operation, in order.
class Batch final : public Spent {
public:
    Batch() { isBatch = true; }
    ~Batch() override { clear(); }
    void clear() {
        for (Event* event : events) delete event;
        events.clear();
    }

    std::vector<Event*> events;              // an event already given back leaves a null here
    std::shared_ptr<SessionEngine> engine;   // while handed over: where it goes back to
};

// Many threads give, one thread (the network thread) takes. Lock-free: a give is one
// compare-and-swap, a take one exchange.
class ReturnList {
public:
    ReturnList() = default;
    ReturnList(const ReturnList&) = delete;
    ReturnList& operator=(const ReturnList&) = delete;
    ~ReturnList() { freeAll(takeAll()); }

    void give(Spent* spent) {
        Spent* head = head_.load(std::memory_order_relaxed);
        do {
            spent->next = head;
        } while (!head_.compare_exchange_weak(head, spent, std::memory_order_release, std::memory_order_relaxed));
    }

    // Everything given so far, the latest first.
    Spent* takeAll() { return head_.exchange(nullptr, std::memory_order_acquire); }

    static void freeAll(Spent* list) {
        while (list) delete std::exchange(list, list->next);
    }

private:
    std::atomic<Spent*> head_{nullptr};
};

} // namespace session
} // namespace net
