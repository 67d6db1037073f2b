#pragma once
// How the side view comes in: zoom shrinks and shifts the presenting view over a full-width side
// view, translationPush slides both together, translationMask slides the side view over the
// unmoved presenting view and its mask. Built from a raw value, a value outside the list gives
// no value.

#include <optional>

namespace side_menu {

enum class SMSideAnimationType : long {
    zoom = 0,
    translationPush = 1,
    translationMask = 2,
};

inline std::optional<SMSideAnimationType> makeSMSideAnimationType(long rawValue) {
    switch (rawValue) {
    case 0: return SMSideAnimationType::zoom;
    case 1: return SMSideAnimationType::translationPush;
    case 2: return SMSideAnimationType::translationMask;
    default: return std::nullopt;
    }
}

} // namespace side_menu
