#include "Libs/HTTPLayer/NetworkReachabilityManager.h"

#include "platform/dispatch/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace http;
using namespace net;
using Status = NetworkReachabilityManager::NetworkReachabilityStatus;
using Type = NetworkReachabilityManager::ConnectionType;

namespace {

// The flags every reference reads while the fixture lives.
struct ReachabilityFixture : ::testing::Test {
    static inline std::atomic<std::uint32_t> flags{0};
    void SetUp() override {
        flags = 0;
        NetworkReachability::setFlagSourceForTesting([](NetworkReachability::TargetKind, const std::string&) { return flags.load(); });
    }
    void TearDown() override {
        NetworkReachability::setFlagSourceForTesting(nullptr);
        dispatch::RunLoop::main().pump();
    }
};

} // namespace

TEST_F(ReachabilityFixture, FlagsMapToStatuses) {
    auto manager = NetworkReachabilityManager::create("example.com");
    ASSERT_TRUE(manager);
    const std::uint32_t R = kReachabilityReachable, C = kReachabilityConnectionRequired, T = kReachabilityConnectionOnTraffic,
                        I = kReachabilityInterventionRequired, D = kReachabilityConnectionOnDemand, W = kReachabilityIsWWAN;
    struct Row {
        std::uint32_t flags;
        Status status;
    };
    const std::vector<Row> rows = {
        {0, Status::notReachable()},
        {W, Status::notReachable()},
        {R, Status::reachable(Type::ethernetOrWiFi)},
        {R | W, Status::reachable(Type::wwan)},
        {R | C, Status::notReachable()},
        {R | C | D, Status::reachable(Type::ethernetOrWiFi)},
        {R | C | T, Status::reachable(Type::ethernetOrWiFi)},
        {R | C | T | I, Status::notReachable()},
        {R | C | D | I, Status::notReachable()},
        {R | T | I, Status::reachable(Type::ethernetOrWiFi)},
    };
    for (const auto& row : rows) {
        flags = row.flags;
        EXPECT_EQ(manager->currentFlags(), row.flags);
        EXPECT_TRUE(manager->currentStatus() == row.status) << std::hex << row.flags;
        const bool wwan = row.status == Status::reachable(Type::wwan);
        const bool wired = row.status == Status::reachable(Type::ethernetOrWiFi);
        EXPECT_EQ(manager->reachableViaWWAN(), wwan);
        EXPECT_EQ(manager->reachableViaEthernetOrWiFi(), wired);
        EXPECT_EQ(manager->reachableNow(), wwan || wired);
    }
    EXPECT_TRUE(NetworkReachabilityManager::create());
    EXPECT_FALSE(NetworkReachabilityManager::create(""));
}

TEST_F(ReachabilityFixture, TheListenerHearsTheCurrentStatusThenEveryChangeOfFlags) {
    auto manager = NetworkReachabilityManager::create("example.com");
    std::vector<std::string> heard;
    manager->setListener([&](Status s) {
        EXPECT_TRUE(dispatch::RunLoop::isMainThread());
        heard.push_back(s.kind == Status::Kind::reachable ? (s.connectionType == Type::wwan ? "wwan" : "wifi") : "none");
    });
    auto settle = [] {
        for (int i = 0; i < 5; ++i) dispatch::RunLoop::main().pump();
    };

    // Flags of 0 at the start report nothing.
    EXPECT_TRUE(manager->beginMonitoring());
    settle();
    EXPECT_TRUE(heard.empty());

    const std::uint32_t steps[] = {kReachabilityReachable, kReachabilityReachable,
                                   kReachabilityReachable | kReachabilityIsDirect, // new flags, same status
                                   kReachabilityReachable | kReachabilityIsWWAN, 0};
    for (auto step : steps) {
        flags = step;
        NetworkReachability::recheckAllForTesting();
        settle();
    }
    EXPECT_EQ(heard, (std::vector<std::string>{"wifi", "wifi", "wwan", "none"}));
    EXPECT_EQ(manager->previousFlags(), 0u);

    // Started again while reachable: the current status once.
    manager->endMonitoring();
    flags = kReachabilityReachable;
    heard.clear();
    manager->beginMonitoring();
    settle();
    EXPECT_EQ(heard, std::vector<std::string>{"wifi"});
}

TEST_F(ReachabilityFixture, AReportAfterTheManagerIsGoneDoesNothing) {
    std::atomic<int> calls{0};
    {
        auto manager = NetworkReachabilityManager::create("example.com");
        manager->setListener([&](Status) { ++calls; });
        manager->beginMonitoring(); // its first report is queued, holding the manager
        flags = kReachabilityReachable;
        NetworkReachability::recheckAllForTesting();
    }
    dispatch::RunLoop::main().pump();
    flags = 0;
    NetworkReachability::recheckAllForTesting();
    dispatch::RunLoop::main().pump();
    EXPECT_LE(calls.load(), 2);
}
