#pragma once
// The direction of one side-menu transition: presenting the side controller (show) or
// dismissing it (hidden). Built from a raw value, a value outside the list gives no value.

#include <optional>

namespace side_menu {

enum class SMSideShowType : long {
    show = 0,
    hidden = 1,
};

inline std::optional<SMSideShowType> makeSMSideShowType(long rawValue) {
    switch (rawValue) {
    case 0: return SMSideShowType::show;
    case 1: return SMSideShowType::hidden;
    default: return std::nullopt;
    }
}

} // namespace side_menu
