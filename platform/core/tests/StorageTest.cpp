#include "platform/core/Files.h"
#include "platform/core/Keychain.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/PropertyList.h"
#include "platform/core/UserDefaults.h"
#include "platform/core/testing/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace core;
namespace fs = std::filesystem;

namespace {

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

Dictionary itemQuery(const std::string& key) {
    return Dictionary{{keychain::kClass, keychain::kClassGenericPassword},
                      {keychain::kAttrService, key},
                      {keychain::kAttrAccount, key}};
}

} // namespace

TEST(PathsTest, FollowHomeAndXdgVariables) {
    testkit::TempHome home;
    EXPECT_EQ(paths::configHome(), home.path() + "/.config/quillora");
    EXPECT_EQ(paths::dataHome(), home.path() + "/.local/share/quillora");
    ::setenv("XDG_CACHE_HOME", "/elsewhere", 1);
    EXPECT_EQ(paths::cacheHome(), "/elsewhere/quillora");
    ::setenv("XDG_CACHE_HOME", "relative", 1); // relative values are ignored
    EXPECT_EQ(paths::cacheHome(), home.path() + "/.cache/quillora");
    ::unsetenv("XDG_CACHE_HOME");
}

TEST(FilesTest, AtomicWriteReplacesWholeOrNothing) {
    testkit::TempHome home;
    std::string path = home.path() + "/a/b/file";
    ASSERT_TRUE(files::writeAtomically(path, std::string_view("first"), 0600));
    EXPECT_EQ(modeOf(path), 0600u);
    files::failWriteForTesting(1);
    EXPECT_FALSE(files::writeAtomically(path, std::string_view("second")));
    auto back = files::read(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::string(back->begin(), back->end()), "first");
    // No temporary file is left behind by the failed write.
    EXPECT_EQ(std::distance(fs::directory_iterator(home.path() + "/a/b"), fs::directory_iterator()), 1);
    EXPECT_FALSE(files::read(home.path() + "/missing"));
}

TEST(UserDefaultsTest, WritesThroughAndSurvivesASecondProcess) {
    testkit::TempHome home;
    auto& defaults = UserDefaults::standard();
    EXPECT_FALSE(defaults.objectForKey("SERVER_URL"));
    EXPECT_TRUE(defaults.setObject(Value("http://example.test/"), "SERVER_URL"));
    EXPECT_TRUE(defaults.setObject(Value(Array{Value("b"), Value("a")}), "history"));
    // Nothing synchronised: the values are on disk anyway.
    EXPECT_EQ(testkit::runTestInChildProcess("UserDefaultsTest.DISABLED_SecondProcessReadsValues"), 0);
    defaults.removeObjectForKey("history");
    UserDefaults::resetStandardForTesting();
    EXPECT_FALSE(UserDefaults::standard().objectForKey("history"));
}

TEST(UserDefaultsTest, DISABLED_SecondProcessReadsValues) {
    auto& defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.stringForKey("SERVER_URL"), "http://example.test/");
    EXPECT_EQ(*defaults.objectForKey("history"), Value(Array{Value("b"), Value("a")}));
}

TEST(UserDefaultsTest, RefusesValuesAPropertyListCannotHold) {
    testkit::TempHome home;
    LogCapture log;
    EXPECT_FALSE(UserDefaults::standard().setObject(Value(), "k"));
    EXPECT_FALSE(UserDefaults::standard().objectForKey("k"));
    EXPECT_EQ(log.lines().size(), 1u);
}

