#pragma once
// The platform's text conversions of values: what `description`, `intValue`, `longLongValue`,
// `doubleValue` and `boolValue` give for texts and numbers, as the app's code relies on them.

#include "platform/core/Value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// The text form of a value: a text is itself; an integer its decimal digits; a double the
// shortest text that reads back exactly ("0.5", "3", "1e+100"); true "1" and false "0"; the null
// value "<null>"; bytes "<0a0b0c0d 0e>"; arrays and dictionaries in the indented property-list
// form (four spaces per level, texts quoted when they hold anything but letters, digits and
// "_$./:"); an object its own description.
std::string description(const Value& value);

// The leading decimal integer of a text: leading white space skipped, an optional sign, then
// digits; 0 when there are none; saturated at the type's limits.
std::int64_t longLongValue(std::string_view text);
std::int32_t intValue(std::string_view text);
// The leading floating-point number of a text, 0 when there is none.
double doubleValue(std::string_view text);
// True when, after white space, an optional sign and leading zeros, the text starts with
// "Y", "y", "T", "t" or a digit 1-9.
bool boolValue(std::string_view text);

// Texts given as std::string or C strings take the text path above, not the Value one.
inline std::int64_t longLongValue(const std::string& text) { return longLongValue(std::string_view(text)); }
inline std::int64_t longLongValue(const char* text) { return longLongValue(std::string_view(text)); }
inline std::int32_t intValue(const std::string& text) { return intValue(std::string_view(text)); }
inline std::int32_t intValue(const char* text) { return intValue(std::string_view(text)); }
inline double doubleValue(const std::string& text) { return doubleValue(std::string_view(text)); }
inline double doubleValue(const char* text) { return doubleValue(std::string_view(text)); }
inline bool boolValue(const std::string& text) { return boolValue(std::string_view(text)); }
inline bool boolValue(const char* text) { return boolValue(std::string_view(text)); }

// The same conversions of a whole value: numbers convert numerically (doubles truncate toward
// zero, saturating), booleans as 1/0, texts as above, anything else gives 0/false.
std::int64_t longLongValue(const Value& value);
double doubleValue(const Value& value);
bool boolValue(const Value& value);

// Shortest round-trip decimal text of a double, with the exponent style of printf("%g") for very
// large or small numbers.
std::string formatDouble(double d);
// The shortest text that reads back as the same double, always with a fractional part: 20 gives
// "20.0", 7.5 stays "7.5", 1e+20 gives "1.0e+20". Not-a-number and the infinities stay as
// formatDouble writes them.
std::string formatDoubleWithFraction(double d);

} // namespace core
