#pragma once
// A range of UTF-16 code units, as the app counts text: a location and a length. A range that
// was not found has location kNotFound and length 0.

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace text {

inline constexpr std::size_t kNotFound = std::numeric_limits<std::size_t>::max();

struct Range {
    std::size_t location = 0;
    std::size_t length = 0;

    constexpr std::size_t end() const { return location + length; }
    constexpr bool contains(std::size_t index) const { return index >= location && index < end(); }
    constexpr bool operator==(const Range&) const = default;
};

// The overlap of two ranges; an empty range at the later start when they do not meet.
Range intersection(Range a, Range b);

// The text form of a range, "{location, length}", used where a range is stored as text.
std::string rangeToString(Range range);
// Reads the first two unsigned numbers of the text as location and length (missing ones are 0),
// so a range written by rangeToString reads back unchanged.
Range rangeFromString(std::string_view text);

} // namespace text
