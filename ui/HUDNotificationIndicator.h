#pragma once
// The one notification banner of the process: a strip that slides down from the top edge over
// the status bar, optionally dismisses itself after the HUD's dismiss time (counted from the end
// of the slide-in), goes on a tap (running the tap handler, not the completion) or when dragged up
// and let go (running the completion). A new banner replaces the shown one at once, without
// waiting for an animation; a slide-out that a new banner overtook does nothing when it ends, so
// the new banner stays and no completion runs twice. The show operations may be called from any
// thread and continue on the main queue; dismiss and the style belong on the main thread.
#include "platform/ui/GestureRecognizer.h"
#include "ui/DismissTimer.h"
#include "ui/HUDNotificationIndicatorView.h"

#include <cstdint>
#include <functional>

namespace ui {
class Window;
}

namespace kit {

class HUDNotificationIndicator : public core::Object {
    QUILLORA_CLASS(HUDNotificationIndicator)
    using Handler = std::function<void()>;

    static std::shared_ptr<HUDNotificationIndicator> sharedInstance();
    static void setNotificationIndicatorStyleToDefaultStyle();
    static void setNotificationIndicatorStyle(long style);
    static void dismiss();
    static void showNotificationWithTitle(std::optional<std::string> title, std::optional<std::string> message,
                                          Handler tapHandler = {}, Handler completion = {});
    static void showNotificationWithImage(gfx::ImagePtr image, std::optional<std::string> title,
                                          std::optional<std::string> message, Handler tapHandler = {},
                                          Handler completion = {});
    static void showNotificationWithImage(gfx::ImagePtr image, std::optional<std::string> title,
                                          std::optional<std::string> message, bool autoDismiss, Handler tapHandler,
                                          Handler completion);

    void show(gfx::ImagePtr image, std::optional<std::string> title, std::optional<std::string> message,
              bool autoDismiss, Handler tapHandler, Handler completion);
    void dismissBanner() { dismissOnTapped(false); }
    void dismissOnTapped(bool tapped);

    bool isCurrentlyOnScreen() const { return isCurrentlyOnScreen_; }
    bool shouldAutoDismiss() const { return shouldAutoDismiss_; }
    long indicatorStyle() const { return indicatorStyle_; }
    void setIndicatorStyle(long style) { indicatorStyle_ = style; }
    std::shared_ptr<ui::Window> backgroundWindow() const;
    const std::shared_ptr<HUDNotificationIndicatorView>& notificationView();

    void adjustIndicatorFrame();

private:
    void startShowingNotificationView();
    void startDismissTimer();
    void stopDismissTimer();
    void dismissingNotificationtView() { dismissingNotificationtViewByTap(false); }
    void dismissingNotificationtViewByTap(bool tapped);
    void onPanGuestureRecognized(ui::GestureRecognizer& recognizer);
    void onTapGestureRecognized(ui::GestureRecognizer& recognizer);
    std::weak_ptr<HUDNotificationIndicator> weakSelf();

    bool isCurrentlyOnScreen_ = false;
    bool shouldAutoDismiss_ = false;
    std::shared_ptr<HUDNotificationIndicatorView> notificationView_;
    long indicatorStyle_ = 0;
    gfx::ImagePtr notificationImage_;
    std::optional<std::string> notificationTitle_;
    std::optional<std::string> notificationMessage_;
    DismissTimer dismissTimer_;
    Handler tapHandler_;
    Handler completion_;
    // Counts the shows; a slide-out acts at its end only if no show came after it started.
    std::uint64_t showCount_ = 0;
};

} // namespace kit
