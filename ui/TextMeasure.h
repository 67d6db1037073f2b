#pragma once
// The size a text takes in a font when it wraps within a width (unbounded in height), as the
// message views of the HUD, the toast and the banner size their labels.
#include "platform/gfx/Font.h"
#include "platform/gfx/Rect.h"

#include <string_view>

namespace kit {

gfx::Size measureText(std::string_view text, const gfx::Font& font, double width);

} // namespace kit
