#pragma once
// Text is UTF-8 in storage; where the app counts or ranges text it counts UTF-16 code units,
// as the original platform does. These helpers are the one place that converts between the two.
// Ill-formed UTF-8 is read as U+FFFD per bad byte, so counts and conversions never fail.

#include <cstddef>
#include <string>
#include <string_view>

namespace core::utf16 {

std::u16string fromUtf8(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// Number of UTF-16 code units the text occupies.
std::size_t length(std::string_view utf8);

// UTF-8 byte offset of a UTF-16 offset (clamped to the text's end). An offset that falls inside
// a surrogate pair maps to the start of that character.
std::size_t utf8Offset(std::string_view utf8, std::size_t utf16Offset);
// UTF-16 offset of a UTF-8 byte offset (clamped to the text's end).
std::size_t utf16Offset(std::string_view utf8, std::size_t utf8Offset);

// Decodes one code point at `pos`, advancing `pos`; ill-formed input gives U+FFFD and advances one byte.
char32_t decode(std::string_view utf8, std::size_t& pos);
void appendUtf8(std::string& out, char32_t codePoint);
// The UTF-16 length of the code point that ends (before) or starts (after) at a UTF-16 offset
// (2 for a surrogate pair, 0 at the text's edge).
std::size_t unitsBefore(std::u16string_view s, std::size_t at);
std::size_t unitsAfter(std::u16string_view s, std::size_t at);

} // namespace core::utf16
