#pragma once
// A label: text in one font and colour, laid out by Pango, drawn into the view's backing image
// and centred vertically in the bounds. numberOfLines 0 means as many as the text needs; the
// default is one line truncated at the tail.

#include "platform/gfx/Font.h"
#include "platform/gfx/TextLayout.h"
#include "platform/ui/View.h"

#include <string>

namespace ui {

enum class TextAlignment { left, center, right, justified, natural };
using LineBreakMode = gfx::TextLayout::LineBreak;

class Label : public View {
    QUILLORA_CLASS(Label)

    using View::View;
    void init() override;

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const gfx::Font& font() const { return font_; }
    void setFont(gfx::Font font);
    const gfx::Color& textColor() const { return textColor_; }
    void setTextColor(gfx::Color color);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment);
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int lines);
    LineBreakMode lineBreakMode() const { return lineBreak_; }
    void setLineBreakMode(LineBreakMode mode);
    // A sharp shadow under the text, moved by the offset (points, y down); none without a colour.
    const std::optional<gfx::Color>& shadowColor() const { return shadowColor_; }
    void setShadowColor(std::optional<gfx::Color> color);
    gfx::Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(gfx::Size offset);

    // The size the text needs within `size` (a width of 0 or less means unlimited), rounded up to
    // whole points.
    gfx::Size sizeThatFits(gfx::Size size) const override;
    // The rectangle the text occupies when drawn in `bounds` (centred vertically).
    gfx::Rect textRectForBounds(const gfx::Rect& bounds) const;

    bool drawsContent() const override { return true; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    std::optional<std::string> dumpText() const override { return text_; }

private:
    gfx::TextLayout layoutFor(std::optional<double> width, std::optional<double> height) const;
    void changed();

    std::string text_;
    gfx::Font font_ = gfx::Font::systemFont(17);
    gfx::Color textColor_ = gfx::Color::black();
    TextAlignment alignment_ = TextAlignment::natural;
    int numberOfLines_ = 1;
    LineBreakMode lineBreak_ = LineBreakMode::truncateTail;
    std::optional<gfx::Color> shadowColor_;
    gfx::Size shadowOffset_{0, -1};
};

} // namespace ui
