#include "ui/HUDNotificationIndicator.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Window.h"
#include "ui/HUDDismissTime.h"
#include "ui/HUDWindow.h"

namespace kit {

namespace {
constexpr double kAnimationDuration = 0.2;
double screenWidth() { return ui::Screen::main().bounds().size.width; }
} // namespace

std::shared_ptr<HUDNotificationIndicator> HUDNotificationIndicator::sharedInstance() {
    // Made once and never released: the banner outlives every page.
    static auto* instance = new std::shared_ptr<HUDNotificationIndicator>(core::make<HUDNotificationIndicator>());
    return *instance;
}

void HUDNotificationIndicator::setNotificationIndicatorStyleToDefaultStyle() { setNotificationIndicatorStyle(1); }
void HUDNotificationIndicator::setNotificationIndicatorStyle(long style) { sharedInstance()->setIndicatorStyle(style); }
void HUDNotificationIndicator::dismiss() { sharedInstance()->dismissBanner(); }

void HUDNotificationIndicator::showNotificationWithTitle(std::optional<std::string> title,
                                                         std::optional<std::string> message, Handler tapHandler,
                                                         Handler completion) {
    showNotificationWithImage(nullptr, std::move(title), std::move(message), std::move(tapHandler), std::move(completion));
}

void HUDNotificationIndicator::showNotificationWithImage(gfx::ImagePtr image, std::optional<std::string> title,
                                                         std::optional<std::string> message, Handler tapHandler,
                                                         Handler completion) {
    showNotificationWithImage(std::move(image), std::move(title), std::move(message), true, std::move(tapHandler),
                              std::move(completion));
}

void HUDNotificationIndicator::showNotificationWithImage(gfx::ImagePtr image, std::optional<std::string> title,
                                                         std::optional<std::string> message, bool autoDismiss,
                                                         Handler tapHandler, Handler completion) {
    sharedInstance()->show(std::move(image), std::move(title), std::move(message), autoDismiss, std::move(tapHandler),
                           std::move(completion));
}

std::weak_ptr<HUDNotificationIndicator> HUDNotificationIndicator::weakSelf() {
    return std::static_pointer_cast<HUDNotificationIndicator>(shared_from_this());
}

std::shared_ptr<ui::Window> HUDNotificationIndicator::backgroundWindow() const { return hudBackgroundWindow(); }

const std::shared_ptr<HUDNotificationIndicatorView>& HUDNotificationIndicator::notificationView() {
    if (!notificationView_) {
        notificationView_ = core::make<HUDNotificationIndicatorView>();
        auto weak = weakSelf();
        auto pan = std::make_shared<ui::PanGestureRecognizer>();
        pan->addAction([weak](ui::GestureRecognizer& r) {
            if (auto self = weak.lock()) self->onPanGuestureRecognized(r);
        });
        auto tap = std::make_shared<ui::TapGestureRecognizer>();
        tap->addAction([weak](ui::GestureRecognizer& r) {
            if (auto self = weak.lock()) self->onTapGestureRecognized(r);
        });
        notificationView_->addGestureRecognizer(pan);
        notificationView_->addGestureRecognizer(tap);
    }
    return notificationView_;
}

void HUDNotificationIndicator::show(gfx::ImagePtr image, std::optional<std::string> title,
                                    std::optional<std::string> message, bool autoDismiss, Handler tapHandler,
                                    Handler completion) {
    auto weak = weakSelf();
    dispatch::Queue::main()->async([weak, image = std::move(image), title = std::move(title),
                                    message = std::move(message), autoDismiss, tapHandler = std::move(tapHandler),
                                    completion = std::move(completion)] {
        auto self = weak.lock();
        if (!self) return;
        ++self->showCount_;
        self->notificationImage_ = image;
        self->notificationTitle_ = title;
        self->notificationMessage_ = message;
        self->isCurrentlyOnScreen_ = false;
        self->shouldAutoDismiss_ = autoDismiss;
        self->tapHandler_ = tapHandler;
        self->completion_ = completion;
        self->stopDismissTimer();
        self->adjustIndicatorFrame();
    });
}

void HUDNotificationIndicator::adjustIndicatorFrame() {
    const auto& view = notificationView();
    const double h =
        HUDNotificationIndicatorView::getFrameForNotificationViewWithImage(notificationImage_, notificationMessage_);
    view->setFrame({0, -h, screenWidth(), h});
    view->showWithImage(notificationImage_, notificationTitle_, notificationMessage_, indicatorStyle_);
    if (auto window = backgroundWindow()) window->addSubview(view);
    startShowingNotificationView();
}

void HUDNotificationIndicator::startShowingNotificationView() {
    auto weak = weakSelf();
    const double h = notificationView_->frame().size.height;
    ui::View::animateWithSpring(
        kAnimationDuration, 0, 0.5, 0, ui::animationCurveEaseIn,
        [weak, h] {
            if (auto self = weak.lock()) self->notificationView_->setFrame({0, 0, screenWidth(), h});
        },
        [weak](bool) {
            auto self = weak.lock();
            if (!self) return;
            if (!self->isCurrentlyOnScreen_) self->startDismissTimer();
            self->isCurrentlyOnScreen_ = true;
        });
}

void HUDNotificationIndicator::startDismissTimer() {
    stopDismissTimer();
    if (!shouldAutoDismiss_) return;
    auto weak = weakSelf();
    dismissTimer_.start(hudDismissTime(notificationMessage_.value_or("")), [weak] {
        if (auto self = weak.lock()) self->dismissingNotificationtView();
    });
}

void HUDNotificationIndicator::stopDismissTimer() { dismissTimer_.stop(); }

void HUDNotificationIndicator::dismissOnTapped(bool tapped) {
    stopDismissTimer();
    dismissingNotificationtViewByTap(tapped);
}

void HUDNotificationIndicator::dismissingNotificationtViewByTap(bool tapped) {
    auto weak = weakSelf();
    const double h = notificationView()->frame().size.height;
    const std::uint64_t showsAtStart = showCount_;
    ui::View::animate(
        kAnimationDuration, 0, ui::animationCurveEaseIn,
        [weak, h] {
            if (auto self = weak.lock()) self->notificationView_->setFrame({0, -h, screenWidth(), h});
        },
        [weak, tapped, showsAtStart](bool) {
            auto self = weak.lock();
            // A banner shown while this one slid out owns the view and the handlers now.
            if (!self || self->showCount_ != showsAtStart) return;
            self->isCurrentlyOnScreen_ = false;
            self->notificationView_->removeFromSuperview();
            if (self->completion_ && !tapped) self->completion_();
        });
}

void HUDNotificationIndicator::onTapGestureRecognized(ui::GestureRecognizer& recognizer) {
    if (!isCurrentlyOnScreen_ || recognizer.state() != ui::GestureRecognizer::State::ended) return;
    dismissOnTapped(true);
    if (tapHandler_) tapHandler_();
}

void HUDNotificationIndicator::onPanGuestureRecognized(ui::GestureRecognizer& recognizer) {
    if (!isCurrentlyOnScreen_) return;
    auto& pan = static_cast<ui::PanGestureRecognizer&>(recognizer);
    auto window = backgroundWindow();
    const double t = pan.translationInView(window.get()).y;
    const auto state = recognizer.state();
    if ((state == ui::GestureRecognizer::State::began || state == ui::GestureRecognizer::State::changed) && t < 0) {
        notificationView_->setFrame({0, t, screenWidth(), notificationView_->frame().size.height});
    } else if (state == ui::GestureRecognizer::State::ended) {
        dismissBanner();
    }
}

} // namespace kit
