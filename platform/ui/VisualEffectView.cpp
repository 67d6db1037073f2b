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
    case BlurEffectStyle::extraLight: return gfx::Color::white(0.97, 0.92);
    case BlurEffectStyle::light: return gfx::Color::white(0.93, 0.85);
    case BlurEffectStyle::dark: return gfx::Color::white(0.11, 0.82);
    }
    return gfx::Color::clear();
}

void VisualEffectView::setEffect(std::optional<BlurEffectStyle> effect) {
    effect_ = effect;
    setBackgroundColor(effect ? std::optional(tintForStyle(*effect)) : std::nullopt);
}

} // namespace ui
