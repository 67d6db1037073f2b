#pragma once
// One entry for the app's transient messages: the progress HUD, the toast and the top banner.
// Note the defaults: the facade's progress blocks touches, the HUD class's own does not;
// information, success and error leave the app usable in both.
#include "ui/HUDNotificationIndicator.h"
#include "ui/HUDProgressIndicator.h"
#include "ui/HUDToastIndicator.h"

namespace kit {

class HUDIndicator {
public:
    static void setIndicatorStyleToDefaultStyle() { setIndicatorStyle(1); }
    // Sets the style of the toast, the HUD and the banner, in that order.
    static void setIndicatorStyle(long style);

    static void showToastMessage(std::optional<std::string> message);
    static void dismissToast();

    static void showProgressWithmessage(std::optional<std::string> message, bool userInteractionEnable = false);
    static void showInfoWithMessage(std::optional<std::string> message, gfx::ImagePtr image = nullptr,
                                    bool userInteractionEnable = true);
    static void showInfoWithMessage(std::optional<std::string> message, bool userInteractionEnable) {
        showInfoWithMessage(std::move(message), nullptr, userInteractionEnable);
    }
    static void showSuccessWithMessage(std::optional<std::string> message, gfx::ImagePtr image = nullptr,
                                       bool userInteractionEnable = true);
    static void showSuccessWithMessage(std::optional<std::string> message, bool userInteractionEnable) {
        showSuccessWithMessage(std::move(message), nullptr, userInteractionEnable);
    }
    static void showErrorWithMessage(std::optional<std::string> message, gfx::ImagePtr image = nullptr,
                                     bool userInteractionEnable = true);
    static void showErrorWithMessage(std::optional<std::string> message, bool userInteractionEnable) {
        showErrorWithMessage(std::move(message), nullptr, userInteractionEnable);
    }
    static void dismissProgress();

    static void showNotificationWithTitle(std::optional<std::string> title, std::optional<std::string> message,
                                          HUDNotificationIndicator::Handler tapHandler = {},
                                          HUDNotificationIndicator::Handler completion = {});
    static void showNotificationWithImage(gfx::ImagePtr image, std::optional<std::string> title,
                                          std::optional<std::string> message,
                                          HUDNotificationIndicator::Handler tapHandler = {},
                                          HUDNotificationIndicator::Handler completion = {});
    static void showNotificationWithImage(gfx::ImagePtr image, std::optional<std::string> title,
                                          std::optional<std::string> message, bool autoDismiss,
                                          HUDNotificationIndicator::Handler tapHandler,
                                          HUDNotificationIndicator::Handler completion);
    static void dismissNotification();
};

} // namespace kit
