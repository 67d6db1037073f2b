#include "network/KeyChainStore.h"
#include "network/MWUUID.h"
#include "platform/core/Keychain.h"
#include "platform/core/Log.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/Clock.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

using namespace network;
using core::Dictionary;
using core::Value;

// Expected digests were computed independently with Python's hashlib.
TEST(SigningTest, SignatureMatchesIndependentlyComputedDigests) {
    struct Case { const char* name; Dictionary params; const char* salt; const char* sign; };
    const Case cases[] = {
        {"empty dictionary signs only the salt", {}, "", "08aa01d205f69da21dcb34a0efab0727"},
        {"ordinary request", {{"random_time", "1700000000"}, {"pages", "1"}}, "", "48db89b24eba555251256bf3fb767966"},
        {"values '', 'sign' and 'key' are skipped, a key named key is not",
         {{"a", ""}, {"b", "sign"}, {"c", "key"}, {"key", "abc"}}, "", "299623fefb086b82c3092c9baef2ad5a"},
        {"digit runs compare by value, case-sensitive", {{"a10", "x"}, {"a9", "y"}, {"B", "z"}}, "",
         "7b4f2d1478200d9e35b0b6c202615d3e"},
        {"non-ASCII values go in raw", {{"search_text", "恋爱"}, {"pages", "2"}}, "", "489e08e6898694b52201c2d78c6fa153"},
        {"an explicit salt is hashed as given", {{"asname", "nx_quillora_release"}}, "abc", "b020b33739a24c81a8c839899598383e"},
    };
    for (const auto& c : cases) EXPECT_EQ(MWUUID::CreateMD5SignForPayWithDict(c.params, c.salt), c.sign) << c.name;
    EXPECT_EQ(MWUUID::CreateMD5SignForPayWithDict(Dictionary{{"x", "1"}}), "652eecc8071753211743bc5a681582f5");
}

TEST(SigningTest, Md5IsLowerCaseHexOfUtf8) {
    EXPECT_EQ(MWUUID::SetMD5("hello"), "5d41402abc4b2a76b9719d911017c592");
    EXPECT_EQ(MWUUID::SetMD5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MWUUID::SetMD5("中文"), "a7bac2239fcdcb3a067903d8077c4a07");
}

TEST(SigningTest, NumericComparison) {
    struct Case { const char* a; const char* b; int sign; };
    const Case cases[] = {
        {"a9", "a10", -1}, {"a10", "a9", 1}, {"page2", "page10", -1}, {"a", "B", 1}, {"abc", "abd", -1},
        {"a", "a1", -1}, {"x007", "x7", 0}, {"10", "9", 1}, {"a2b", "a2a", 1}, {"", "", 0},
        {"99999999999999999999999", "100000000000000000000000", -1}, // longer than 64 bits
    };
    for (const auto& c : cases) {
        int r = MWUUID::compareNumeric(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(SigningTest, TimestampCutsTheFractionNeverRoundsUp) {
    auto clock = std::make_shared<dispatch::VirtualClock>(1700000000.9);
    dispatch::Clock::setCurrent(clock);
    EXPECT_EQ(MWUUID::GETCurrentTimestamp(), "1700000000");
    clock->advance(0.1);
    EXPECT_EQ(MWUUID::GETCurrentTimestamp(), "1700000001");
    dispatch::Clock::setCurrent(nullptr);
}

namespace {
bool looksLikeUpperUuid(const std::string& s) {
    if (s.size() != 36) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != '-' : !(std::isdigit(static_cast<unsigned char>(s[i])) || (s[i] >= 'A' && s[i] <= 'F')))
            return false;
    }
    return true;
}
} // namespace

TEST(DeviceIdTest, CreatedOnceAndKeptAcrossProcesses) {
    core::testkit::TempHome home;
    std::string id = MWUUID::getUUID();
    EXPECT_TRUE(looksLikeUpperUuid(id)) << id;
    EXPECT_EQ(MWUUID::getUUID(), id);
    EXPECT_EQ(MWUUID::getMd5UUID(), MWUUID::SetMD5(id + "123456"));
    ::setenv("QUILLORA_EXPECTED_DEVICE_ID", id.c_str(), 1);
    EXPECT_EQ(core::testkit::runTestInChildProcess("DeviceIdTest.DISABLED_SecondProcessSeesTheSameId"), 0);
    ::unsetenv("QUILLORA_EXPECTED_DEVICE_ID");
}

TEST(DeviceIdTest, DISABLED_SecondProcessSeesTheSameId) {
    EXPECT_EQ(MWUUID::getUUID(), std::getenv("QUILLORA_EXPECTED_DEVICE_ID"));
}

TEST(DeviceIdTest, StoredAsAKeyedArchiveOfTheText) {
    core::testkit::TempHome home;
    std::string id = MWUUID::getUUID();
    EXPECT_EQ(KeyChainStore::load(MWUUID::kDeviceIdKey), Value(id));
    KeyChainStore::deleteKeyData(MWUUID::kDeviceIdKey);
    EXPECT_FALSE(KeyChainStore::load(MWUUID::kDeviceIdKey));
}

TEST(DeviceIdTest, UnreadableOrEmptyItemIsKeptAsideAndReplaced) {
    struct Case { const char* name; std::function<void()> damage; bool logsUnarchive; };
    const Case cases[] = {
        {"not an archive", [] {
             auto q = KeyChainStore::getKeychainQuery(MWUUID::kDeviceIdKey);
             core::keychain::remove(q);
             q.set(core::keychain::kValueData, core::Bytes{'j', 'u', 'n', 'k'});
             core::keychain::add(q);
         }, true},
        {"empty text", [] { KeyChainStore::save(MWUUID::kDeviceIdKey, Value("")); }, false},
        {"damaged item file", [] {
             for (const auto& f : std::filesystem::directory_iterator(core::keychain::folder()))
                 std::ofstream(f.path(), std::ios::trunc) << "damaged";
         }, false},
    };
    for (const auto& c : cases) {
        core::testkit::TempHome home;
        std::string first = MWUUID::getUUID();
        c.damage();
        core::LogCapture log;
        std::string second = MWUUID::getUUID();
        EXPECT_TRUE(looksLikeUpperUuid(second)) << c.name;
        EXPECT_NE(second, first) << c.name;
        EXPECT_EQ(MWUUID::getUUID(), second) << c.name << ": the new identifier is stored";
        const std::string prefix = "Unarchive of com.company.app.usernamepassword failed: ";
        bool sawUnarchive = false;
        for (const auto& line : log.lines()) sawUnarchive |= line.rfind(prefix, 0) == 0 && line.size() > prefix.size();
        EXPECT_EQ(sawUnarchive, c.logsUnarchive) << c.name;
        // A damaged item is kept beside the new one, never deleted.
        int kept = 0;
        for (const auto& f : std::filesystem::directory_iterator(core::keychain::folder()))
            kept += f.path().string().ends_with(".corrupt.1");
        EXPECT_EQ(kept, std::string(c.name) == "empty text" ? 0 : 1) << c.name;
    }
}
