#pragma once
// The screen: the device profile in force. There is one main screen; tests and the hosts may
// replace its profile before the first window is made. Main thread only.

#include "platform/gfx/Rect.h"
#include "platform/ui/DeviceProfile.h"

namespace ui {

class Screen {
public:
    static Screen& main();

    const DeviceProfile& profile() const { return profile_; }
    // Chooses the profile; QUILLORA_DEVICE in the environment sets the first one.
    void setProfile(DeviceProfile profile) { profile_ = std::move(profile); }

    gfx::Rect bounds() const { return {0, 0, profile_.size.width, profile_.size.height}; }
    double scale() const { return profile_.scale; }
    gfx::Size currentModeSize() const { return profile_.pixelSize(); }
    UserInterfaceIdiom idiom() const { return profile_.idiom; }
    double statusBarHeight() const { return profile_.statusBarHeight; }

private:
    Screen();
    DeviceProfile profile_;
};

} // namespace ui
