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
#include <thread>

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

// Every component of the path must end up a folder: a regular file in the way is an error, not a
// folder that "already exists".
TEST(FilesTest, CreateDirectoriesMakesFoldersOrSaysWhyNot) {
    testkit::TempHome home;
    const std::string root = home.path();
    ASSERT_TRUE(files::writeAtomically(root + "/plain", std::string_view("x")));
    ASSERT_TRUE(files::createDirectories(root + "/real"));
    ASSERT_EQ(::symlink((root + "/real").c_str(), (root + "/link").c_str()), 0);
    struct Row {
        const char* what;
        std::string path;
        int error; // 0: success
    };
    const std::vector<Row> rows = {
        {"new chain", root + "/n1/n2/n3", 0},
        {"existing folder", root + "/real", 0},
        {"trailing slash", root + "/n4/", 0},
        {"through a link to a folder", root + "/link/inside", 0},
        {"regular file at the end", root + "/plain", ENOTDIR},
        {"regular file in the middle", root + "/plain/below", ENOTDIR},
        {"empty path", "", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto made = files::createDirectories(row.path);
        if (row.error == 0) {
            EXPECT_TRUE(made);
            if (!row.path.empty()) {
                EXPECT_TRUE(fs::is_directory(row.path));
            }
        } else {
            ASSERT_FALSE(made);
            EXPECT_EQ(made.error().code, row.error);
        }
    }
    EXPECT_TRUE(fs::is_regular_file(root + "/plain"));
}

TEST(UserDefaultsTest, WritesThroughAndSurvivesASecondProcess) {
    testkit::TempHome home;
    auto& defaults = UserDefaults::standard();
    EXPECT_FALSE(defaults.objectForKey("SERVER_URL"));
    EXPECT_TRUE(defaults.setObject(Value("http://example.test/"), "SERVER_URL"));
    EXPECT_TRUE(defaults.setObject(Value(Array{Value("b"), Value("a")}), "history"));
    EXPECT_EQ(defaults.stringForKey("SERVER_URL"), "http://example.test/"); // read back at once
    EXPECT_TRUE(defaults.synchronize());
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

TEST(UserDefaultsTest, AValueSetRightBeforeANormalExitIsOnDisk) {
    testkit::TempHome home;
    // The child sets the values and ends at once, without synchronising.
    EXPECT_EQ(testkit::runTestInChildProcess("UserDefaultsTest.DISABLED_SetValuesAndExit"), 0);
    UserDefaults::resetStandardForTesting();
    EXPECT_EQ(UserDefaults::standard().stringForKey("SERVER_URL"), "http://example.test/");
    EXPECT_EQ(UserDefaults::standard().objectForKey("history"), Value(Array{Value("b"), Value("a")}));
}

TEST(UserDefaultsTest, DISABLED_SetValuesAndExit) {
    auto& defaults = UserDefaults::standard();
    EXPECT_TRUE(defaults.setObject(Value("http://example.test/"), "SERVER_URL"));
    EXPECT_TRUE(defaults.setObject(Value(Array{Value("b"), Value("a")}), "history"));
}

TEST(UserDefaultsTest, WritesRunOffTheMainThreadAndSkipUnchangedValues) {
    testkit::TempHome home;
    auto& defaults = UserDefaults::standard();
    std::string path = defaults.path();
    int before = UserDefaults::mainThreadWritesForTesting();
    EXPECT_TRUE(defaults.setObject(Value("1"), "active_pas"));
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(defaults.setObject(Value(std::to_string(i)), "active_pas"));
    defaults.removeObjectForKey("active_pas");
    EXPECT_TRUE(defaults.setObject(Value("3"), "active_pas"));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults::mainThreadWritesForTesting(), before);

    // Every write replaces the file with a new one, so an unchanged inode means nothing was written.
    struct stat first {};
    ASSERT_EQ(::stat(path.c_str(), &first), 0);
    EXPECT_TRUE(defaults.setObject(Value("3"), "active_pas"));
    defaults.removeObjectForKey("absent");
    ASSERT_TRUE(defaults.synchronize());
    struct stat second {};
    ASSERT_EQ(::stat(path.c_str(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino);
    EXPECT_EQ(first.st_mtim.tv_nsec, second.st_mtim.tv_nsec);

    EXPECT_TRUE(defaults.setObject(Value("4"), "active_pas"));
    ASSERT_TRUE(defaults.synchronize());
    struct stat third {};
    ASSERT_EQ(::stat(path.c_str(), &third), 0);
    EXPECT_NE(first.st_ino, third.st_ino);
    EXPECT_EQ(plist::read(*files::read(path))->value, Value(Dictionary{{"active_pas", "4"}}));
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
        EXPECT_TRUE(defaults.synchronize());
        EXPECT_EQ(*files::read(path + ".corrupt.1"), *aside); // the writer left the kept file alone
        auto reread = plist::read(*files::read(path));
        ASSERT_TRUE(reread);
        EXPECT_EQ(reread->value, Value(Dictionary{{"k", "v"}}));
    }
}

TEST(UserDefaultsTest, AFailedWriteIsRetriedBySynchronize) {
    testkit::TempHome home;
    auto& defaults = UserDefaults::standard();
    ASSERT_TRUE(defaults.setObject(Value("old"), "k"));
    ASSERT_TRUE(defaults.synchronize());
    LogCapture log;
    files::failWriteForTesting(1);
    EXPECT_TRUE(defaults.setObject(Value("v"), "k")); // the write itself fails on the writer
    EXPECT_EQ(defaults.stringForKey("k"), "v"); // still visible in this process
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(log.lines().size(), 1u); // the failed write, logged
    UserDefaults::resetStandardForTesting();
    EXPECT_EQ(UserDefaults::standard().stringForKey("k"), "v");
}

// Without anyone synchronising, setting the same value again retries a write that failed, and
// destroying the store tries once more.
TEST(UserDefaultsTest, AFailedWriteIsRetriedByTheNextSetAndAtTheEnd) {
    testkit::TempHome home;
    const std::string path = home.path() + "/prefs.plist";
    LogCapture log;
    {
        UserDefaults defaults(path);
        files::failWriteForTesting(1);
        EXPECT_TRUE(defaults.setObject(Value("v"), "k"));
        while (log.lines().empty()) std::this_thread::yield(); // the writer's write failed
        EXPECT_FALSE(files::exists(path));
        EXPECT_TRUE(defaults.setObject(Value("v"), "k"));
        EXPECT_TRUE(defaults.synchronize());
        EXPECT_EQ(plist::read(*files::read(path))->value, Value(Dictionary{{"k", "v"}}));

        files::failWriteForTesting(1);
        EXPECT_TRUE(defaults.setObject(Value("w"), "k"));
    }
    EXPECT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(plist::read(*files::read(path))->value, Value(Dictionary{{"k", "w"}}));
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

// A keychain that cannot be written says so once, however often the app tries to save, and again
// only after a save has gone through.
TEST(KeychainTest, AKeychainThatCannotBeWrittenSaysSoOnce) {
    testkit::TempHome home;
    Dictionary attributes = itemQuery("svc");
    attributes.set(keychain::kValueData, Bytes{9});
    LogCapture log;
    for (int i = 0; i < 3; ++i) {
        files::failWriteForTesting(1);
        EXPECT_EQ(keychain::add(attributes), keychain::kIO);
    }
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("Keychain item could not be saved: ", 0), 0u) << log.lines()[0];
    EXPECT_EQ(keychain::add(attributes), keychain::kSuccess);
    files::failWriteForTesting(1);
    EXPECT_EQ(keychain::update(itemQuery("svc"), Dictionary{{keychain::kValueData, Bytes{7}}}), keychain::kIO);
    EXPECT_EQ(log.lines().size(), 2u);
}
