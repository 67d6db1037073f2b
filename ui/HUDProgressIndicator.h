#pragma once
// The one progress HUD of the process: a panel in the middle of the screen (of the part the
// keyboard leaves free) with an icon or a spinner and an optional message. Information, success
// and error messages dismiss themselves after the HUD's dismiss time, counted from the end of their
// own 0.2 s spring in; a progress message stays until dismiss(). An information message without a
// text is not shown. While a message asks for it, a clear
// full-screen view under the panel takes every touch.
//
// A new message while one is shown replaces it in place and springs in again; one that arrives
// during the spring is laid out 0.4 s later. The show operations may be called from any thread and
// continue on the main queue; dismiss() and the style belong on the main thread (so a dismiss in
// the same turn as a show runs first, and the HUD still appears).
#include "platform/core/NotificationCenter.h"
#include "ui/DismissTimer.h"
#include "ui/HUDProgressIndicatorView.h"

namespace ui {
class Window;
}

namespace kit {

class HUDProgressIndicator : public core::Object {
    QUILLORA_CLASS(HUDProgressIndicator)

    static std::shared_ptr<HUDProgressIndicator> sharedInstance();
    static void setProgressIndicatorStyleToDefaultStyle();
    static void setProgressIndicatorStyle(long style);
    // The class's progress leaves the app usable unless told otherwise.
    static void showProgressWithmessage(std::optional<std::string> message, bool userInteractionEnable = true);
    static void showInfoWithMessage(std::optional<std::string> message, gfx::ImagePtr image = nullptr,
                                    bool userInteractionEnable = true);
    static void showSuccessWithMessage(std::optional<std::string> message, gfx::ImagePtr image = nullptr,
                                       bool userInteractionEnable = true);
    static void showErrorWithMessage(std::optional<std::string> message, gfx::ImagePtr image = nullptr,
                                     bool userInteractionEnable = true);
    static void dismiss();

    void init() override;

    void showProgressWithType(HUDMessageType type, std::optional<std::string> message, gfx::ImagePtr image,
                              bool userInteractionEnable);
    // Stops the timer and removes the HUD at once.
    void dismissProgress();

    bool isDuringAnimation() const { return isDuringAnimation_; }
    bool isCurrentlyOnScreen() const { return isCurrentlyOnScreen_; }
    bool userInteractionEnable() const { return userInteractionEnable_; }
    void setUserInteractionEnable(bool enable);
    long indicatorStyle() const { return indicatorStyle_; }
    void setIndicatorStyle(long style) { indicatorStyle_ = style; }
    HUDMessageType messageType() const { return messageType_; }
    const std::optional<std::string>& progressMessage() const { return progressMessage_; }
    std::shared_ptr<ui::Window> backgroundWindow() const;
    const std::shared_ptr<HUDProgressIndicatorView>& progressView();
    double keyboardHeight() const;

    void adjustIndicatorFrame();

private:
    void startShowingProgressView();
    void startDismissTimer();
    void stopDismissTimer();
    void dismissingProgressView();
    void onKeyboardWillChangeFrame(const core::Notification& notification);
    std::weak_ptr<HUDProgressIndicator> weakSelf();

    bool isDuringAnimation_ = false;
    bool isCurrentlyOnScreen_ = false;
    bool userInteractionEnable_ = true;
    std::shared_ptr<HUDProgressIndicatorView> progressView_;
    long indicatorStyle_ = 0;
    std::optional<std::string> progressMessage_;
    gfx::ImagePtr customImage_;
    DismissTimer dismissTimer_;
    HUDMessageType messageType_ = HUDMessageType::info;
    unsigned long long showCount_ = 0;  // shows so far; a spring belongs to the one it laid out
    core::NotificationCenter::Token keyboardObservation_;
};

} // namespace kit
