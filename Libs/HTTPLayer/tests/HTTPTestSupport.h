#pragma once
// Shared pieces of the HTTP layer's network tests: a manager on an ephemeral session with the
// default header fields, a loopback server, and waiting on the main run loop.

#include "Libs/HTTPLayer/SessionManager.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <optional>

namespace http::testkit {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

struct ManagerFixture : ::testing::Test {
    std::shared_ptr<SessionManager> manager;

    void SetUp() override { manager = makeManager(); }
    void TearDown() override {
        manager.reset();
        dispatch::Clock::setCurrent(nullptr);
    }

    static std::shared_ptr<SessionManager> makeManager(double requestTimeout = 60) {
        auto configuration = net::URLSessionConfiguration::ephemeralConfiguration();
        configuration.httpAdditionalHeaders = SessionManager::defaultHTTPHeaders();
        configuration.timeoutIntervalForRequest = requestTimeout;
        return SessionManager::create(std::move(configuration));
    }

    // Pumps the main run loop until the slot is filled (the completion ran on the main queue).
    template <class T>
    static const T& await(const std::optional<T>& slot) {
        EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return slot.has_value(); }, 20));
        return *slot;
    }
};

inline std::string text(const std::optional<core::Bytes>& bytes) {
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
}

} // namespace http::testkit
