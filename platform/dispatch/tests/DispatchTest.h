#pragma once
// Fixture for dispatch tests: the test thread is the main thread and time is virtual, so delayed
// work happens only when a test advances the clock and, for the main queue, pumps the loop.

#include <gtest/gtest.h>

#include <memory>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace dispatch {

// Real seconds a test waits for background threads at most; reached only when a test fails.
constexpr double kSafetyBound = 10.0;

// Each test file aliases this fixture as dispatch_<Area>, so `ctest -R dispatch` selects
// exactly this library's cases.
class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::setMainThread();
        Clock::setCurrent(clock);
    }
    void TearDown() override {
        loop().pump();
        Clock::setCurrent(nullptr);
    }

    static RunLoop& loop() { return RunLoop::main(); }

    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
};

} // namespace dispatch
