#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Timer.h"
#include "platform/dispatch/tests/DispatchTest.h"

namespace dispatch {
namespace {

using dispatch_Timer = DispatchTest;

TEST_F(dispatch_Timer, RepeatingTimerTicksEveryIntervalAndCoalescesJumps) {
    int ticks = 0;
    auto timer = Timer::start(Queue::main(), 1.0, true, [&] { ++ticks; });
    const auto advanceAndPump = [&](double seconds) {
        clock->advance(seconds);
        loop().pump();
        return ticks;
    };
    EXPECT_EQ(advanceAndPump(0.5), 0);
    EXPECT_EQ(advanceAndPump(0.5), 1);
    EXPECT_EQ(advanceAndPump(1.0), 2);
    EXPECT_EQ(advanceAndPump(3.5), 3) << "a jump over several intervals ticks once";
    EXPECT_EQ(advanceAndPump(0.5), 4) << "the phase is kept after a jump";
    EXPECT_TRUE(timer->isValid());
}

TEST_F(dispatch_Timer, OneShotTimerFiresOnceThenIsInvalid) {
    int ticks = 0;
    auto timer = Timer::start(Queue::main(), 2.0, false, [&] { ++ticks; });
    clock->advance(2);
    loop().pump();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer->isValid());
    clock->advance(10);
    loop().pump();
    EXPECT_EQ(ticks, 1);
}

TEST_F(dispatch_Timer, StoppedTimerNeverTicksAgain) {
    struct Case {
        std::string name;
        std::function<void(std::shared_ptr<Timer>&)> stop;
    };
    const std::vector<Case> cases{
        {"cancel before due", [](auto& timer) { timer->cancel(); }},
        {"cancel with a tick already queued",
         [this](auto& timer) {
             clock->advance(1);
             timer->cancel();
         }},
        {"drop the last reference", [](auto& timer) { timer.reset(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int ticks = 0;
        auto timer = Timer::start(Queue::main(), 1.0, true, [&] { ++ticks; });
        c.stop(timer);
        clock->advance(5);
        loop().pump();
        EXPECT_EQ(ticks, 0);
        EXPECT_TRUE(!timer || !timer->isValid());
    }
}

TEST_F(dispatch_Timer, TimerCanCancelItselfFromItsBlock) {
    int ticks = 0;
    std::shared_ptr<Timer> timer;
    timer = Timer::start(Queue::main(), 1.0, true, [&] {
        if (++ticks == 2) timer->cancel();
    });
    for (int i = 0; i < 4; ++i) {
        clock->advance(1);
        loop().pump();
    }
    EXPECT_EQ(ticks, 2);
}

} // namespace
} // namespace dispatch
