#include "ui/HUDToastIndicator.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "ui/HUDDismissTime.h"
#include "ui/KeyboardChange.h"
#include "ui/HUDWindow.h"

#include <algorithm>

namespace kit {

namespace {
constexpr double kToastStartScale = 0.2;
constexpr double kToastAnimationDuration = 0.2;
constexpr double kToastDeferral = 0.4;
constexpr double kBottomGap = 20;
} // namespace

std::shared_ptr<HUDToastIndicator> HUDToastIndicator::sharedInstance() {
    // Made once and never released: the toast outlives every page.
    static auto* instance = new std::shared_ptr<HUDToastIndicator>(core::make<HUDToastIndicator>());
    return *instance;
}

void HUDToastIndicator::setToastIndicatorStyleToDefaultStyle() { setToastIndicatorStyle(1); }
void HUDToastIndicator::setToastIndicatorStyle(long style) { sharedInstance()->setIndicatorStyle(style); }
void HUDToastIndicator::showToastMessage(std::optional<std::string> message) { sharedInstance()->show(std::move(message)); }
void HUDToastIndicator::dismiss() { sharedInstance()->dismissToast(); }

std::weak_ptr<HUDToastIndicator> HUDToastIndicator::weakSelf() {
    return std::static_pointer_cast<HUDToastIndicator>(shared_from_this());
}

void HUDToastIndicator::init() {
    core::Object::init();
    auto weak = weakSelf();
    keyboardObservation_ = core::NotificationCenter::defaultCenter().addObserver(
        ui::Keyboard::kWillChangeFrameNotification, [weak](const core::Notification& n) {
            if (auto self = weak.lock()) self->onKeyboardWillChangeFrame(n);
        });
}

std::shared_ptr<ui::Window> HUDToastIndicator::backgroundWindow() const { return hudBackgroundWindow(); }

const std::shared_ptr<HUDToastIndicatorView>& HUDToastIndicator::toastView() {
    if (!toastView_) {
        toastView_ = core::make<HUDToastIndicatorView>();
        toastView_->setUserInteractionEnabled(false);
    }
    return toastView_;
}

double HUDToastIndicator::keyboardHeight() const { return ui::Keyboard::shared().frame().size.height; }

void HUDToastIndicator::show(std::optional<std::string> message) {
    auto weak = weakSelf();
    dispatch::Queue::main()->async([weak, message = std::move(message)] {
        auto self = weak.lock();
        if (!self) return;
        self->toastMessage_ = message;
        self->isCurrentlyOnScreen_ = false;
        self->stopDismissTimer();
        ++self->showCount_;
        if (self->isDuringAnimation_) {
            dispatch::Queue::main()->after(kToastDeferral, [weak] {
                if (auto later = weak.lock()) later->adjustIndicatorFrame();
            });
        } else {
            self->adjustIndicatorFrame();
        }
    });
}

void HUDToastIndicator::adjustIndicatorFrame() {
    const auto& view = toastView();
    view->setAlpha(1);
    view->setTransform(gfx::AffineTransform::identity());
    const gfx::Size size = HUDToastIndicatorView::getFrameForToastViewWithMessage(toastMessage_);
    const gfx::Rect screen = ui::Screen::main().bounds();
    view->setFrame({(screen.size.width - size.width) / 2,
                    screen.size.height - keyboardHeight() - kBottomGap - size.height, size.width, size.height});
    view->showToastMessage(toastMessage_, indicatorStyle_);
    if (auto window = backgroundWindow()) window->addSubview(view);
    view->setTransform(gfx::AffineTransform::scale(kToastStartScale, kToastStartScale));
    startShowingToastView();
}

void HUDToastIndicator::startShowingToastView() {
    isDuringAnimation_ = true;
    toastView_->setTransform(gfx::AffineTransform::scale(kToastStartScale, kToastStartScale));
    auto weak = weakSelf();
    const unsigned long long shown = showCount_;
    ui::View::animateWithSpring(
        kToastAnimationDuration, 0, 0.5, 0, ui::animationCurveEaseIn,
        [weak] {
            if (auto self = weak.lock()) self->toastView_->setTransform(gfx::AffineTransform::identity());
        },
        [weak, shown](bool) {
            auto self = weak.lock();
            if (!self) return;
            self->isDuringAnimation_ = false;
            // A text that came during this spring is laid out later and springs in itself: its
            // time counts from its own appearance, not from the end of this spring.
            if (shown != self->showCount_) return;
            if (!self->isCurrentlyOnScreen_) self->startDismissTimer();
            self->isCurrentlyOnScreen_ = true;
        });
}

void HUDToastIndicator::startDismissTimer() {
    stopDismissTimer();
    auto weak = weakSelf();
    dismissTimer_.start(hudDismissTime(toastMessage_.value_or("")), [weak] {
        if (auto self = weak.lock()) self->dismissingToastView();
    });
}

void HUDToastIndicator::stopDismissTimer() { dismissTimer_.stop(); }

void HUDToastIndicator::dismissToast() {
    stopDismissTimer();
    dismissingToastView();
}

void HUDToastIndicator::dismissingToastView() {
    isDuringAnimation_ = true;
    auto weak = weakSelf();
    ui::View::animate(
        kToastAnimationDuration, 0, ui::animationCurveEaseIn,
        [weak] {
            if (auto self = weak.lock()) self->toastView()->setTransform(gfx::AffineTransform::scale(kToastStartScale, kToastStartScale));
        },
        [weak](bool) {
            auto self = weak.lock();
            if (!self) return;
            self->isDuringAnimation_ = false;
            self->isCurrentlyOnScreen_ = false;
            self->toastView()->removeFromSuperview();
        });
}

void HUDToastIndicator::onKeyboardWillChangeFrame(const core::Notification& notification) {
    const KeyboardChange change = keyboardChange(notification);
    const gfx::Rect end = change.endFrame;
    const double screenHeight = ui::Screen::main().bounds().size.height;
    const auto& view = toastView();
    gfx::Rect frame = view->frame();
    frame.origin.y = std::min(screenHeight, end.origin.y) - kBottomGap - frame.size.height;
    ui::View::animate(change.duration, 0, ui::animationCurveEaseIn, [view, frame] { view->setFrame(frame); });
}

} // namespace kit
