#pragma once
// Shared fixtures of the rich label tests: answer-like texts in the pinned font.

#include "platform/gfx/BitmapContext.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/ParagraphStyle.h"
#include "rich_label/RLLabel.h"

#include <string>

namespace rltest {

inline text::Attributes answerAttributes(double size = 15, double lineSpacing = 0) {
    text::ParagraphStyle style;
    style.lineSpacing = lineSpacing;
    return {{std::string(text::kFontAttributeName), text::box(gfx::Font::systemFont(size))},
            {std::string(text::kForegroundColorAttributeName), text::box(gfx::Color::rgb(51, 51, 51))},
            {std::string(text::kParagraphStyleAttributeName), text::box(style)}};
}

inline std::string han(int count) {
    static const char* kPieces[] = {"\xE4\xBD\xA0", "\xE5\xA5\xBD", "\xE8\xAF\xB4", "\xE8\xAF\x9D", "\xE5\x90\x97"};
    std::string out;
    for (int i = 0; i < count; ++i) out += kPieces[i % 5];
    return out;
}

// Draws the label as its backing image would be drawn, onto white.
inline std::shared_ptr<const gfx::Image> render(RLLabel& label, double scale = 1) {
    gfx::BitmapContext context(label.bounds().size, scale);
    context.setFillColor(gfx::Color::whiteColor());
    context.fillRect(label.bounds());
    label.drawRect(context, label.bounds());
    return context.makeImage();
}

} // namespace rltest
