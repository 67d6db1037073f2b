// What the app does with damaged or unusable storage: the settings file and the keychain item of
// the device identifier, each damaged in the ways a disk or a user can damage them.

#include "network/KeyChainStore.h"
#include "network/MWUUID.h"
#include "network/NXUserDefault.h"
#include "platform/core/Files.h"
#include "platform/core/KeyedArchive.h"
#include "platform/core/Keychain.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/PropertyList.h"
#include "platform/core/UserDefaults.h"
#include "platform/core/testing/TempHome.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>

using namespace network;
namespace fs = std::filesystem;

namespace {

enum class Fault { truncated, random, permissionDenied, directory, fullDisk, expansionBomb, deepNesting };

const char* nameOf(Fault f) {
    switch (f) {
    case Fault::truncated: return "truncated";
    case Fault::random: return "random bytes";
    case Fault::permissionDenied: return "permission denied";
    case Fault::directory: return "a directory in its place";
    case Fault::fullDisk: return "full disk";
    case Fault::expansionBomb: return "shared references that double at each level";
    case Fault::deepNesting: return "200,000 unclosed arrays";
    }
    return "";
}

std::string contents(const std::string& path) {
    auto bytes = core::files::read(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<unreadable>");
}

std::string randomBytes(std::size_t n) {
    std::mt19937 random(20);
    std::string out(n, '\0');
    for (auto& c : out) c = static_cast<char>(random());
    return out;
}

// A binary property list of 40 arrays, each holding the next one twice.
std::string doublingList() {
    std::string out = "bplist00";
    std::string table;
    const int levels = 40;
    for (int i = 0; i <= levels; ++i) {
        table += static_cast<char>(0);
        table += static_cast<char>(out.size());
        out += i < levels ? std::string{'\xA2', static_cast<char>(i + 1), static_cast<char>(i + 1)} : std::string("\x51x");
    }
    const std::size_t tableOffset = out.size();
    out += table + std::string(6, '\0') + "\x02\x01";
    for (std::uint64_t v : {std::uint64_t(levels + 1), std::uint64_t(0), std::uint64_t(tableOffset)})
        for (int i = 7; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

// Puts the fault on the file at `path`; gives the bytes that must be kept somewhere.
std::string damage(Fault fault, const std::string& path, const std::string& bomb) {
    std::string original = contents(path);
    switch (fault) {
    case Fault::truncated: original.resize(original.size() / 2); break;
    case Fault::random: original = randomBytes(200); break;
    case Fault::expansionBomb: original = bomb; break;
    case Fault::deepNesting: {
        // Deep enough to overflow the stack of any reader that builds, or frees, it recursively.
        original = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)";
        for (int i = 0; i < 200'000; ++i) original += "<array>";
        break;
    }
    case Fault::directory:
        fs::remove(path);
        fs::create_directories(path);
        return "";
    case Fault::permissionDenied:
        core::files::failReadsForTesting(path, EACCES);
        return original;
    case Fault::fullDisk: return original;
    }
    EXPECT_TRUE(core::files::writeAtomically(path, original, 0600));
    return original;
}

const Fault kFaults[] = {Fault::truncated, Fault::random, Fault::permissionDenied,
                         Fault::directory, Fault::fullDisk, Fault::expansionBomb, Fault::deepNesting};

} // namespace

TEST(StorageFaults, TheSettingsFile) {
    for (Fault fault : kFaults) {
        core::testkit::TempHome home;
        NXUserDefault::shared().resetForTesting();
        const std::string path = core::paths::configHome() + "/preferences.plist";
        NXUserDefault::shared().setValue(core::Value("http://kept.test/"), "SERVER_URL");
        core::UserDefaults::resetStandardForTesting(); // the next run
        NXUserDefault::shared().resetForTesting();
        const std::string kept = damage(fault, path, doublingList());
        if (fault == Fault::fullDisk) core::files::failWriteForTesting(1);

        core::LogCapture log;
        const std::string id = MWUUID::getUUID();
        NXUserDefault::shared().setValue(core::Value("b"), "history");
        core::UserDefaults::standard().synchronize(); // the background write (and its retry) done
        // The app runs on: what it stores is there for the rest of the run.
        EXPECT_EQ(NXUserDefault::shared().value("history"), core::Value("b")) << nameOf(fault);
        EXPECT_EQ(NXUserDefault::shared().value("SERVER_URL").has_value(), fault == Fault::fullDisk) << nameOf(fault);
        EXPECT_EQ(MWUUID::getUUID(), id) << nameOf(fault);
        EXPECT_EQ(log.lines().size(), 1u) << nameOf(fault) << ": " << (log.lines().empty() ? "" : log.lines()[0]);

        // Nothing the user had is destroyed: a file that may not be read stays where it is; a
        // damaged one is kept aside.
        if (fault == Fault::permissionDenied) {
            core::files::failReadsForTesting(path, 0);
            EXPECT_EQ(contents(path), kept) << nameOf(fault);
        } else if (fault == Fault::fullDisk) {
            EXPECT_EQ(core::UserDefaults::standard().stringForKey("SERVER_URL"), "http://kept.test/");
        } else if (fault == Fault::directory) {
            EXPECT_TRUE(fs::is_directory(path + ".corrupt.1")) << nameOf(fault);
        } else {
            EXPECT_EQ(contents(path + ".corrupt.1"), kept) << nameOf(fault);
        }
    }
}

TEST(StorageFaults, TheDeviceIdentifiersKeychainItem) {
    auto bombItem = *core::archive::archive(core::Value("placeholder"));
    for (Fault fault : kFaults) {
        core::testkit::TempHome home;
        std::string path;
        std::string kept;
        if (fault != Fault::fullDisk) {
            ASSERT_TRUE(KeyChainStore::save(MWUUID::kDeviceIdKey, core::Value("6F9619FF-8B86-D011-B42D-00CF4FC964FF")));
            path = fs::directory_iterator(core::keychain::folder())->path().string();
            // The bomb is a whole item whose archive doubles at each level.
            std::string bomb;
            if (fault == Fault::expansionBomb) {
                auto query = KeyChainStore::getKeychainQuery(MWUUID::kDeviceIdKey);
                core::Dictionary item = query;
                std::string list = doublingList();
                item.set(core::keychain::kValueData, core::Bytes(list.begin(), list.end()));
                fs::remove(path);
                ASSERT_EQ(core::keychain::add(item), core::keychain::kSuccess);
                bomb = contents(path);
            }
            kept = damage(fault, path, bomb);
        }

        core::LogCapture log;
        if (fault == Fault::fullDisk) core::files::failWriteForTesting(1);
        const std::string id = MWUUID::getUUID();
        // The identifier is the same through the run, whether or not the first save failed.
        EXPECT_EQ(MWUUID::getUUID(), id) << nameOf(fault);
        EXPECT_EQ(MWUUID::getUUID(), id) << nameOf(fault);
        EXPECT_EQ(KeyChainStore::load(MWUUID::kDeviceIdKey), core::Value(id)) << nameOf(fault);
        EXPECT_EQ(log.lines().size(), 1u) << nameOf(fault) << ": " << (log.lines().empty() ? "" : log.lines()[0]);
        if (fault == Fault::directory) {
            EXPECT_TRUE(fs::is_directory(path + ".corrupt.1")) << nameOf(fault);
        } else if (fault != Fault::fullDisk) {
            EXPECT_EQ(contents(path + ".corrupt.1"), kept) << nameOf(fault);
        }
    }
}

// Saving over an item never removes it first: when the write fails the old item is still whole.
TEST(StorageFaults, AFailedSaveKeepsTheOldItemAndSaysSo) {
    core::testkit::TempHome home;
    ASSERT_TRUE(KeyChainStore::save("k", core::Value("old")));
    core::files::failWriteForTesting(1);
    core::LogCapture log;
    EXPECT_FALSE(KeyChainStore::save("k", core::Value("new")));
    EXPECT_EQ(KeyChainStore::load("k"), core::Value("old"));
    EXPECT_TRUE(KeyChainStore::save("k", core::Value("new")));
    EXPECT_EQ(KeyChainStore::load("k"), core::Value("new"));
}

// Damaged settings files fill numbered slots; the last three are kept.
TEST(StorageFaults, TheLastThreeDamagedSettingsFilesAreKept) {
    core::testkit::TempHome home;
    const std::string path = core::paths::configHome() + "/preferences.plist";
    for (int run = 1; run <= 4; ++run) {
        ASSERT_TRUE(core::files::writeAtomically(path, "damaged " + std::to_string(run)));
        core::UserDefaults::resetStandardForTesting();
        core::LogCapture log;
        EXPECT_FALSE(core::UserDefaults::standard().objectForKey("k"));
    }
    EXPECT_EQ(contents(path + ".corrupt.1"), "damaged 4");
    EXPECT_EQ(contents(path + ".corrupt.2"), "damaged 3");
    EXPECT_EQ(contents(path + ".corrupt.3"), "damaged 2");
    EXPECT_FALSE(fs::exists(path + ".corrupt.4"));
}
