#pragma once
// The screen the app runs on: its size in points, its scale (pixels per point), the status bar's
// height and the kind of device. The default is a 4.7-inch phone: 375 x 667 points at scale 2
// with a 20-point status bar. QUILLORA_DEVICE chooses another profile by name at start-up.

#include "platform/gfx/EdgeInsets.h"
#include "platform/gfx/Size.h"

#include <optional>
#include <string>
#include <string_view>

namespace ui {

enum class UserInterfaceIdiom { phone, pad };

struct DeviceProfile {
    std::string name;
    gfx::Size size;
    double scale = 2;
    double statusBarHeight = 20;
    UserInterfaceIdiom idiom = UserInterfaceIdiom::phone;
    gfx::EdgeInsets safeAreaInsets;

    // "phone" (the default), "phone-notch" (375 x 812 at scale 3, status bar 44, bottom inset 34)
    // and "pad" (768 x 1024 at scale 2).
    static DeviceProfile phone();
    static std::optional<DeviceProfile> named(std::string_view name);
    // The pixel size of the screen's current mode.
    gfx::Size pixelSize() const { return {size.width * scale, size.height * scale}; }
};

} // namespace ui
