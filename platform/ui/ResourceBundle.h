#pragma once
// A folder of resources: the program's own (the main bundle, core::Bundle::resourcePath()), a
// resource bundle beside it ("<name>.bundle") or a language folder inside one ("<lang>.lproj").
//
// Texts: localizedString() looks a key up in the default strings table, "Localizable.strings"
// (lines `"key" = "value";`, with C-style comments and the escapes \" \\ \n \t and \Uxxxx). A
// bundle with language folders reads the table of the best language among the user's preferred
// languages (the whole tag, then without the region, then the language alone), else of
// "Base.lproj", else its own. Tables are read once per bundle; a key found nowhere gives the
// value passed in, or the key itself. Main thread only.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class ResourceBundle {
public:
    static std::shared_ptr<ResourceBundle> main();
    // The bundle at a folder; nullptr when there is no such folder.
    static std::shared_ptr<ResourceBundle> atPath(const std::string& path);

    explicit ResourceBundle(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    // "<path>/<name>.<type>" when that file or folder exists.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;
    std::string localizedString(std::string_view key, const std::optional<std::string>& value = std::nullopt) const;

    // The language folder's name ("zh-Hans") this bundle reads its texts from, if any.
    std::optional<std::string> localization() const;

    // Parses a strings table; malformed lines end the parse (what came before is kept).
    static std::map<std::string, std::string> parseStrings(std::string_view text);

private:
    const std::map<std::string, std::string>& table() const;

    std::string path_;
    mutable std::optional<std::map<std::string, std::string>> table_;
};

} // namespace ui
