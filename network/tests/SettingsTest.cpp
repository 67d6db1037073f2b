#include "network/NXUserDefault.h"
#include "network/QNStorge.h"
#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/core/testing/TempHome.h"

#include <gtest/gtest.h>

using namespace network;
using core::Array;
using core::Value;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { NXUserDefault::shared().resetForTesting(); }
    void TearDown() override { NXUserDefault::shared().resetForTesting(); }

    static std::vector<std::string> numbered(int n) {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) out.push_back("q" + std::to_string(i));
        return out;
    }
    static void store(const std::vector<std::string>& list) {
        NXUserDefault::shared().setValue(Value(Array(list.begin(), list.end())), QNStorge::kHistoryKey);
    }

    core::testkit::TempHome home;
};

} // namespace

TEST_F(SettingsTest, SetValueRemovesForNothingEmptyTextAndSinglePrecisionZero) {
    struct Case { const char* name; std::optional<Value> value; bool stored; };
    const Case cases[] = {
        {"nothing", std::nullopt, false},
        {"empty text", Value(""), false},
        {"integer 0", Value(0), false},
        {"false", Value(false), false},
        {"0.0", Value(0.0), false},
        {"-0.0", Value(-0.0), false},
        {"underflows in float", Value(1e-50), false},
        {"0.5", Value(0.5), true},
        {"true", Value(true), true},
        {"text", Value("x"), true},
        {"text 0 is not a number", Value("0"), true},
        {"empty list", Value(Array{}), true},
    };
    auto& settings = NXUserDefault::shared();
    for (const auto& c : cases) {
        settings.setValue(Value("previous"), "k");
        settings.setValue(c.value, "k");
        auto read = settings.value("k");
        auto onDisk = core::UserDefaults::standard().objectForKey("k");
        if (c.stored) {
            EXPECT_EQ(read, c.value) << c.name;
            EXPECT_EQ(onDisk, c.value) << c.name;
        } else {
            EXPECT_FALSE(read) << c.name;
            EXPECT_FALSE(onDisk) << c.name;
        }
    }
}

TEST_F(SettingsTest, ValueFallsBackToThisRunsCopy) {
    // A value the defaults refuse (not a property-list value) is still kept for this run.
    core::LogCapture quiet;
    auto& settings = NXUserDefault::shared();
    Value notStorable(Array{Value()});
    settings.setValue(notStorable, "k");
    EXPECT_EQ(settings.value("k"), notStorable);
    settings.setValue(Value("x"), "k");
    EXPECT_EQ(settings.value("k"), Value("x"));
}

TEST_F(SettingsTest, HistoryOrderDeduplicationAndCap) {
    struct Case { const char* name; std::vector<std::string> before; std::string add; std::vector<std::string> after; };
    std::vector<std::string> hundred = numbered(100);
    std::vector<std::string> capped = hundred;
    capped.insert(capped.begin(), "new");
    capped.pop_back();
    std::vector<std::string> movedFromEnd = hundred;
    movedFromEnd.pop_back();
    movedFromEnd.insert(movedFromEnd.begin(), "q99");
    const Case cases[] = {
        {"first entry", {}, "a", {"a"}},
        {"moves an existing entry to the front", {"a", "b", "c"}, "b", {"b", "a", "c"}},
        {"new entries go first", {"a"}, "b", {"b", "a"}},
        {"the empty text changes nothing", {"a", "b"}, "", {"a", "b"}},
        {"a new text on 100 drops the oldest", hundred, "new", capped},
        {"an existing text on 100 keeps all 100", hundred, "q99", movedFromEnd},
    };
    for (const auto& c : cases) {
        store(c.before);
        QNStorge::addHistory(c.add);
        EXPECT_EQ(QNStorge::history(), c.after) << c.name;
    }
}

TEST_F(SettingsTest, EmptyHistoryIsStoredNotRemoved) {
    store({});
    EXPECT_EQ(core::UserDefaults::standard().objectForKey("history"), Value(Array{}));
}

TEST_F(SettingsTest, HistoryThatIsNotAListCountsAsEmpty) {
    NXUserDefault::shared().setValue(Value("oops"), QNStorge::kHistoryKey);
    EXPECT_TRUE(QNStorge::history().empty());
    QNStorge::addHistory("a");
    EXPECT_EQ(QNStorge::history(), std::vector<std::string>{"a"});
}

TEST_F(SettingsTest, HistorySurvivesASecondProcess) {
    QNStorge::addHistory("一");
    QNStorge::addHistory("二");
    QNStorge::addHistory("一");
    ASSERT_TRUE(core::UserDefaults::standard().synchronize()); // the writer thread's write is done
    EXPECT_EQ(core::testkit::runTestInChildProcess("SettingsChildTest.DISABLED_SecondProcessReadsHistory"), 0);
}

// Runs in a child process with the parent's HOME (so without the fixture's own temporary home).
TEST(SettingsChildTest, DISABLED_SecondProcessReadsHistory) {
    EXPECT_EQ(QNStorge::history(), (std::vector<std::string>{"一", "二"}));
}

TEST_F(SettingsTest, CorruptSettingsFileIsLoggedAndCountsAsEmpty) {
    ASSERT_TRUE(core::files::writeAtomically(core::paths::configHome() + "/preferences.plist",
                                             std::string_view("<plist><array><string>half")));
    core::UserDefaults::resetStandardForTesting();
    core::LogCapture log;
    EXPECT_TRUE(QNStorge::history().empty());
    EXPECT_EQ(log.lines().size(), 1u);
    QNStorge::addHistory("a");
    core::UserDefaults::resetStandardForTesting();
    EXPECT_EQ(QNStorge::history(), std::vector<std::string>{"a"});
}
