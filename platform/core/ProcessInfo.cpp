#include "platform/core/ProcessInfo.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace core {

namespace {

struct State {
    std::mutex mutex;
    std::optional<std::vector<std::string>> languages;
    bool infoOverridden = false;
    std::optional<Dictionary> info;
    std::optional<std::string> resourcePath;
};

State& state() {
    static State* s = new State; // read during exit by late loggers; never destroyed
    return *s;
}

// Views ask for the version while they lay out, so it is read without a lock: the current one
// through a pointer. Versions that tests set are all kept (a reader may still hold the one it
// took), never destroyed.
std::atomic<const OperatingSystemVersion*>& currentVersion() {
    static const OperatingSystemVersion first{};
    static std::atomic<const OperatingSystemVersion*> version{&first};
    return version;
}
std::vector<std::unique_ptr<const OperatingSystemVersion>>& setVersions() {
    static auto* versions = new std::vector<std::unique_ptr<const OperatingSystemVersion>>();
    return *versions;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string programFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    std::string path(buffer, static_cast<std::size_t>(n));
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string programName() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "quillora";
    std::string path(buffer, static_cast<std::size_t>(n));
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "zh_CN.UTF-8@euro" -> "zh-Hans-CN"; "C" and "POSIX" give nothing.
std::string languageTag(std::string locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX") return {};
    std::string language = locale.substr(0, locale.find('_'));
    std::string region = locale.find('_') == std::string::npos ? "" : locale.substr(locale.find('_') + 1);
    std::string tag = language;
    if (language == "zh") tag += (region == "TW" || region == "HK" || region == "MO") ? "-Hant" : "-Hans";
    if (!region.empty()) tag += "-" + region;
    return tag;
}

} // namespace

OperatingSystemVersion ProcessInfo::operatingSystemVersion() { return *currentVersion().load(std::memory_order_acquire); }

void ProcessInfo::setOperatingSystemVersionForTesting(OperatingSystemVersion version) {
    std::lock_guard lock(state().mutex);
    setVersions().push_back(std::make_unique<const OperatingSystemVersion>(version));
    currentVersion().store(setVersions().back().get(), std::memory_order_release);
}

bool ProcessInfo::isOperatingSystemAtLeast(OperatingSystemVersion v) {
    auto c = operatingSystemVersion();
    if (c.major != v.major) return c.major > v.major;
    if (c.minor != v.minor) return c.minor > v.minor;
    return c.patch >= v.patch;
}

std::vector<std::string> ProcessInfo::preferredLanguages() {
    {
        std::lock_guard lock(state().mutex);
        if (state().languages) return *state().languages;
    }
    std::vector<std::string> out;
    auto add = [&](const std::string& locale) {
        std::string tag = languageTag(locale);
        if (!tag.empty() && std::find(out.begin(), out.end(), tag) == out.end()) out.push_back(tag);
    };
    std::string list = env("LANGUAGE");
    for (std::size_t start = 0; !list.empty() && start <= list.size();) {
        auto colon = list.find(':', start);
        add(list.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string v = env(name);
        if (!v.empty()) {
            add(v);
            break;
        }
    }
    if (out.empty()) out.push_back("en");
    return out;
}

void ProcessInfo::setPreferredLanguagesForTesting(std::optional<std::vector<std::string>> languages) {
    std::lock_guard lock(state().mutex);
    state().languages = std::move(languages);
}

std::optional<Dictionary> Bundle::infoDictionary() {
    std::lock_guard lock(state().mutex);
    if (state().infoOverridden) return state().info;
    return Dictionary{
        {kExecutable, Value(programName())},
        {kIdentifier, Value("app.quillora")},
        {kName, Value("Quillora")},
        {kShortVersion, Value("1.0.0")},
        {kVersion, Value("1")},
    };
}

void Bundle::setInfoDictionaryForTesting(std::optional<Dictionary> info) {
    std::lock_guard lock(state().mutex);
    state().infoOverridden = true;
    state().info = std::move(info);
}

std::string Bundle::resourcePath() {
    {
        std::lock_guard lock(state().mutex);
        if (state().resourcePath) return *state().resourcePath;
    }
    std::string fromEnv = env("QUILLORA_RESOURCES");
    return fromEnv.empty() ? programFolder() + "/resources" : fromEnv;
}

void Bundle::setResourcePathForTesting(std::optional<std::string> path) {
    std::lock_guard lock(state().mutex);
    state().resourcePath = std::move(path);
}

} // namespace core
