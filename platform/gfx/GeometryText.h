#pragma once
// Geometry read from its text form, as stored in property lists and animation tables.

#include "platform/gfx/Point.h"

#include <string_view>

namespace gfx {

// The point written as "{x,y}" (blanks allowed around the numbers). Text that is not of that
// form gives the point (0, 0).
Point pointFromString(std::string_view text);

} // namespace gfx
