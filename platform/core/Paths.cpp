#include "platform/core/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace core::paths {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// XDG asks that relative paths in these variables be ignored.
std::string xdg(const char* variable, const char* fallbackUnderHome) {
    std::string v = env(variable);
    std::string base = (!v.empty() && v[0] == '/') ? v : home() + fallbackUnderHome;
    return base + "/" + kAppId;
}

} // namespace

std::string home() {
    std::string h = env("HOME");
    if (!h.empty()) return h;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

std::string configHome() { return xdg("XDG_CONFIG_HOME", "/.config"); }
std::string dataHome() { return xdg("XDG_DATA_HOME", "/.local/share"); }
std::string cacheHome() { return xdg("XDG_CACHE_HOME", "/.cache"); }
std::string documents() { return dataHome() + "/Documents"; }

std::string temporary() {
    std::string t = env("TMPDIR");
    return t.empty() ? "/tmp" : t;
}

std::vector<std::string> urlsForDirectory(SearchPathDirectory directory, unsigned domains) {
    if (!(domains & userDomainMask)) return {};
    switch (directory) {
    case SearchPathDirectory::documentDirectory: return {documents()};
    case SearchPathDirectory::cachesDirectory: return {cacheHome()};
    case SearchPathDirectory::applicationSupportDirectory: return {dataHome()};
    case SearchPathDirectory::downloadsDirectory: {
        std::string d = env("XDG_DOWNLOAD_DIR");
        return {d.empty() ? home() + "/Downloads" : d};
    }
    }
    return {};
}

} // namespace core::paths
