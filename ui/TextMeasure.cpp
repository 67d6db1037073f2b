#include "ui/TextMeasure.h"

#include "platform/gfx/TextLayout.h"

#include <string>

namespace kit {

gfx::Size measureText(std::string_view text, const gfx::Font& font, double width) {
    if (text.empty()) return {0, 0};
    gfx::TextLayout layout;
    layout.setText(std::string(text));
    layout.setFont(font);
    layout.setWidth(width);
    return layout.size();
}

} // namespace kit
