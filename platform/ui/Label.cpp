#include "platform/ui/Label.h"

#include <cmath>

namespace ui {

void Label::init() {
    View::init();
    setContentMode(ContentMode::redraw);
    setUserInteractionEnabled(false);
}

void Label::changed() { setNeedsDisplay(); }
void Label::setText(std::string text) { text_ = std::move(text); changed(); }
void Label::setFont(gfx::Font font) { font_ = std::move(font); changed(); }
void Label::setTextColor(gfx::Color color) { textColor_ = color; changed(); }
void Label::setTextAlignment(TextAlignment alignment) { alignment_ = alignment; changed(); }
void Label::setNumberOfLines(int lines) { numberOfLines_ = std::max(0, lines); changed(); }
void Label::setLineBreakMode(LineBreakMode mode) { lineBreak_ = mode; changed(); }
void Label::setShadowColor(std::optional<gfx::Color> color) { shadowColor_ = color; changed(); }
void Label::setShadowOffset(gfx::Size offset) { shadowOffset_ = offset; changed(); }

gfx::TextLayout Label::layoutFor(std::optional<double> width, std::optional<double> height) const {
    gfx::TextLayout layout;
    layout.setFont(font_);
    layout.setAlignment(alignment_ == TextAlignment::center  ? gfx::TextLayout::Alignment::center
                        : alignment_ == TextAlignment::right ? gfx::TextLayout::Alignment::right
                        : alignment_ == TextAlignment::justified ? gfx::TextLayout::Alignment::justified
                                                                 : gfx::TextLayout::Alignment::left);
    layout.setLineBreak(lineBreak_);
    layout.setMaximumLines(numberOfLines_);
    layout.setWidth(width);
    layout.setHeight(height);
    layout.setText(text_);
    return layout;
}

gfx::Size Label::sizeThatFits(gfx::Size size) const {
    auto width = size.width > 0 ? std::optional<double>(size.width) : std::nullopt;
    gfx::Size s = layoutFor(width, std::nullopt).size();
    return {std::ceil(s.width), std::ceil(s.height)};
}

gfx::Rect Label::textRectForBounds(const gfx::Rect& b) const {
    gfx::Size s = layoutFor(b.width(), b.height()).size();
    return {b.x(), b.y() + (b.height() - s.height) / 2, b.width(), s.height};
}

void Label::drawRect(gfx::Context& context, const gfx::Rect&) {
    gfx::Rect b = bounds();
    auto layout = layoutFor(b.width(), b.height());
    gfx::Size s = layout.size();
    if (shadowColor_) {
        context.setShadow(shadowOffset_, 0, shadowColor_);
        context.beginTransparencyLayer(1);
    }
    layout.draw(context, {b.x(), b.y() + (b.height() - s.height) / 2}, textColor_);
    if (shadowColor_) {
        context.endTransparencyLayer();
        context.setShadow({}, 0, std::nullopt);
    }
}

} // namespace ui
