#pragma once
// ASCII text rules for protocol text (schemes, hosts, header names, charset names): case is
// folded for the letters A-Z only, and white space is space, tab, CR and LF. Other bytes,
// including every byte of a UTF-8 sequence, are left as they are.

#include <cstddef>
#include <string>
#include <string_view>

namespace core::ascii {

inline char lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowered(c);
    return out;
}

inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowered(a[i]) != lowered(b[i])) return false;
    }
    return true;
}

inline std::string_view trimmed(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

} // namespace core::ascii
