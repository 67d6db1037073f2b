#include "refresh/RefreshBundle.h"

#include "platform/core/ProcessInfo.h"

namespace refresh {
namespace {

struct Kept {
    std::shared_ptr<ui::ResourceBundle> bundle;
    gfx::ImagePtr arrow;
    std::shared_ptr<ui::ResourceBundle> language;
};

Kept& kept() {
    static Kept values;
    return values;
}

} // namespace

std::shared_ptr<ui::ResourceBundle> RefreshBundle::rf_refreshBundle() {
    auto& k = kept();
    if (!k.bundle)
        if (auto path = ui::ResourceBundle::main()->pathForResource("Refresh", "bundle"))
            k.bundle = ui::ResourceBundle::atPath(*path);
    return k.bundle;
}

gfx::ImagePtr RefreshBundle::rf_arrowImage() {
    auto& k = kept();
    if (!k.arrow)
        if (auto bundle = rf_refreshBundle())
            if (auto path = bundle->pathForResource("arrow@2x", "png"))
                if (auto image = gfx::Image::fromFile(*path, 2)) k.arrow = *image;
    return k.arrow;
}

std::string RefreshBundle::languageForPreferredLanguage(const std::optional<std::string>& first) {
    if (!first) return "en";
    if (first->starts_with("en")) return "en";
    if (first->starts_with("zh")) return first->find("Hans") != std::string::npos ? "zh-Hans" : "zh-Hant";
    return "en";
}

std::string RefreshBundle::rf_localizedStringForKey(const std::string& key) { return rf_localizedStringForKey(key, std::nullopt); }

std::string RefreshBundle::rf_localizedStringForKey(const std::string& key, const std::optional<std::string>& value) {
    auto& k = kept();
    if (!k.language) {
        auto languages = core::ProcessInfo::preferredLanguages();
        std::string language = languageForPreferredLanguage(languages.empty() ? std::nullopt : std::optional(languages.front()));
        if (auto bundle = rf_refreshBundle())
            if (auto path = bundle->pathForResource(language, "lproj")) k.language = ui::ResourceBundle::atPath(*path);
    }
    // Without the language folder its lookup gives nothing, and the app's strings (or the key)
    // decide alone.
    std::optional<std::string> fromBundle = k.language ? std::optional(k.language->localizedString(key, value)) : value;
    return ui::ResourceBundle::main()->localizedString(key, fromBundle);
}

void RefreshBundle::resetForTesting() { kept() = {}; }

} // namespace refresh
