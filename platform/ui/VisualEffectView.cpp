#include "platform/ui/VisualEffectView.h"

namespace ui {

void VisualEffectView::init() {
    View::init();
    contentView_ = core::make<View>(bounds());
    contentView_->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
    addSubview(contentView_);
    setEffect(effect_);
}

gfx::Color VisualEffectView::tintForStyle(BlurEffectStyle style) {
    switch (style) {
    case BlurEffectStyle::extraLight: return gfx::Color::white(1.0, 0.72);
    case BlurEffectStyle::light: return gfx::Color::white(0.97, 0.55);
    case BlurEffectStyle::dark: return gfx::Color::white(0.11, 0.73);
    }
    return gfx::Color::clear();
}

double VisualEffectView::blurRadiusForStyle(BlurEffectStyle) { return 30; }

void VisualEffectView::setEffect(std::optional<BlurEffectStyle> effect) {
    effect_ = effect;
    setBackgroundColor(effect ? std::optional(tintForStyle(*effect)) : std::nullopt);
    layer()->setBackdropBlurRadius(effect ? blurRadiusForStyle(*effect) : 0);
}

} // namespace ui
