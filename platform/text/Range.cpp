#include "platform/text/Range.h"

#include <algorithm>
#include <cctype>

namespace text {

Range intersection(Range a, Range b) {
    std::size_t start = std::max(a.location, b.location);
    std::size_t end = std::min(a.end(), b.end());
    return end > start ? Range{start, end - start} : Range{start, 0};
}

std::string rangeToString(Range range) {
    return "{" + std::to_string(range.location) + ", " + std::to_string(range.length) + "}";
}

Range rangeFromString(std::string_view text) {
    std::size_t values[2] = {0, 0};
    int found = 0;
    std::size_t i = 0;
    while (i < text.size() && found < 2) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) { ++i; continue; }
        std::size_t value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            value = value * 10 + static_cast<std::size_t>(text[i++] - '0');
        values[found++] = value;
    }
    return {values[0], values[1]};
}

} // namespace text
