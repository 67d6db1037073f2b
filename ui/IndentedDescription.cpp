#include "ui/IndentedDescription.h"

#include "platform/core/TextConversions.h"

#include <algorithm>

namespace kit {
namespace {

std::string withoutFirst(const std::string& indent) { return indent.empty() ? indent : indent.substr(1); }

// The nested container at the doubled indent, or nothing for a scalar.
std::optional<std::string> nested(const core::Value& value, const std::string& doubled) {
    if (auto* d = value.dictionary()) return formatDictionary(*d, doubled);
    if (auto* a = value.array()) return formatArray(*a, doubled);
    return std::nullopt;
}

} // namespace

std::string formatArray(const core::Array& array, const std::optional<std::string>& indent) {
    bool top = !indent || indent->empty();
    std::string i = top ? "\t" : *indent;
    std::string d = i + i;
    std::string out = top ? "[\n" : "\t[\n";
    for (const auto& element : array) {
        if (auto text = nested(element, d)) out += i + *text + "\n";
        else out += i + core::description(element) + ",\n";
    }
    return out + withoutFirst(i) + "]";
}

std::string formatDictionary(const core::Dictionary& dictionary, const std::optional<std::string>& indent) {
    std::string i = !indent || indent->empty() ? "\t" : *indent;
    std::string d = i + i;
    std::string out = "{\n";
    auto keys = dictionary.keys();
    std::sort(keys.begin(), keys.end());
    for (const auto& key : keys) {
        const core::Value& value = *dictionary.find(key);
        out += i + key + " = ";
        if (auto text = nested(value, d)) out += i + *text + "\n";
        else out += core::description(value) + "\n";
    }
    return out + withoutFirst(i) + "};";
}

std::string indentedDescription(const core::Value& value) {
    if (auto* d = value.dictionary()) return formatDictionary(*d);
    if (auto* a = value.array()) return formatArray(*a);
    return core::description(value);
}

} // namespace kit
