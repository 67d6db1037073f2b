#include "platform/ui/ActivityIndicatorView.h"

#include "platform/gfx/Path.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace ui {
namespace {

constexpr int kSpokes = 12;
constexpr const char* kSpinKey = "spin";

gfx::Color colorForStyle(ActivityIndicatorViewStyle style) {
    return style == ActivityIndicatorViewStyle::gray ? gfx::Color::white(0.5) : gfx::Color::whiteColor();
}

} // namespace

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorViewStyle style)
    : View({{0, 0}, sizeForStyle(style)}), style_(style), color_(colorForStyle(style)) {}

void ActivityIndicatorView::init() {
    View::init();
    setUserInteractionEnabled(false);
    setHidden(true);  // stopped
    setNeedsDisplay();
}

gfx::Size ActivityIndicatorView::sizeForStyle(ActivityIndicatorViewStyle style) {
    return style == ActivityIndicatorViewStyle::whiteLarge ? gfx::Size{37, 37} : gfx::Size{20, 20};
}

gfx::Size ActivityIndicatorView::sizeThatFits(gfx::Size) const { return sizeForStyle(style_); }

void ActivityIndicatorView::setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style) {
    style_ = style;
    color_ = colorForStyle(style);
    gfx::Point c = center();
    gfx::Size s = sizeForStyle(style);
    setBounds({bounds().origin, s});
    setCenter(c);
    setNeedsDisplay();
}

void ActivityIndicatorView::setColor(gfx::Color color) {
    color_ = color;
    setNeedsDisplay();
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

void ActivityIndicatorView::startAnimating() {
    if (animating_) return;
    animating_ = true;
    setHidden(false);
    addSpin();
}

void ActivityIndicatorView::stopAnimating() {
    if (!animating_) return;
    animating_ = false;
    layer()->removeAnimation(kSpinKey);
    if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicatorView::didMoveToWindow() {
    // A spinner that comes back into a window turns again from where the clock says.
    if (animating_ && !layer()->animation(kSpinKey)) addSpin();
}

void ActivityIndicatorView::addSpin() {
    // One step of a twelfth of a turn every twelfth of a second: equal key times make the jumps.
    auto spin = ca::KeyframeAnimation::make("transform.rotation.z");
    for (int i = 0; i < kSpokes; ++i) {
        double angle = 2 * std::numbers::pi * i / kSpokes;
        spin->values.push_back(angle);
        spin->values.push_back(angle);
        spin->keyTimes.push_back(double(i) / kSpokes);
        spin->keyTimes.push_back(double(i + 1) / kSpokes);
    }
    spin->duration = 1;
    spin->repeatCount = std::numeric_limits<double>::infinity();
    layer()->addAnimation(spin, kSpinKey);
}

void ActivityIndicatorView::drawRect(gfx::Context& context, const gfx::Rect&) {
    gfx::Rect b = bounds();
    double radius = std::min(b.width(), b.height()) / 2;
    double width = radius * (style_ == ActivityIndicatorViewStyle::whiteLarge ? 0.2 : 0.22);
    gfx::Point c = b.center();
    context.setStrokeColor(color_);
    context.setLineWidth(width);
    context.setLineCap(gfx::Context::LineCap::round);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the top is the brightest; the ones behind it in the turn fade out.
        double angle = -std::numbers::pi / 2 + 2 * std::numbers::pi * i / kSpokes;
        double fade = 1 - 0.75 * double((kSpokes - i) % kSpokes) / kSpokes;
        context.save();
        context.setAlpha(context.alpha() * fade);
        gfx::Path spoke;
        double inner = radius * 0.5, outer = radius - width / 2;
        spoke.moveTo({c.x + inner * std::cos(angle), c.y + inner * std::sin(angle)});
        spoke.lineTo({c.x + outer * std::cos(angle), c.y + outer * std::sin(angle)});
        context.strokePath(spoke);
        context.restore();
    }
}

} // namespace ui
