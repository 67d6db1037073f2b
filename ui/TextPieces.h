#pragma once
// Cutting and replacing by literal separators, for the markup code of this folder. Matching is
// exact and case-sensitive, left to right, and occurrences never overlap.
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// The pieces between the separators, empty ones kept: a text without the separator is one piece,
// an empty text one empty piece. The separator must not be empty.
std::vector<std::string_view> cutText(std::string_view source, std::string_view separator);
// The text with every occurrence of `from` replaced by `to`.
std::string replaceAll(std::string_view source, std::string_view from, std::string_view to);

} // namespace kit
