#include "platform/ui/ResourceBundle.h"

#include "platform/core/Files.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/Utf16.h"

#include <charconv>
#include <filesystem>

namespace ui {
namespace {

constexpr const char* kDefaultTable = "Localizable.strings";

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

// The reader of strings tables: a tiny scanner over quoted texts, '=', ';' and comments.
class StringsScanner {
public:
    explicit StringsScanner(std::string_view text) : s_(text) {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // a byte order mark
    }

    std::map<std::string, std::string> parse() {
        std::map<std::string, std::string> out;
        while (true) {
            skipSpace();
            if (pos_ >= s_.size()) break;
            auto key = quoted();
            if (!key) break;
            skipSpace();
            if (!take('=')) break;
            skipSpace();
            auto value = quoted();
            if (!value) break;
            skipSpace();
            if (!take(';')) break;
            out[*key] = *value;
        }
        return out;
    }

private:
    bool take(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void skipSpace() {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++pos_;
            } else if (s_.substr(pos_, 2) == "//") {
                auto end = s_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? s_.size() : end + 1;
            } else if (s_.substr(pos_, 2) == "/*") {
                auto end = s_.find("*/", pos_ + 2);
                pos_ = end == std::string_view::npos ? s_.size() : end + 2;
            } else {
                break;
            }
        }
    }
    std::optional<std::string> quoted() {
        if (!take('"')) return std::nullopt;
        std::string out;
        while (pos_ < s_.size()) {
            char c = s_[pos_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) return std::nullopt;
            char e = s_[pos_++];
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'U':
            case 'u': {
                unsigned cp = 0;
                auto hex = s_.substr(pos_, 4);
                auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), cp, 16);
                if (ec != std::errc() || end != hex.data() + 4) return std::nullopt;
                pos_ += 4;
                core::utf16::appendUtf8(out, static_cast<char32_t>(cp));
                break;
            }
            default: out += e; break;
            }
        }
        return std::nullopt;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

} // namespace

std::shared_ptr<ResourceBundle> ResourceBundle::main() {
    // Made again when a test points the resources elsewhere.
    static std::shared_ptr<ResourceBundle> bundle;
    std::string path = core::Bundle::resourcePath();
    if (!bundle || bundle->path() != path) bundle = std::make_shared<ResourceBundle>(path);
    return bundle;
}

std::shared_ptr<ResourceBundle> ResourceBundle::atPath(const std::string& path) {
    if (!isDirectory(path)) return nullptr;
    return std::make_shared<ResourceBundle>(path);
}

std::optional<std::string> ResourceBundle::pathForResource(std::string_view name, std::string_view type) const {
    std::string path = path_ + "/" + std::string(name);
    if (!type.empty()) path += "." + std::string(type);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return std::nullopt;
    return path;
}

std::optional<std::string> ResourceBundle::localization() const {
    std::vector<std::string> candidates;
    for (const auto& tag : core::ProcessInfo::preferredLanguages()) {
        // "zh-Hans-CN", then "zh-Hans", then "zh".
        for (std::string t = tag;;) {
            candidates.push_back(t);
            auto dash = t.rfind('-');
            if (dash == std::string::npos) break;
            t.resize(dash);
        }
    }
    candidates.push_back("Base");
    for (const auto& c : candidates)
        if (isDirectory(path_ + "/" + c + ".lproj")) return c;
    return std::nullopt;
}

const std::map<std::string, std::string>& ResourceBundle::table() const {
    if (!table_) {
        std::string file = path_ + "/" + kDefaultTable;
        if (auto language = localization()) file = path_ + "/" + *language + ".lproj/" + kDefaultTable;
        auto bytes = core::files::read(file);
        table_ = bytes ? parseStrings(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))
                       : std::map<std::string, std::string>{};
    }
    return *table_;
}

std::string ResourceBundle::localizedString(std::string_view key, const std::optional<std::string>& value) const {
    const auto& t = table();
    if (auto it = t.find(std::string(key)); it != t.end()) return it->second;
    return value ? *value : std::string(key);
}

std::map<std::string, std::string> ResourceBundle::parseStrings(std::string_view text) {
    return StringsScanner(text).parse();
}

} // namespace ui
