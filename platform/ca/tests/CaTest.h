#pragma once
// Fixture for layer tests: the test thread is the main thread and media time is virtual, so
// animations move only when a test advances the clock.

#include "platform/ca/AnimationTicker.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

#include <gtest/gtest.h>

#include <memory>

namespace ca {

class CaTest : public ::testing::Test {
protected:
    void SetUp() override {
        dispatch::RunLoop::setMainThread();
        dispatch::Clock::setCurrent(clock);
    }
    void TearDown() override {
        dispatch::RunLoop::main().pump();
        dispatch::Clock::setCurrent(nullptr);
    }
    // Moves media time forward and runs what became due on the main queue (animation ticks).
    void advance(double seconds) {
        clock->advance(seconds);
        dispatch::RunLoop::main().pump();
    }
    double now() const { return clock->monotonicTime(); }

    std::shared_ptr<dispatch::VirtualClock> clock = std::make_shared<dispatch::VirtualClock>();
};

} // namespace ca
