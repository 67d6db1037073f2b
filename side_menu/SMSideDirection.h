#pragma once
// The screen edge the side view is attached to. Built from a raw value, a value outside the
// list gives no value.

#include <optional>

namespace side_menu {

enum class SMSideDirection : long {
    left = 0,
    right = 1,
};

inline std::optional<SMSideDirection> makeSMSideDirection(long rawValue) {
    switch (rawValue) {
    case 0: return SMSideDirection::left;
    case 1: return SMSideDirection::right;
    default: return std::nullopt;
    }
}

} // namespace side_menu
