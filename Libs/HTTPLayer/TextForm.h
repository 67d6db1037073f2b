#pragma once
// The default text form of a value, as string interpolation gives it on the original platform:
// what Result's debug text and the records' descriptions print after "SUCCESS: ".
//
// A text is itself; bytes are "N bytes"; a dynamic value uses core::description (so the null
// value is "<null>"); booleans are "true"/"false"; numbers their decimal form; anything with a
// description() member uses it; anything else needs an overload of textForm in namespace http.

#include "platform/core/TextConversions.h"
#include "platform/core/Value.h"

#include <concepts>
#include <optional>
#include <string>
#include <type_traits>

namespace http {

inline std::string textForm(const std::string& text) { return text; }
inline std::string textForm(const char* text) { return text; }
inline std::string textForm(const core::Value& value) { return core::description(value); }
inline std::string textForm(const core::Bytes& bytes) { return std::to_string(bytes.size()) + " bytes"; }
inline std::string textForm(bool b) { return b ? "true" : "false"; }

template <class T>
    requires(std::is_arithmetic_v<T> && !std::is_same_v<T, bool>)
std::string textForm(T number) {
    if constexpr (std::is_floating_point_v<T>) {
        return core::formatDouble(static_cast<double>(number));
    } else {
        return std::to_string(number);
    }
}

template <class T>
    requires requires(const T& t) {
        { t.description() } -> std::convertible_to<std::string>;
    }
std::string textForm(const T& value) {
    return value.description();
}

template <class T>
std::string textForm(const std::optional<T>& value) {
    return value ? "Optional(" + textForm(*value) + ")" : std::string("nil");
}

} // namespace http
