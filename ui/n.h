#pragma once
// The app-wide notification names (posted on core::NotificationCenter's default centre).
#include <string_view>

namespace kit {

class n {
public:
    // Makes the navigation controller return to its first page without animation.
    static constexpr std::string_view popAllControllerNotification = "popAllController";
    // Makes every page lay itself out again.
    static constexpr std::string_view enterForegroundNotification = "enterforground";
    // Posted after a new profile picture was saved; its viewers reload it.
    static constexpr std::string_view reloadHeadNotification = "reloadHead";
};

} // namespace kit
