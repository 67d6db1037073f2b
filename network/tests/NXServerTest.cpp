#include "network/NXServer.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/core/testing/TempHome.h"

#include <gtest/gtest.h>

using namespace network;

namespace {
class NXServerTest : public ::testing::Test {
protected:
    void SetUp() override { NXServer::resetForTesting(); }
    void TearDown() override { NXServer::resetForTesting(); }
    core::testkit::TempHome home;
};
} // namespace

TEST_F(NXServerTest, StartValues) {
    auto server = NXServer::shared();
    EXPECT_EQ(server->getServerStatus(), -1);
    EXPECT_EQ(server->getAsName(), "loc");
    EXPECT_EQ(server, NXServer::shared());
}

TEST_F(NXServerTest, GetUrlDistinguishesEmptyTextFromNothing) {
    struct Case { const char* name; std::int64_t status; std::optional<std::string> stored; std::optional<std::string> url; };
    const Case cases[] = {
        {"before any switch", -1, "http://a.test", std::string()},
        {"switch refused the app", 0, "http://a.test", std::string()},
        {"status 1 without a stored URL", 1, std::nullopt, std::nullopt},
        {"status 1 with an empty stored URL", 1, std::string(), std::nullopt},
        {"status 1 with a stored URL", 1, "http://a.test/x", "http://a.test/x"},
    };
    auto server = NXServer::shared();
    for (const auto& c : cases) {
        core::UserDefaults::standard().removeObjectForKey(NXServer::kServerUrlKey);
        if (c.stored) server->setDefaultUrl(*c.stored);
        server->setServerStatus(c.status);
        EXPECT_EQ(server->getUrl(), c.url) << c.name;
    }
}

TEST_F(NXServerTest, DefaultUrlPersistsWithoutSynchronising) {
    NXServer::shared()->setDefaultUrl("http://kept.test");
    core::UserDefaults::resetStandardForTesting(); // as if the process had ended
    NXServer::shared()->setServerStatus(1);
    EXPECT_EQ(NXServer::shared()->getUrl(), "http://kept.test");
}

TEST_F(NXServerTest, ChangeUrlWarnsOnAnEmptyShortName) {
    auto server = NXServer::shared();
    core::LogCapture log;
    EXPECT_EQ(server->getChangeUrl(), NXServer::switchBaseUrl() + "/index.php/Index/Index/index");
    EXPECT_TRUE(log.lines().empty());
    server->setupAsName("");
    EXPECT_EQ(server->getChangeUrl(), NXServer::switchBaseUrl() + "/index.php/Index/Index/index");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"未设置英文别名"});
}
