#pragma once
// Indented, multi-line descriptions of arrays and dictionaries for the console: nested containers
// indent further (the indent doubles per level) and texts print as they are, so Chinese stays
// readable. Dictionary keys come in sorted order. Nothing parses these texts.
#include "platform/core/Value.h"

#include <optional>
#include <string>

namespace kit {

// An array: "[\n" at the top (no indent given, or an empty one), "\t[\n" when nested; one line per
// element; then the indent without its first character and "]".
std::string formatArray(const core::Array& array, const std::optional<std::string>& indent = std::nullopt);
// A dictionary: "{\n", one "key = value" line per entry, then the indent without its first
// character and "};".
std::string formatDictionary(const core::Dictionary& dictionary,
                             const std::optional<std::string>& indent = std::nullopt);
// The description the console shows for a value: arrays and dictionaries as above, anything else
// in its usual text form.
std::string indentedDescription(const core::Value& value);

} // namespace kit
