#pragma once
// How long the HUD, the toast and the banner stay before they dismiss themselves: longer texts
// stay longer, and nothing goes in under two seconds.
#include "platform/core/Utf16.h"

#include <algorithm>
#include <string_view>

namespace kit {

// max(0.04 × the text's length in UTF-16 units + 0.5, 2.0) seconds.
inline double hudDismissTime(std::string_view text) {
    return std::max(0.04 * static_cast<double>(core::utf16::length(text)) + 0.5, 2.0);
}

} // namespace kit
