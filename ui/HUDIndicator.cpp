#include "ui/HUDIndicator.h"

namespace kit {

void HUDIndicator::setIndicatorStyle(long style) {
    HUDToastIndicator::setToastIndicatorStyle(style);
    HUDProgressIndicator::setProgressIndicatorStyle(style);
    HUDNotificationIndicator::setNotificationIndicatorStyle(style);
}

void HUDIndicator::showToastMessage(std::optional<std::string> message) { HUDToastIndicator::showToastMessage(std::move(message)); }
void HUDIndicator::dismissToast() { HUDToastIndicator::dismiss(); }

void HUDIndicator::showProgressWithmessage(std::optional<std::string> message, bool userInteractionEnable) {
    HUDProgressIndicator::showProgressWithmessage(std::move(message), userInteractionEnable);
}
void HUDIndicator::showInfoWithMessage(std::optional<std::string> message, gfx::ImagePtr image, bool userInteractionEnable) {
    HUDProgressIndicator::showInfoWithMessage(std::move(message), std::move(image), userInteractionEnable);
}
void HUDIndicator::showSuccessWithMessage(std::optional<std::string> message, gfx::ImagePtr image,
                                          bool userInteractionEnable) {
    HUDProgressIndicator::showSuccessWithMessage(std::move(message), std::move(image), userInteractionEnable);
}
void HUDIndicator::showErrorWithMessage(std::optional<std::string> message, gfx::ImagePtr image, bool userInteractionEnable) {
    HUDProgressIndicator::showErrorWithMessage(std::move(message), std::move(image), userInteractionEnable);
}
void HUDIndicator::dismissProgress() { HUDProgressIndicator::dismiss(); }

void HUDIndicator::showNotificationWithTitle(std::optional<std::string> title, std::optional<std::string> message,
                                             HUDNotificationIndicator::Handler tapHandler,
                                             HUDNotificationIndicator::Handler completion) {
    showNotificationWithImage(nullptr, std::move(title), std::move(message), true, std::move(tapHandler),
                              std::move(completion));
}
void HUDIndicator::showNotificationWithImage(gfx::ImagePtr image, std::optional<std::string> title,
                                             std::optional<std::string> message,
                                             HUDNotificationIndicator::Handler tapHandler,
                                             HUDNotificationIndicator::Handler completion) {
    showNotificationWithImage(std::move(image), std::move(title), std::move(message), true, std::move(tapHandler),
                              std::move(completion));
}
void HUDIndicator::showNotificationWithImage(gfx::ImagePtr image, std::optional<std::string> title,
                                             std::optional<std::string> message, bool autoDismiss,
                                             HUDNotificationIndicator::Handler tapHandler,
                                             HUDNotificationIndicator::Handler completion) {
    HUDNotificationIndicator::showNotificationWithImage(std::move(image), std::move(title), std::move(message),
                                                        autoDismiss, std::move(tapHandler), std::move(completion));
}
void HUDIndicator::dismissNotification() { HUDNotificationIndicator::dismiss(); }

} // namespace kit
