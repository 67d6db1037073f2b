#pragma once
// What the app asks of its process and its bundle: the information dictionary (name, identifier,
// versions), the resource folder beside the program, the running system's version and the user's
// preferred languages. On Linux the system version is emulated: it answers as the mobile system
// version the app was written for, and tests may change it.

#include "platform/core/Value.h"

#include <optional>
#include <string>
#include <vector>

namespace core {

struct OperatingSystemVersion {
    int major = 12;
    int minor = 0;
    int patch = 0;
};

class ProcessInfo {
public:
    static OperatingSystemVersion operatingSystemVersion();
    static void setOperatingSystemVersionForTesting(OperatingSystemVersion version);
    static bool isOperatingSystemAtLeast(OperatingSystemVersion version);

    // Language tags from LANGUAGE, then LC_ALL, LC_MESSAGES or LANG, most preferred first, in the
    // platform's form: "zh_CN.UTF-8" gives "zh-Hans-CN", "en_US" gives "en-US". "en" when none is set.
    static std::vector<std::string> preferredLanguages();
    static void setPreferredLanguagesForTesting(std::optional<std::vector<std::string>> languages);
};

class Bundle {
public:
    // Keys of the information dictionary.
    static constexpr const char* kExecutable = "CFBundleExecutable";
    static constexpr const char* kIdentifier = "CFBundleIdentifier";
    static constexpr const char* kShortVersion = "CFBundleShortVersionString";
    static constexpr const char* kVersion = "CFBundleVersion";
    static constexpr const char* kName = "CFBundleName";

    // The information dictionary, or nothing when the bundle has none.
    static std::optional<Dictionary> infoDictionary();
    static void setInfoDictionaryForTesting(std::optional<Dictionary> info);

    // The folder of resources beside the program ("<program folder>/resources", or
    // $QUILLORA_RESOURCES when set).
    static std::string resourcePath();
    static void setResourcePathForTesting(std::optional<std::string> path);
};

} // namespace core
