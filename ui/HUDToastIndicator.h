#pragma once
// The one toast of the process: a short message near the bottom of the screen that springs in
// from a fifth of its size, stays for the HUD's dismiss time (counted from the end of its own spring)
// and shrinks away. It never blocks touches and keeps 20 points above the keyboard.
//
// A new text while a toast is shown replaces it in place (same view, new size, a new spring and
// timer); a new text during the spring or the shrink is laid out 0.4 s later, so a toast that is
// shrinking finishes and goes first. showToastMessage may be called from any thread and continues
// on the main queue; everything else belongs on the main thread.
#include "platform/core/NotificationCenter.h"
#include "ui/DismissTimer.h"
#include "ui/HUDToastIndicatorView.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class Window;
}

namespace kit {

class HUDToastIndicator : public core::Object {
    QUILLORA_CLASS(HUDToastIndicator)

    static std::shared_ptr<HUDToastIndicator> sharedInstance();
    static void setToastIndicatorStyleToDefaultStyle();
    static void setToastIndicatorStyle(long style);
    static void showToastMessage(std::optional<std::string> message);
    static void dismiss();

    void init() override;

    void show(std::optional<std::string> message);
    // Stops the timer and shrinks the toast away.
    void dismissToast();

    bool isDuringAnimation() const { return isDuringAnimation_; }
    bool isCurrentlyOnScreen() const { return isCurrentlyOnScreen_; }
    long indicatorStyle() const { return indicatorStyle_; }
    void setIndicatorStyle(long style) { indicatorStyle_ = style; }
    const std::optional<std::string>& toastMessage() const { return toastMessage_; }
    std::shared_ptr<ui::Window> backgroundWindow() const;
    const std::shared_ptr<HUDToastIndicatorView>& toastView();
    double keyboardHeight() const;

    void adjustIndicatorFrame();

private:
    void startShowingToastView();
    void startDismissTimer();
    void stopDismissTimer();
    void dismissingToastView();
    void onKeyboardWillChangeFrame(const core::Notification& notification);
    std::weak_ptr<HUDToastIndicator> weakSelf();

    bool isDuringAnimation_ = false;
    bool isCurrentlyOnScreen_ = false;
    std::shared_ptr<HUDToastIndicatorView> toastView_;
    long indicatorStyle_ = 0;
    std::optional<std::string> toastMessage_;
    DismissTimer dismissTimer_;
    unsigned long long showCount_ = 0;  // shows so far; a spring belongs to the one it laid out
    core::NotificationCenter::Token keyboardObservation_;
};

} // namespace kit
