#include "Libs/HTTPLayer/Timeline.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using http::Timeline;

namespace {

TEST(Timeline, DurationsAreDifferences) {
    Timeline t(100.0, 100.25, 101.5, 101.75);
    EXPECT_DOUBLE_EQ(t.requestStartTime(), 100.0);
    EXPECT_DOUBLE_EQ(t.initialResponseTime(), 100.25);
    EXPECT_DOUBLE_EQ(t.requestCompletedTime(), 101.5);
    EXPECT_DOUBLE_EQ(t.serializationCompletedTime(), 101.75);
    EXPECT_DOUBLE_EQ(t.latency(), 0.25);
    EXPECT_DOUBLE_EQ(t.requestDuration(), 1.5);
    EXPECT_DOUBLE_EQ(t.serializationDuration(), 0.25);
    EXPECT_DOUBLE_EQ(t.totalDuration(), 1.75);
}

TEST(Timeline, Texts) {
    struct Case {
        Timeline timeline;
        const char* description;
        const char* debugDescription;
    } cases[] = {
        {Timeline(100.0, 100.25, 101.5, 101.75),
         "Timeline: { \"Latency\": 0.250 secs, \"Request Duration\": 1.500 secs, \"Serialization Duration\": 0.250 "
         "secs, \"Total Duration\": 1.750 secs }",
         "Timeline: { \"Request Start Time\": 100.000, \"Initial Response Time\": 100.250, \"Request Completed "
         "Time\": 101.500, \"Serialization Completed Time\": 101.750, \"Latency\": 0.250 secs, \"Request Duration\": "
         "1.500 secs, \"Serialization Duration\": 0.250 secs, \"Total Duration\": 1.750 secs }"},
        {Timeline(),
         "Timeline: { \"Latency\": 0.000 secs, \"Request Duration\": 0.000 secs, \"Serialization Duration\": 0.000 "
         "secs, \"Total Duration\": 0.000 secs }",
         "Timeline: { \"Request Start Time\": 0.000, \"Initial Response Time\": 0.000, \"Request Completed Time\": "
         "0.000, \"Serialization Completed Time\": 0.000, \"Latency\": 0.000 secs, \"Request Duration\": 0.000 secs, "
         "\"Serialization Duration\": 0.000 secs, \"Total Duration\": 0.000 secs }"},
        // A request made with an error and no task: start stamped after the end; nothing clamps.
        {Timeline(750000000.5, 750000000.25, 750000000.25, 750000000.5),
         "Timeline: { \"Latency\": -0.250 secs, \"Request Duration\": -0.250 secs, \"Serialization Duration\": "
         "0.250 secs, \"Total Duration\": 0.000 secs }",
         "Timeline: { \"Request Start Time\": 750000000.500, \"Initial Response Time\": 750000000.250, \"Request "
         "Completed Time\": 750000000.250, \"Serialization Completed Time\": 750000000.500, \"Latency\": -0.250 secs, "
         "\"Request Duration\": -0.250 secs, \"Serialization Duration\": 0.250 secs, \"Total Duration\": 0.000 secs }"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.timeline.description(), c.description);
        EXPECT_EQ(c.timeline.debugDescription(), c.debugDescription);
    }
}

TEST(Timeline, NoDataEventMeansLatencyEqualsRequestDuration) {
    Timeline t(10.0, 12.0, 12.0, 12.5);
    EXPECT_DOUBLE_EQ(t.latency(), t.requestDuration());
}

TEST(After, ZeroDelayStillRunsLater) {
    dispatch::RunLoop::setMainThread();
    bool ran = false;
    http::after(dispatch::Queue::main(), 0, [&] { ran = true; });
    EXPECT_FALSE(ran); // never before the call returns
    EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return ran; }));
}

TEST(After, WaitsForTheDelayOnTheClock) {
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    auto queue = dispatch::Queue::serial("httplayer.test.after.delay");
    std::atomic<bool> ran{false};
    http::after(queue, 2.0, [&] { ran = true; });
    clock->advance(1.0);
    queue->sync([] {});
    EXPECT_FALSE(ran);
    clock->advance(1.5);
    for (int i = 0; i < 2000 && !ran; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(ran);
    dispatch::Clock::setCurrent(nullptr);
}

} // namespace
