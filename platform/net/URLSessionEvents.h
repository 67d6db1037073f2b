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
// An event's function is let go on the delegate queue once it has run: the tasks and sessions it
// holds were made elsewhere, and their last reference should not fall to the network thread.
// Bytes the network thread copied for an event (a received chunk) are the event's payload, not
// the function's, and go back with it. An event with a payload is given back as soon as it has
// run, and the network thread is woken once the bytes given back pass kPromptReturnBytes: a big
// body is not kept resident until the end of its batch or the next unrelated wake-up.

#include "platform/core/Value.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace net {

class SessionEngine;

namespace session {

// Something made on the network thread that another thread is done with.
class Spent {
public:
    virtual ~Spent() = default;
    virtual void dispose() { delete this; }
    // Of the buffers it carries, for giving them back promptly.
    virtual std::size_t bytes() const { return 0; }
    Spent* next = nullptr; // in a return list
    bool isBatch = false;
};

// One thing the delegate hears: run once, on the delegate queue, then its function let go there.
class Event : public Spent {
public:
    virtual void run() = 0;
    virtual void releaseFunction() = 0;
    std::size_t bytes() const override { return payload.size(); }
    core::Bytes payload;       // bytes made on the network thread for the function to read
    bool keepOnCancel = false; // held for the response's answer: still delivered when the task is cancelled
    // The delegate may hear it a few busy loop turns late (an upload's progress): alone in a
    // batch, it does not make the batch go at the end of its turn.
    bool mayWait = false;
};

// F is called with the payload, or with nothing.
template <class F>
class EventOf final : public Event {
public:
    explicit EventOf(F function) : function_(std::move(function)) {}
    void run() override {
        if constexpr (std::is_invocable_v<F&, const core::Bytes&>) {
            (*function_)(payload);
        } else {
            (*function_)();
        }
    }
    void releaseFunction() override { function_.reset(); }

private:
    std::optional<F> function_;
};

template <class F>
Event* makeEvent(F&& function, core::Bytes payload = {}, bool keepOnCancel = false) {
    Event* event = new EventOf<std::decay_t<F>>(std::forward<F>(function));
    event->payload = std::move(payload);
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
        urgent = false;
    }

    std::vector<Event*> events;              // an event already given back leaves a null here
    bool urgent = false;                     // holds an event that may not wait (see Event::mayWait)
    std::shared_ptr<SessionEngine> engine;   // while handed over: where it goes back to
};

// Many threads give, one thread (the network thread) takes. Lock-free: a give is one
// compare-and-swap, a take one exchange. Once closed (the network thread is gone), a give is
// refused and the giver disposes of what it holds itself.
class ReturnList {
public:
    ReturnList() = default;
    ReturnList(const ReturnList&) = delete;
    ReturnList& operator=(const ReturnList&) = delete;
    ~ReturnList() { close(); }

    // Any thread. False when the list is closed.
    bool give(Spent* spent) {
        Spent* head = head_.load(std::memory_order_relaxed);
        do {
            if (head == closed()) return false;
            spent->next = head;
        } while (!head_.compare_exchange_weak(head, spent, std::memory_order_release, std::memory_order_relaxed));
        return true;
    }

    // Everything given so far, the latest first.
    Spent* takeAll() {
        Spent* head = head_.load(std::memory_order_relaxed);
        while (head != closed() && !head_.compare_exchange_weak(head, nullptr, std::memory_order_acquire, std::memory_order_relaxed)) {
        }
        return head == closed() ? nullptr : head;
    }

    // Disposes of everything given so far and refuses later gifts.
    void close() {
        Spent* head = head_.exchange(closed(), std::memory_order_acquire);
        disposeAll(head == closed() ? nullptr : head);
    }

    static void disposeAll(Spent* list) {
        while (list) std::exchange(list, list->next)->dispose();
    }

private:
    static Spent* closed() { return reinterpret_cast<Spent*>(alignof(Spent)); }
    std::atomic<Spent*> head_{nullptr};
};

// Where what the network thread made goes back to; shared with the objects that outlive the
// session's engine (a response, metrics), which dispose of themselves once it is closed.
struct ReturnHome {
    ReturnList list;
    void giveOrDispose(Spent* spent) {
        if (!list.give(spent)) spent->dispose();
    }
};

// An object of the network thread's making, shared with other threads: its memory (and its
// members') goes back to the network thread when the last reference goes.
template <class T>
class Returned final : public Spent {
public:
    template <class... A>
    explicit Returned(A&&... arguments) : value(std::forward<A>(arguments)...) {}
    T value;
};

// A shared pointer's control block, given back as a raw block.
class RawBlock final : public Spent {
public:
    void dispose() override {
        this->~RawBlock();
        ::operator delete(static_cast<void*>(this));
    }
};

template <class U>
struct ReturningAllocator {
    using value_type = U;
    std::shared_ptr<ReturnHome> home;

    explicit ReturningAllocator(std::shared_ptr<ReturnHome> h) : home(std::move(h)) {}
    template <class V>
    ReturningAllocator(const ReturningAllocator<V>& other) : home(other.home) {}

    U* allocate(std::size_t n) { return static_cast<U*>(::operator new(n * sizeof(U))); }
    void deallocate(U* p, std::size_t n) {
        if (n * sizeof(U) < sizeof(RawBlock)) return ::operator delete(static_cast<void*>(p));
        home->giveOrDispose(new (static_cast<void*>(p)) RawBlock);
    }
    template <class V>
    bool operator==(const ReturningAllocator<V>& other) const { return home == other.home; }
};

// Makes a T on the network thread whose memory is freed there (or by the last holder once the
// engine is gone).
template <class T, class... A>
std::shared_ptr<T> makeReturned(const std::shared_ptr<ReturnHome>& home, A&&... arguments) {
    using Node = Returned<std::remove_const_t<T>>;
    auto* node = new Node(std::forward<A>(arguments)...);
    return std::shared_ptr<T>(&node->value, [home, node](const void*) { home->giveOrDispose(node); },
                              ReturningAllocator<Node>(home));
}

} // namespace session
} // namespace net
