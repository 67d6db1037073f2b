#include "network/Reachability.h"
#include "platform/core/NotificationCenter.h"
#include "platform/dispatch/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

using namespace network;

namespace {

// Replaces the routing table with a value the test sets.
class FlagFixture : public ::testing::Test {
protected:
    void SetUp() override {
        net::NetworkReachability::setFlagSourceForTesting([this](auto, const std::string&) { return flags.load(); });
    }
    void TearDown() override { net::NetworkReachability::setFlagSourceForTesting(nullptr); }
    std::atomic<std::uint32_t> flags{0};
};

} // namespace

TEST_F(FlagFixture, FlagsDecideReachabilityAndStatus) {
    struct Case { std::uint32_t flags; bool onWWAN; bool reachable; NetworkStatus status; const char* text; };
    const Case cases[] = {
        {0x2, true, true, ReachableViaWiFi, "-R -------"},
        {0x7, true, false, NotReachable, "-R ct-----"},
        {0x40002, true, true, ReachableViaWWAN, "WR -------"},
        {0x40002, false, false, NotReachable, "WR -------"},
        {0x0, true, false, NotReachable, "-- -------"},
        {0x30006, true, true, ReachableViaWiFi, "-R c----ld"},
        {0x3F, true, false, NotReachable, "-R ctiCD--"},
    };
    auto monitor = Reachability::reachabilityForInternetConnection();
    ASSERT_TRUE(monitor);
    for (const auto& c : cases) {
        flags = c.flags;
        monitor->reachableOnWWAN = c.onWWAN;
        EXPECT_EQ(monitor->isReachableWithFlags(c.flags), c.reachable) << c.flags;
        EXPECT_EQ(monitor->currentReachabilityStatus(), c.status) << c.flags;
        EXPECT_EQ(monitor->currentReachabilityFlags(), c.text) << c.flags;
    }
    flags = 0x40002;
    monitor->reachableOnWWAN = true;
    EXPECT_EQ(monitor->currentReachabilityString(), "Cellular");
    flags = 0x2;
    EXPECT_EQ(monitor->currentReachabilityString(), "WiFi");
    flags = 0x4;
    EXPECT_TRUE(monitor->isConnectionRequired());
    EXPECT_EQ(monitor->currentReachabilityString(), "No Connection");
    EXPECT_NE(monitor->description().find("(-- c------)>"), std::string::npos) << monitor->description();
}

TEST_F(FlagFixture, ChangesReachTheBlocksInOrderThenTheNotificationOnMain) {
    auto monitor = Reachability::reachabilityForInternetConnection();
    std::mutex m;
    std::vector<std::string> seen;
    auto note = [&](std::string s) {
        std::lock_guard lock(m);
        seen.push_back(std::move(s));
    };
    monitor->reachableBlock = [&](const auto&) { note(dispatch::RunLoop::isMainThread() ? "reachable on main" : "reachable"); };
    monitor->unreachableBlock = [&](const auto&) { note("unreachable"); };
    monitor->reachabilityBlock = [&](const auto&, std::uint32_t f) { note("flags " + std::to_string(f)); };
    auto token = core::NotificationCenter::defaultCenter().addObserver(
        Reachability::kReachabilityChangedNotification, monitor, [&](const core::Notification&) {
            note(dispatch::RunLoop::isMainThread() ? "posted on main" : "posted elsewhere");
        });
    auto count = [&] {
        std::lock_guard lock(m);
        return seen.size();
    };

    flags = 0x2;
    EXPECT_TRUE(monitor->startNotifier());
    EXPECT_TRUE(monitor->startNotifier()); // a second start changes nothing
    // Starting sends no report of its own, and an unchanged reading sends none either.
    net::NetworkReachability::recheckAllForTesting();
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(count(), 0u);

    flags = 0x0;
    net::NetworkReachability::recheckAllForTesting();
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return count() == 3; }));
    flags = 0x2;
    net::NetworkReachability::recheckAllForTesting();
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return count() == 6; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"unreachable", "flags 0", "posted on main", "reachable", "flags 2",
                                              "posted on main"}));

    monitor->stopNotifier();
    flags = 0x0;
    net::NetworkReachability::recheckAllForTesting();
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(count(), 6u);
}

TEST(ReachabilityTest, LoopbackIsAlwaysReachableAndLocal) {
    auto monitor = Reachability::reachabilityWithHostName("localhost");
    ASSERT_TRUE(monitor);
    EXPECT_TRUE(monitor->isReachable());
    EXPECT_EQ(monitor->currentReachabilityFlags(), "-R -----ld");
    EXPECT_TRUE(Reachability::reachabilityForLocalWiFi());
}
