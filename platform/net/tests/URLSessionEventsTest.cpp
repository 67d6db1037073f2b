#include "platform/net/URLSessionEvents.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

using namespace net::session;

// Counts how many of its kind are alive.
struct Tracked : Spent {
    explicit Tracked(int* count, int number = 0) : alive(count), id(number) { ++*alive; }
    ~Tracked() override { --*alive; }
    int* alive;
    int id;
};

TEST(URLSessionEvents, EverythingGivenFromManyThreadsIsTakenOnce) {
    int alive = 0;
    ReturnList list;
    constexpr int kThreads = 4, kEach = 1000;
    std::vector<std::vector<Tracked*>> made(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kEach; ++i) made[t].push_back(new Tracked(&alive, t * kEach + i));
    }
    std::vector<std::thread> givers;
    for (int t = 0; t < kThreads; ++t) {
        givers.emplace_back([&, t] {
            for (Tracked* spent : made[t]) EXPECT_TRUE(list.give(spent));
        });
    }
    std::set<int> taken;
    const auto take = [&] {
        for (Spent* s = list.takeAll(); s;) {
            auto* tracked = static_cast<Tracked*>(std::exchange(s, s->next));
            EXPECT_TRUE(taken.insert(tracked->id).second) << tracked->id;
            tracked->dispose();
        }
    };
    // Taken while the givers give, until all has come.
    while (taken.size() < std::size_t(kThreads * kEach)) {
        take();
        std::this_thread::yield();
    }
    for (auto& g : givers) g.join();
    EXPECT_EQ(taken.size(), std::size_t(kThreads * kEach));
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(list.takeAll(), nullptr);
}

TEST(URLSessionEvents, AClosedListDisposesOfWhatWaitsAndRefusesMore) {
    int alive = 0;
    ReturnList list;
    EXPECT_TRUE(list.give(new Tracked(&alive)));
    EXPECT_TRUE(list.give(new Tracked(&alive)));
    list.close();
    EXPECT_EQ(alive, 0);
    Tracked late(&alive);
    EXPECT_FALSE(list.give(&late));
    EXPECT_EQ(list.takeAll(), nullptr);
    list.close(); // twice is harmless
}

struct Counted {
    explicit Counted(int* count) : alive(count) { ++*alive; }
    ~Counted() { --*alive; }
    int* alive;
};

TEST(URLSessionEvents, ASharedObjectGoesBackWhenTheLastReferenceGoes) {
    int alive = 0;
    auto home = std::make_shared<ReturnHome>();
    auto object = makeReturned<const Counted>(home, &alive);
    auto copy = object;
    std::weak_ptr<const Counted> watch = object;
    object.reset();
    copy.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(alive, 1) << "destroyed where it was let go instead of where it was made";
    // The object, then its control block once the last weak reference goes.
    int taken = 0;
    for (Spent* s = home->list.takeAll(); s; ++taken) std::exchange(s, s->next)->dispose();
    EXPECT_EQ(alive, 0);
    watch.reset();
    for (Spent* s = home->list.takeAll(); s; ++taken) std::exchange(s, s->next)->dispose();
    EXPECT_EQ(taken, 2);

    // Once the home is closed the last holder disposes of it itself.
    auto late = makeReturned<Counted>(home, &alive);
    home->list.close();
    late.reset();
    EXPECT_EQ(alive, 0);
}

TEST(URLSessionEvents, AnEventReadsItsPayloadAndLetsItsFunctionGoApartFromIt) {
    auto held = std::make_shared<int>(7);
    core::Bytes seen;
    Event* withPayload = makeEvent([held, &seen](const core::Bytes& bytes) { seen = bytes; }, core::Bytes{1, 2, 3}, true);
    int calls = 0;
    Event* plain = makeEvent([held, &calls] { ++calls; });
    EXPECT_EQ(held.use_count(), 3);
    withPayload->run();
    plain->run();
    EXPECT_EQ(seen, (core::Bytes{1, 2, 3}));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(withPayload->bytes(), 3u);
    EXPECT_TRUE(withPayload->keepOnCancel);
    EXPECT_EQ(plain->bytes(), 0u);
    withPayload->releaseFunction();
    plain->releaseFunction();
    EXPECT_EQ(held.use_count(), 1);
    EXPECT_EQ(withPayload->payload.size(), 3u) << "the payload stays with the event";
    withPayload->dispose();
    plain->dispose();
}

} // namespace