TEST(UserDefaultsTest, CorruptOrTruncatedFileCountsAsEmptyAndIsKeptAside) {
    auto valid = plist::write(Value(Dictionary{{"SERVER_URL", "http://kept.test/"}, {"x", Array{Value(1)}}}),
                              plist::Format::Xml);
    ASSERT_TRUE(valid);
    const std::string inputs[] = {
        "garbage that is no property list",
        std::string(valid->begin(), valid->begin() + static_cast<long>(valid->size() / 2)), // truncated
        R"(<?xml version="1.0"?><plist version="1.0"><string>not a dictionary</string></plist>)",
    };
    for (const auto& content : inputs) {
        testkit::TempHome home;
        std::string path = paths::configHome() + "/preferences.plist";
        ASSERT_TRUE(files::writeAtomically(path, content));
        LogCapture log;
        auto& defaults = UserDefaults::standard();
        EXPECT_FALSE(defaults.objectForKey("SERVER_URL"));
        EXPECT_EQ(log.lines().size(), 1u);
        // The damaged file is moved aside, not overwritten, and new settings are written whole.
        auto aside = files::read(path + ".corrupt.1");
        ASSERT_TRUE(aside);
        EXPECT_EQ(std::string(aside->begin(), aside->end()), content);
        EXPECT_TRUE(defaults.setObject(Value("v"), "k"));
        auto reread = plist::read(*files::read(path));
        ASSERT_TRUE(reread);
        EXPECT_EQ(reread->value, Value(Dictionary{{"k", "v"}}));
    }
}

TEST(UserDefaultsTest, AFailedWriteIsRetriedBySynchronize) {
    testkit::TempHome home;
    auto& defaults = UserDefaults::standard();
    LogCapture log;
    files::failWriteForTesting(1);
    EXPECT_FALSE(defaults.setObject(Value("v"), "k"));
    EXPECT_EQ(defaults.stringForKey("k"), "v"); // still visible in this process
    EXPECT_TRUE(defaults.synchronize());
    UserDefaults::resetStandardForTesting();
    EXPECT_EQ(UserDefaults::standard().stringForKey("k"), "v");
}

TEST(KeychainTest, AddCopyRemove) {
    testkit::TempHome home;
    Bytes secret{1, 2, 3};
    Dictionary attributes = itemQuery("svc");
    attributes.set(keychain::kAttrAccessible, keychain::kAccessibleAfterFirstUnlock);
    attributes.set(keychain::kValueData, secret);
    EXPECT_EQ(keychain::add(attributes), keychain::kSuccess);
    EXPECT_EQ(keychain::add(attributes), keychain::kDuplicateItem);

    Dictionary query = itemQuery("svc");
    query.set(keychain::kReturnData, true);
    query.set(keychain::kMatchLimit, keychain::kMatchLimitOne);
    Bytes out;
    EXPECT_EQ(keychain::copyMatching(query, &out), keychain::kSuccess);
    EXPECT_EQ(out, secret);
    EXPECT_EQ(keychain::copyMatching(itemQuery("other"), &out), keychain::kItemNotFound);

    // Item files are private to the user.
    EXPECT_EQ(modeOf(keychain::folder()), 0700u);
    for (const auto& entry : fs::directory_iterator(keychain::folder())) EXPECT_EQ(modeOf(entry.path()), 0600u);

    EXPECT_EQ(keychain::remove(itemQuery("svc")), keychain::kSuccess);
    EXPECT_EQ(keychain::remove(itemQuery("svc")), keychain::kItemNotFound);
    EXPECT_EQ(keychain::add(Dictionary{{keychain::kClass, "other"}}), keychain::kParam);
}

TEST(KeychainTest, DamagedItemIsLoggedAbsentAndReplaceable) {
    testkit::TempHome home;
    Dictionary attributes = itemQuery("svc");
    attributes.set(keychain::kValueData, Bytes{9});
    ASSERT_EQ(keychain::add(attributes), keychain::kSuccess);
    for (const auto& entry : fs::directory_iterator(keychain::folder()))
        ASSERT_TRUE(files::writeAtomically(entry.path().string(), std::string_view("damaged"), 0600));
    LogCapture log;
    Bytes out;
    EXPECT_EQ(keychain::copyMatching(itemQuery("svc"), &out), keychain::kItemNotFound);
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(keychain::add(attributes), keychain::kSuccess);
}
