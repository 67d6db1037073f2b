#include "indicators/ActivityIndicatorPresenter.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <limits>
#include <mutex>

namespace indicators {
namespace {

using State = ActivityIndicatorPresenter::State;

// The full-screen container: the indicator centred at its own size, the label below it.
class IndicatorContainer final : public ui::View {
    QUILLORA_CLASS(IndicatorContainer)
    IndicatorContainer(gfx::Rect frame, std::shared_ptr<ActivityIndicatorView> indicator,
                       std::shared_ptr<ui::Label> label, double spacing)
        : ui::View(frame), indicator_(std::move(indicator)), label_(std::move(label)), spacing_(spacing) {}

    void layoutSubviews() override {
        const gfx::Rect b = bounds();
        const gfx::Size s = indicator_->intrinsicContentSize();
        indicator_->setFrame({b.midX() - s.width / 2, b.midY() - s.height / 2, s.width, s.height});
        const double width = b.width() - 16;
        const double height =
            label_->sizeThatFits({width, std::numeric_limits<double>::max()}).height;
        label_->setFrame({b.minX() + 8, indicator_->frame().maxY() + spacing_, width, height});
    }

private:
    std::shared_ptr<ActivityIndicatorView> indicator_;
    std::shared_ptr<ui::Label> label_;
    double spacing_;
};

void schedule(long milliseconds, std::function<void()> block) {
    dispatch::Queue::main()->after(static_cast<double>(milliseconds) / 1000.0, std::move(block));
}

} // namespace

ActivityData::ActivityData(std::optional<gfx::Size> size_, std::optional<std::string> message_,
                           std::optional<gfx::Font> messageFont_, std::optional<double> messageSpacing_,
                           std::optional<ActivityIndicatorType> type_, std::optional<gfx::Color> color_,
                           std::optional<double> padding_, std::optional<long> displayTimeThreshold_,
                           std::optional<long> minimumDisplayTime_, std::optional<gfx::Color> backgroundColor_,
                           std::optional<gfx::Color> textColor_)
    : size(size_.value_or(ActivityIndicatorView::defaultBlockerSize())),
      message(message_ ? message_ : ActivityIndicatorView::defaultBlockerMessage()),
      messageFont(messageFont_.value_or(ActivityIndicatorView::defaultMessageFont())),
      messageSpacing(messageSpacing_.value_or(ActivityIndicatorView::defaultMessageSpacing())),
      type(type_.value_or(ActivityIndicatorView::defaultType())),
      color(color_.value_or(ActivityIndicatorView::defaultColor())),
      textColor(textColor_ ? *textColor_ : color_ ? *color_ : ActivityIndicatorView::defaultTextColor()),
      padding(padding_.value_or(ActivityIndicatorView::defaultPadding())),
      displayTimeThreshold(displayTimeThreshold_.value_or(ActivityIndicatorView::defaultDisplayTimeThreshold())),
      minimumDisplayTime(minimumDisplayTime_.value_or(ActivityIndicatorView::defaultMinimumDisplayTime())),
      backgroundColor(backgroundColor_.value_or(ActivityIndicatorView::defaultBlockerBackgroundColor())) {}

ActivityIndicatorPresenter::ActivityIndicatorPresenter() : messageLabel(core::make<ui::Label>()) {
    messageLabel->setTextAlignment(ui::TextAlignment::center);
    messageLabel->setNumberOfLines(0);
}

std::shared_ptr<ActivityIndicatorPresenter> ActivityIndicatorPresenter::make() {
    return std::make_shared<ActivityIndicatorPresenter>();
}

const std::shared_ptr<ActivityIndicatorPresenter>& ActivityIndicatorPresenter::sharedPresenter() {
    static const auto* shared = new std::shared_ptr<ActivityIndicatorPresenter>(make());
    return *shared;
}

void ActivityIndicatorPresenter::presentIndicator(std::shared_ptr<const ActivityData> newData, FadeInHandler fadeIn) {
    data = std::move(newData);
    handleStart(state, *this, std::move(fadeIn));
}

void ActivityIndicatorPresenter::dismissIndicator(FadeOutHandler fadeOut) {
    handleStop(state, *this, std::move(fadeOut));
}

void ActivityIndicatorPresenter::updateMessage(std::optional<std::string> message) {
    auto label = messageLabel;
    waitingToStartGroup.notify(dispatch::Queue::main(),
                               [label, message = std::move(message)] { label->setText(message.value_or("")); });
}

bool ActivityIndicatorPresenter::isIndicatorActive() const {
    return state == State::animating || state == State::waitingToStop;
}

void ActivityIndicatorPresenter::showContainer(const ActivityData& d, const FadeInHandler& fadeIn) {
    auto indicator = ActivityIndicatorView::initIndicatorView({0, 0, d.size.width, d.size.height}, d.type, d.color,
                                                              d.padding);
    auto container = core::make<IndicatorContainer>(ui::Screen::main().bounds(), indicator, messageLabel,
                                                    d.messageSpacing);
    container->setBackgroundColor(d.backgroundColor);
    container->setRestorationIdentifier(restorationIdentifier);
    if (fadeIn) fadeIn(container);
    indicator->startIndicator();
    container->addSubview(indicator);
    messageLabel->setFont(d.messageFont);
    messageLabel->setTextColor(d.textColor);
    messageLabel->setText(d.message.value_or(""));
    container->addSubview(messageLabel);
    if (auto window = ui::Application::shared().keyWindow()) {
        // Pinned to the window's four edges: it follows the window when that changes size.
        container->setFrame(window->bounds());
        container->setAutoresizingMask(ui::autoresizingFlexibleWidth | ui::autoresizingFlexibleHeight);
        window->addSubview(container);
    }
    container->setNeedsLayout();
}

void ActivityIndicatorPresenter::hideContainer(const FadeOutHandler& fadeOut) {
    auto window = ui::Application::shared().keyWindow();
    if (!window) {
        state = State::stopped;
        return;
    }
    const auto subviews = window->subviews();
    for (const auto& view : subviews) {
        if (view->restorationIdentifier() != restorationIdentifier) continue;
        if (fadeOut) {
            std::weak_ptr<ui::View> weak = view;
            fadeOut(view, [weak] {
                if (auto v = weak.lock()) v->removeFromSuperview();
            });
        } else {
            view->removeFromSuperview();
        }
    }
    state = State::stopped;
}

void ActivityIndicatorPresenterStateStopped::handleStart(ActivityIndicatorPresenter& presenter,
                                                         FadeInHandler fadeIn) const {
    if (!presenter.data) return;
    auto self = presenter.shared_from_this();
    auto data = presenter.data;
    schedule(data->displayTimeThreshold, [self, data, fadeIn] {
        if (self->state == State::waitingToStart) self->presentIndicator(data, fadeIn);
    });
    presenter.state = State::waitingToStart;
    presenter.waitingToStartGroup.enter();
}

void ActivityIndicatorPresenterStateStopped::handleStop(ActivityIndicatorPresenter&, FadeOutHandler) const {}

void ActivityIndicatorPresenterStateWaitingToStart::handleStart(ActivityIndicatorPresenter& presenter,
                                                                FadeInHandler fadeIn) const {
    if (!presenter.data) return;
    presenter.showContainer(*presenter.data, fadeIn);
    presenter.state = State::animating;
    presenter.waitingToStartGroup.leave();
}

void ActivityIndicatorPresenterStateWaitingToStart::handleStop(ActivityIndicatorPresenter& presenter,
                                                               FadeOutHandler) const {
    presenter.state = State::stopped;
    presenter.waitingToStartGroup.leave();
}

void ActivityIndicatorPresenterStateAnimating::handleStart(ActivityIndicatorPresenter&, FadeInHandler) const {}

void ActivityIndicatorPresenterStateAnimating::handleStop(ActivityIndicatorPresenter& presenter,
                                                          FadeOutHandler fadeOut) const {
    if (!presenter.data) return;
    auto self = presenter.shared_from_this();
    schedule(presenter.data->minimumDisplayTime, [self, fadeOut] {
        if (self->state == State::waitingToStop) self->hideContainer(fadeOut);
    });
    presenter.state = State::waitingToStop;
}

void ActivityIndicatorPresenterStateWaitingToStop::handleStart(ActivityIndicatorPresenter& presenter,
                                                               FadeInHandler fadeIn) const {
    presenter.dismissIndicator();
    if (presenter.data) indicators::handleStart(presenter.state, presenter, std::move(fadeIn));
}

void ActivityIndicatorPresenterStateWaitingToStop::handleStop(ActivityIndicatorPresenter& presenter,
                                                              FadeOutHandler fadeOut) const {
    presenter.hideContainer(fadeOut);
}

const ActivityIndicatorPresenterState& handlerOf(State state) {
    static const ActivityIndicatorPresenterStateWaitingToStart waitingToStart;
    static const ActivityIndicatorPresenterStateAnimating animating;
    static const ActivityIndicatorPresenterStateWaitingToStop waitingToStop;
    static const ActivityIndicatorPresenterStateStopped stopped;
    switch (state) {
    case State::waitingToStart: return waitingToStart;
    case State::animating: return animating;
    case State::waitingToStop: return waitingToStop;
    case State::stopped: break;
    }
    return stopped;
}

void handleStart(State state, ActivityIndicatorPresenter& presenter, FadeInHandler fadeIn) {
    handlerOf(state).handleStart(presenter, std::move(fadeIn));
}

void handleStop(State state, ActivityIndicatorPresenter& presenter, FadeOutHandler fadeOut) {
    handlerOf(state).handleStop(presenter, std::move(fadeOut));
}

void ActivityIndicatorViewable::startBlockingIndicator(std::optional<gfx::Size> size, std::optional<std::string> message,
                                                       std::optional<gfx::Font> messageFont,
                                                       std::optional<ActivityIndicatorType> type,
                                                       std::optional<gfx::Color> color, std::optional<double> padding,
                                                       std::optional<long> displayTimeThreshold,
                                                       std::optional<long> minimumDisplayTime,
                                                       std::optional<gfx::Color> backgroundColor,
                                                       std::optional<gfx::Color> textColor, FadeInHandler fadeIn) {
    auto data = std::make_shared<const ActivityData>(size, std::move(message), std::move(messageFont), std::nullopt,
                                                     type, color, padding, displayTimeThreshold, minimumDisplayTime,
                                                     backgroundColor, textColor);
    ActivityIndicatorPresenter::sharedPresenter()->presentIndicator(std::move(data), std::move(fadeIn));
}

void ActivityIndicatorViewable::stopBlockingIndicator(FadeOutHandler fadeOut) {
    ActivityIndicatorPresenter::sharedPresenter()->dismissIndicator(std::move(fadeOut));
}

bool ActivityIndicatorViewable::isBlockingIndicatorActive() const {
    return ActivityIndicatorPresenter::sharedPresenter()->isIndicatorActive();
}

} // namespace indicators
