// The scroll view's indicator bars: two layers above the content, placed in content coordinates
// after every change of the offset, the size or the insets, and faded in and out by opacity.
#include "platform/ca/Animation.h"
#include "platform/ca/Layer.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/ScrollView.h"

#include <algorithm>

namespace ui {
namespace {

constexpr double kThickness = 2.5;
constexpr double kMargin = 3;        // from the edges of the visible part
constexpr double kMinimumLength = 7;  // the shortest bar, also while the content is pulled past an edge
constexpr double kLinger = 0.5;       // seconds the bars stay after scrolling stops
constexpr double kFade = 0.25;        // seconds the fade out takes
const char* const kFadeKey = "scrollIndicatorFade";

// Where a bar lies along one axis: its start and length on a track from `start` to `end`, for
// content of `extent` seen `visible` at a time, at `offset` within [min, max].
std::pair<double, double> barAlong(double start, double end, double visible, double extent, double offset, double min,
                                   double max) {
    double track = std::max(0.0, end - start);
    double length = extent > 0 ? track * std::min(1.0, visible / extent) : track;
    double overshoot = offset < min ? min - offset : offset > max ? offset - max : 0;
    length = std::clamp(length - overshoot, std::min(kMinimumLength, track), track);
    double progress = max > min ? std::clamp((offset - min) / (max - min), 0.0, 1.0) : 0;
    return {start + (track - length) * progress, length};
}

} // namespace

void ScrollView::setUpScrollIndicators() {
    for (auto* bar : {&verticalIndicator_, &horizontalIndicator_}) {
        *bar = ca::Layer::make();
        (*bar)->setBackgroundColor(gfx::Color::white(0, 0.35));
        (*bar)->setCornerRadius(kThickness / 2);
        (*bar)->setOpacity(0);
        // After the subviews' layers, which are always inserted before it: drawn above the content.
        layer()->addSublayer(*bar);
    }
    layoutScrollIndicators();
}

void ScrollView::setShowsVerticalScrollIndicator(bool shows) {
    showsVerticalIndicator_ = shows;
    layoutScrollIndicators();
}

void ScrollView::setShowsHorizontalScrollIndicator(bool shows) {
    showsHorizontalIndicator_ = shows;
    layoutScrollIndicators();
}

void ScrollView::setScrollIndicatorInsets(gfx::EdgeInsets insets) {
    indicatorInsets_ = insets;
    layoutScrollIndicators();
}

void ScrollView::layoutScrollIndicators() {
    if (!verticalIndicator_) return;
    const gfx::Rect b = bounds();
    const gfx::EdgeInsets in = adjustedContentInset();
    const gfx::EdgeInsets bar = indicatorInsets_;
    const gfx::Point lo = minimumContentOffset(in), hi = maximumContentOffset(in);
    bool vertical = showsVerticalIndicator_ && contentSize_.height + in.top + in.bottom > b.height();
    bool horizontal = showsHorizontalIndicator_ && contentSize_.width + in.left + in.right > b.width();
    verticalIndicator_->setHidden(!vertical);
    horizontalIndicator_->setHidden(!horizontal);
    if (vertical) {
        // Leave the corner to the horizontal bar when both show.
        double endRoom = horizontal ? kMargin + kThickness + kMargin : kMargin;
        auto [y, length] = barAlong(b.minY() + in.top + bar.top + kMargin, b.maxY() - in.bottom - bar.bottom - endRoom,
                                    b.height() - in.top - in.bottom, contentSize_.height, b.minY(), lo.y, hi.y);
        verticalIndicator_->setFrame({b.maxX() - bar.right - kMargin - kThickness, y, kThickness, length});
    }
    if (horizontal) {
        double endRoom = vertical ? kMargin + kThickness + kMargin : kMargin;
        auto [x, length] = barAlong(b.minX() + in.left + bar.left + kMargin, b.maxX() - in.right - bar.right - endRoom,
                                    b.width() - in.left - in.right, contentSize_.width, b.minX(), lo.x, hi.x);
        horizontalIndicator_->setFrame({x, b.maxY() - in.bottom - bar.bottom - kMargin - kThickness, length, kThickness});
    }
}

void ScrollView::showScrollIndicators() {
    if (!verticalIndicator_) return;
    if (indicatorFade_) {
        indicatorFade_->cancel();
        indicatorFade_.reset();
    }
    for (const auto& bar : {verticalIndicator_, horizontalIndicator_}) {
        bar->removeAnimation(kFadeKey);
        bar->setOpacity(1);
    }
    layoutScrollIndicators();
    // Shown by a move that no finger or glide carries on: they go again on their own.
    if (!tracking_ && !dragging_ && !animating_) fadeScrollIndicatorsLater();
}

void ScrollView::fadeScrollIndicatorsLater() {
    if (!verticalIndicator_) return;
    if (indicatorFade_) indicatorFade_->cancel();
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    indicatorFade_ = dispatch::Timer::start(dispatch::Queue::main(), kLinger, false, [weak] {
        auto self = weak.lock();
        if (!self) return;
        self->indicatorFade_.reset();
        if (self->tracking_ || self->dragging_ || self->animating_) return;
        for (const auto& bar : {self->verticalIndicator_, self->horizontalIndicator_}) {
            if (bar->opacity() <= 0) continue;
            auto fade = ca::BasicAnimation::make("opacity");
            fade->fromValue = ca::PropertyValue(bar->opacity());
            fade->toValue = ca::PropertyValue(0.0);
            fade->duration = kFade;
            bar->setOpacity(0);
            bar->addAnimation(fade, kFadeKey);
        }
    });
}

void ScrollView::flashScrollIndicators() {
    showScrollIndicators();
    fadeScrollIndicatorsLater();
}

} // namespace ui
