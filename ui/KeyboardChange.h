#pragma once
// What the HUD, the toast and the banner read from a keyboard-will-change-frame notification:
// where the keyboard ends up and how long it takes to get there.
#include "platform/core/NotificationCenter.h"
#include "platform/gfx/Rect.h"
#include "platform/ui/Keyboard.h"

namespace kit {

struct KeyboardChange {
    gfx::Rect endFrame;
    double duration = ui::Keyboard::kAnimationDuration;
};

inline KeyboardChange keyboardChange(const core::Notification& notification) {
    KeyboardChange change;
    change.endFrame = ui::Keyboard::frameFromUserInfo(notification.userInfo, ui::Keyboard::kFrameEndUserInfoKey);
    if (const core::Value* value = notification.userInfo.find(ui::Keyboard::kAnimationDurationUserInfoKey)) {
        change.duration = value->asDouble();
    }
    return change;
}

} // namespace kit
