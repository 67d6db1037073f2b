#include "platform/ui/PercentDrivenInteractiveTransition.h"

#include "platform/ca/Animation.h"
#include "platform/ca/MediaTime.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/TransitionContext.h"
#include "platform/ui/ViewControllerAnimatedTransitioning.h"

#include <algorithm>

namespace ui {
namespace {

// View animations live under "view.<keyPath>" keys (see View::animateChange).
constexpr std::string_view kViewAnimationPrefix = "view.";

void setModelValue(ca::Layer& layer, const std::string& keyPath, const ca::PropertyValue& value) {
    if (keyPath == "position") { if (auto p = std::get_if<gfx::Point>(&value)) layer.setPosition(*p); }
    else if (keyPath == "bounds") { if (auto r = std::get_if<gfx::Rect>(&value)) layer.setBounds(*r); }
    else if (keyPath == "transform") { if (auto t = std::get_if<gfx::Transform3D>(&value)) layer.setTransform(*t); }
    else if (keyPath == "opacity") { if (auto o = std::get_if<double>(&value)) layer.setOpacity(*o); }
    else if (keyPath == "backgroundColor") { if (auto c = std::get_if<gfx::Color>(&value)) layer.setBackgroundColor(*c); }
}

} // namespace

void PercentDrivenInteractiveTransition::startInteractiveTransition(const std::shared_ptr<TransitionContext>& context) {
    if (!context || !context->animator()) return;
    context_ = context;
    auto container = context->containerView();
    container_ = container;
    duration_ = std::max(0.0, context->animator()->transitionDuration(context));
    driving_ = true;
    // Freeze the container's clock: everything the animator starts below it begins at this
    // local time and stays there until update moves the clock by hand.
    auto& layer = *container->layer();
    startTime_ = layer.localTime();
    savedSpeed_ = layer.speed();
    layer.setSpeed(0);
    layer.setBeginTime(0);
    layer.setTimeOffset(startTime_);
    context->animator()->animateTransition(context);
    // A percent given before the transition started (the gesture began it) counts from here.
    updateInteractiveTransition(percent_);
}

void PercentDrivenInteractiveTransition::updateInteractiveTransition(double percentComplete) {
    percent_ = std::clamp(percentComplete, 0.0, 1.0);
    auto context = context_.lock();
    auto container = container_.lock();
    if (!driving_ || !context || !container) return;
    context->updateInteractiveTransition(percent_);
    container->layer()->setTimeOffset(startTime_ + percent_ * duration_);
}

void PercentDrivenInteractiveTransition::finishInteractiveTransition() {
    if (stopDriving(false)) retime(savedSpeed_);
}

void PercentDrivenInteractiveTransition::cancelInteractiveTransition() {
    if (stopDriving(true)) runBack();
}

bool PercentDrivenInteractiveTransition::stopDriving(bool cancel) {
    auto context = context_.lock();
    if (!driving_ || !context) return false;
    driving_ = false;
    context->setInteractive(false);
    if (cancel) context->cancelInteractiveTransition();
    else context->finishInteractiveTransition();
    return true;
}

// Lets the container's clock run at `speed` from the time it shows now:
// local = (parent − begin) · speed + offset.
void PercentDrivenInteractiveTransition::retime(double speed) {
    auto container = container_.lock();
    if (!container) return;
    auto& layer = *container->layer();
    double shown = layer.timeOffset();
    auto super = layer.superlayer();
    layer.setBeginTime(super ? super->localTime() : ca::currentMediaTime());
    layer.setSpeed(speed);
    layer.setTimeOffset(shown);
}

// Runs the container's clock backwards at normal speed from where the finger left it, then
// settles at the start.
void PercentDrivenInteractiveTransition::runBack() {
    auto container = container_.lock();
    if (!container) return;
    double shown = container->layer()->timeOffset();
    retime(-1);
    std::weak_ptr<PercentDrivenInteractiveTransition> weak =
        std::static_pointer_cast<PercentDrivenInteractiveTransition>(shared_from_this());
    dispatch::Queue::main()->after(std::max(0.0, shown - startTime_), [weak] {
        if (auto self = weak.lock()) self->settleAtStart();
    });
}

void PercentDrivenInteractiveTransition::settleAtStart() {
    auto container = container_.lock();
    if (!container) return;
    auto& layer = *container->layer();
    layer.setSpeed(0);
    layer.setTimeOffset(startTime_);
    retime(savedSpeed_);
    // The views take their values from before the transition, and stopping the animations runs
    // the animator's completion, which finds the context cancelled.
    restoreStartValues(*container);
}

void PercentDrivenInteractiveTransition::restoreStartValues(View& view) {
    auto& layer = *view.layer();
    for (const auto& key : layer.animationKeys()) {
        if (!key.starts_with(kViewAnimationPrefix)) continue;
        auto basic = std::dynamic_pointer_cast<const ca::BasicAnimation>(layer.animation(key));
        if (basic && basic->fromValue) setModelValue(layer, basic->keyPath, *basic->fromValue);
    }
    // The animator's completion runs when the last animation of its block stops, so every value
    // below the container is put back before this layer's animations are stopped.
    auto subviews = view.subviews();
    for (auto& child : subviews) restoreStartValues(*child);
    for (const auto& key : layer.animationKeys())
        if (key.starts_with(kViewAnimationPrefix)) layer.removeAnimation(key);
}

} // namespace ui
