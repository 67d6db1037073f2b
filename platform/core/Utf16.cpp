#include "platform/core/Utf16.h"

namespace core::utf16 {

char32_t decode(std::string_view s, std::size_t& pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = byte(pos);
    if (c < 0x80) {
        ++pos;
        return c;
    }
    int extra;
    char32_t cp;
    char32_t minimum;
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; minimum = 0x80; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; minimum = 0x800; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; minimum = 0x10000; }
    else { ++pos; return 0xFFFD; }
    if (pos + static_cast<std::size_t>(extra) >= s.size()) {
        ++pos;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        unsigned char cc = byte(pos + static_cast<std::size_t>(k));
        if ((cc & 0xC0) != 0x80) { ++pos; return 0xFFFD; }
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++pos; return 0xFFFD; }
    pos += static_cast<std::size_t>(extra) + 1;
    return cp;
}

std::size_t unitsBefore(std::u16string_view s, std::size_t at) {
    if (at == 0) return 0;
    if (at >= 2 && s[at - 1] >= 0xDC00 && s[at - 1] <= 0xDFFF && s[at - 2] >= 0xD800 && s[at - 2] <= 0xDBFF) return 2;
    return 1;
}

std::size_t unitsAfter(std::u16string_view s, std::size_t at) {
    if (at >= s.size()) return 0;
    if (at + 1 < s.size() && s[at] >= 0xD800 && s[at] <= 0xDBFF && s[at + 1] >= 0xDC00 && s[at + 1] <= 0xDFFF) return 2;
    return 1;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u16string fromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();) {
        char32_t cp = decode(s, pos);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        appendUtf8(out, u);
    }
    return out;
}

std::size_t length(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < s.size();) n += decode(s, pos) >= 0x10000 ? 2 : 1;
    return n;
}

std::size_t utf8Offset(std::string_view s, std::size_t target) {
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t start = pos;
        std::size_t width = decode(s, pos) >= 0x10000 ? 2 : 1;
        if (units + width > target) return start;
        units += width;
    }
    return s.size();
}

std::size_t utf16Offset(std::string_view s, std::size_t target) {
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < s.size() && pos < target) units += decode(s, pos) >= 0x10000 ? 2 : 1;
    return units;
}

} // namespace core::utf16
