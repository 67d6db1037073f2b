#pragma once
// How a paragraph is aligned, broken into lines and spaced. Stored boxed under
// kParagraphStyleAttributeName; a paragraph takes the style of its first character.

#include "platform/gfx/TextLayout.h"

namespace text {

enum class TextAlignment { left, center, right, justified, natural };
using LineBreakMode = gfx::TextLayout::LineBreak;

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::natural;
    // Word and character wrapping break lines at the frame's width; clipping and the truncating
    // modes keep each paragraph on one line (a caller truncates it, the layer never does).
    LineBreakMode lineBreakMode = LineBreakMode::wordWrap;
    // Extra space between a line's bottom and the next line's top, in points.
    double lineSpacing = 0;

    bool operator==(const ParagraphStyle&) const = default;
};

} // namespace text
