#include "platform/gfx/GeometryText.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace gfx {
namespace {

// Reads blanks, then one number; moves `pos` past it.
std::optional<double> number(const std::string& s, size_t& pos) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    const char* begin = s.c_str() + pos;
    char* end = nullptr;
    double v = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    pos += static_cast<size_t>(end - begin);
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    return v;
}

} // namespace

Point pointFromString(std::string_view text) {
    const std::string s(text);
    size_t pos = 0;
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos >= s.size() || s[pos] != '{') return {};
    ++pos;
    auto x = number(s, pos);
    if (!x || pos >= s.size() || s[pos] != ',') return {};
    ++pos;
    auto y = number(s, pos);
    if (!y || pos >= s.size() || s[pos] != '}') return {};
    return {*x, *y};
}

} // namespace gfx
