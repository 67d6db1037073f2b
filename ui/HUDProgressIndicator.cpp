#include "ui/HUDProgressIndicator.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "ui/HUDDismissTime.h"
#include "ui/KeyboardChange.h"
#include "ui/c.h"

#include <algorithm>

namespace kit {

namespace {
constexpr double kStartScale = 0.4;
constexpr double kSpringDuration = 0.2;
constexpr double kDeferral = 0.4;
} // namespace

std::shared_ptr<HUDProgressIndicator> HUDProgressIndicator::sharedInstance() {
    // Made once and never released: the HUD outlives every page.
    static auto* instance = new std::shared_ptr<HUDProgressIndicator>(core::make<HUDProgressIndicator>());
    return *instance;
}

void HUDProgressIndicator::setProgressIndicatorStyleToDefaultStyle() { setProgressIndicatorStyle(1); }
void HUDProgressIndicator::setProgressIndicatorStyle(long style) { sharedInstance()->setIndicatorStyle(style); }

void HUDProgressIndicator::showProgressWithmessage(std::optional<std::string> message, bool userInteractionEnable) {
    sharedInstance()->showProgressWithType(HUDMessageType::progress, std::move(message), nullptr, userInteractionEnable);
}
void HUDProgressIndicator::showInfoWithMessage(std::optional<std::string> message, gfx::ImagePtr image,
                                               bool userInteractionEnable) {
    // An information panel that says nothing (a failed answer without a message) is not shown.
    if (!message || message->empty()) return;
    sharedInstance()->showProgressWithType(HUDMessageType::info, std::move(message), std::move(image), userInteractionEnable);
}
void HUDProgressIndicator::showSuccessWithMessage(std::optional<std::string> message, gfx::ImagePtr image,
                                                  bool userInteractionEnable) {
    sharedInstance()->showProgressWithType(HUDMessageType::success, std::move(message), std::move(image),
                                           userInteractionEnable);
}
void HUDProgressIndicator::showErrorWithMessage(std::optional<std::string> message, gfx::ImagePtr image,
                                                bool userInteractionEnable) {
    sharedInstance()->showProgressWithType(HUDMessageType::error, std::move(message), std::move(image), userInteractionEnable);
}
void HUDProgressIndicator::dismiss() { sharedInstance()->dismissProgress(); }

std::weak_ptr<HUDProgressIndicator> HUDProgressIndicator::weakSelf() {
    return std::static_pointer_cast<HUDProgressIndicator>(shared_from_this());
}

void HUDProgressIndicator::init() {
    core::Object::init();
    auto weak = weakSelf();
    keyboardObservation_ = core::NotificationCenter::defaultCenter().addObserver(
        ui::Keyboard::kWillChangeFrameNotification, [weak](const core::Notification& n) {
            if (auto self = weak.lock()) self->onKeyboardWillChangeFrame(n);
        });
}

// The app's main window, as the application's delegate holds it.
std::shared_ptr<ui::Window> HUDProgressIndicator::backgroundWindow() const { return c::window(); }

const std::shared_ptr<HUDProgressIndicatorView>& HUDProgressIndicator::progressView() {
    if (!progressView_) progressView_ = core::make<HUDProgressIndicatorView>();
    return progressView_;
}

double HUDProgressIndicator::keyboardHeight() const { return ui::Keyboard::shared().frame().size.height; }

void HUDProgressIndicator::setUserInteractionEnable(bool enable) {
    progressView()->setUserInteractionEnable(enable);
    userInteractionEnable_ = enable;
}

void HUDProgressIndicator::showProgressWithType(HUDMessageType type, std::optional<std::string> message,
                                                gfx::ImagePtr image, bool userInteractionEnable) {
    auto weak = weakSelf();
    dispatch::Queue::main()->async([weak, type, message = std::move(message), image = std::move(image),
                                    userInteractionEnable] {
        auto self = weak.lock();
        if (!self) return;
        self->messageType_ = type;
        self->progressMessage_ = message;
        self->customImage_ = image;
        self->setUserInteractionEnable(userInteractionEnable);
        self->isCurrentlyOnScreen_ = false;
        self->stopDismissTimer();
        ++self->showCount_;
        if (self->isDuringAnimation_) {
            dispatch::Queue::main()->after(kDeferral, [weak] {
                if (auto later = weak.lock()) later->adjustIndicatorFrame();
            });
        } else {
            self->adjustIndicatorFrame();
        }
    });
}

void HUDProgressIndicator::adjustIndicatorFrame() {
    const auto& view = progressView();
    view->setTransform(gfx::AffineTransform::identity());
    const gfx::Size size = HUDProgressIndicatorView::getFrameForProgressViewWithMessage(progressMessage_);
    const gfx::Rect screen = ui::Screen::main().bounds();
    view->setFrame({(screen.size.width - size.width) / 2, (screen.size.height - keyboardHeight() - size.height) / 2,
                    size.width, size.height});
    view->showProgressWithType(messageType_, progressMessage_, customImage_, indicatorStyle_, userInteractionEnable_);
    if (auto window = backgroundWindow()) window->addSubview(view);
    startShowingProgressView();
}

void HUDProgressIndicator::startShowingProgressView() {
    progressView_->setTransform(gfx::AffineTransform::scale(kStartScale, kStartScale));
    isDuringAnimation_ = true;
    auto weak = weakSelf();
    const unsigned long long shown = showCount_;
    ui::View::animateWithSpring(
        kSpringDuration, 0, 0.5, 0, ui::animationCurveEaseIn | ui::animationAllowUserInteraction,
        [weak] {
            if (auto self = weak.lock()) self->progressView_->setTransform(gfx::AffineTransform::identity());
        },
        [weak, shown](bool) {
            auto self = weak.lock();
            if (!self) return;
            self->isDuringAnimation_ = false;
            // A message that came during this spring is laid out later and springs in itself: its
            // time counts from its own appearance, not from the end of this spring.
            if (shown != self->showCount_) return;
            if (!self->isCurrentlyOnScreen_) self->startDismissTimer();
            self->isCurrentlyOnScreen_ = true;
        });
}

void HUDProgressIndicator::startDismissTimer() {
    stopDismissTimer();
    if (messageType_ == HUDMessageType::progress) return;
    auto weak = weakSelf();
    dismissTimer_.start(hudDismissTime(progressMessage_.value_or("")), [weak] {
        if (auto self = weak.lock()) self->dismissingProgressView();
    });
}

void HUDProgressIndicator::stopDismissTimer() { dismissTimer_.stop(); }

void HUDProgressIndicator::dismissProgress() {
    stopDismissTimer();
    dismissingProgressView();
}

void HUDProgressIndicator::dismissingProgressView() {
    isDuringAnimation_ = false;
    isCurrentlyOnScreen_ = false;
    if (!userInteractionEnable_) setUserInteractionEnable(true);
    progressView()->removeFromSuperview();
}

void HUDProgressIndicator::onKeyboardWillChangeFrame(const core::Notification& notification) {
    const KeyboardChange change = keyboardChange(notification);
    const gfx::Rect end = change.endFrame;
    const double duration = change.duration;
    const double screenHeight = ui::Screen::main().bounds().size.height;
    const auto& view = progressView();
    gfx::Rect frame = view->frame();
    frame.origin.y = (std::min(screenHeight, end.origin.y) - frame.size.height) / 2;
    ui::View::animate(duration, 0, ui::animationCurveEaseIn | ui::animationAllowUserInteraction,
                      [view, frame] { view->setFrame(frame); });
}

} // namespace kit
