// Zooming of ScrollView: the scale, its limits, the pinch and the hosts' zoom target.
#include "platform/ui/ScrollView.h"

#include <algorithm>

namespace ui {
namespace {
constexpr double kAnimatedZoomDuration = 0.3;
}

void ScrollView::setUpZooming() {
    auto pinch = std::make_shared<PinchGestureRecognizer>();
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    pinch->addAction([weak](GestureRecognizer& r) {
        if (auto self = weak.lock()) self->handlePinch(static_cast<PinchGestureRecognizer&>(r));
    });
    pinch_ = pinch;
    addGestureRecognizer(pinch_);
}

bool ScrollView::canZoom() const {
    if (minimumZoomScale_ >= maximumZoomScale_) return false;
    auto d = delegate();
    return d && d->viewForZoomingInScrollView(const_cast<ScrollView&>(*this)) != nullptr;
}

void ScrollView::setZoomScale(double scale, bool animated) {
    gfx::Rect b = bounds();
    gfx::Point centre{b.midX(), b.midY()};
    if (animated) {
        View::animate(kAnimatedZoomDuration, [&] { zoomAbout(scale, centre); });
    } else {
        zoomAbout(scale, centre);
    }
}

void ScrollView::zoomAbout(double scale, gfx::Point anchor) {
    auto d = delegate();
    if (!d) return;
    auto zoomed = d->viewForZoomingInScrollView(*this);
    if (!zoomed) return;
    const double to = std::clamp(scale, minimumZoomScale_, std::max(minimumZoomScale_, maximumZoomScale_));
    const double k = to / zoomScale_;
    const gfx::Point onScreen = anchor - contentOffset();
    zoomScale_ = to;
    const gfx::Size base = zoomed->bounds().size;
    zoomed->setTransform(gfx::AffineTransform::scale(to, to));
    zoomed->setCenter({base.width * to / 2, base.height * to / 2});
    setContentSize({base.width * to, base.height * to});
    // The content point under the anchor stays under it, within the resting range.
    gfx::Point offset{anchor.x * k - onScreen.x, anchor.y * k - onScreen.y};
    gfx::Point lo = minimumContentOffset(), hi = maximumContentOffset();
    offset.x = std::clamp(offset.x, lo.x, hi.x);
    offset.y = std::clamp(offset.y, lo.y, hi.y);
    setContentOffset(offset);
    d->scrollViewDidZoom(*this);
}

void ScrollView::handlePinch(PinchGestureRecognizer& pinch) {
    using State = GestureRecognizer::State;
    switch (pinch.state()) {
    case State::began:
        if (!canZoom()) return;
        zooming_ = true;
        pinchStartScale_ = zoomScale_;
        [[fallthrough]];
    case State::changed:
        if (zooming_) zoomAbout(pinchStartScale_ * pinch.scale(), pinch.locationInView(this));
        break;
    default: zooming_ = false; break;
    }
}

std::shared_ptr<ScrollView> ScrollView::zoomTargetAt(View& root, gfx::Point windowPoint) {
    root.layoutIfNeeded();
    for (auto v = root.hitTest(root.convertPointFromWindow(windowPoint)); v; v = v->superview()) {
        auto scroll = std::dynamic_pointer_cast<ScrollView>(v);
        if (scroll && scroll->isUserInteractionEnabled() && scroll->canZoom()) return scroll;
    }
    return nullptr;
}

} // namespace ui
