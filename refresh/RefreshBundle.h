#pragma once
// Where the refresh controls find their arrow and their texts: the resource bundle "Refresh"
// beside the program, with "arrow@2x.png" and the language folders "en", "zh-Hans" and "zh-Hant".
//
// The bundle, the arrow and the language folder are found on first use and kept for the life of
// the process (a change of language while the app runs does not reach them); only a value that
// was not found is looked for again on the next call. The language comes from the user's first
// preferred language: "en…" gives en, "zh…" gives zh-Hans when it names the Hans script and
// zh-Hant otherwise, anything else en. A key in the app's own strings wins over the bundle's text.
// Main thread only.

#include "platform/gfx/Image.h"
#include "platform/ui/ResourceBundle.h"

#include <memory>
#include <optional>
#include <string>

namespace refresh {

class RefreshBundle {
public:
    static std::shared_ptr<ui::ResourceBundle> rf_refreshBundle();
    // The arrow, at scale 2 from its file name; drawn as a template in the tint of its view.
    static gfx::ImagePtr rf_arrowImage();
    static std::string rf_localizedStringForKey(const std::string& key);
    static std::string rf_localizedStringForKey(const std::string& key, const std::optional<std::string>& value);

    // The language folder chosen for a preferred-language tag.
    static std::string languageForPreferredLanguage(const std::optional<std::string>& firstPreferred);
    // Forgets the kept values (tests change the resources and the languages).
    static void resetForTesting();
};

} // namespace refresh
