#pragma once
// Values shared by the indicator animations.
#include "platform/gfx/Rect.h"

#include <limits>
#include <numbers>

namespace indicators::terms {

inline constexpr double pi = std::numbers::pi;
// The repeat count of every outermost animation: the largest finite single-precision number,
// which repeats for ever in practice.
inline constexpr double forever = std::numeric_limits<float>::max();

// A frame of a x b in the middle of bounds of bw x bh.
inline gfx::Rect centred(double bw, double bh, double a, double b) { return {(bw - a) / 2, (bh - b) / 2, a, b}; }

} // namespace indicators::terms
