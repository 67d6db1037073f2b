#pragma once
// A value that a layer animation reads and writes: a number, a point, a size, a rectangle, a
// colour or a 3D transform. Interpolation is per kind; transforms go through decomposition.

#include "platform/gfx/Color.h"
#include "platform/gfx/Rect.h"
#include "platform/gfx/Transform3D.h"

#include <optional>
#include <variant>

namespace ca {

using PropertyValue = std::variant<double, gfx::Point, gfx::Size, gfx::Rect, gfx::Color, gfx::Transform3D>;

// The value at `t` between `from` and `to`; a value of another kind than `from` is converted when
// the two are compatible (a size and a point, both two numbers), else the result is `from` until
// t reaches 1.
PropertyValue interpolate(const PropertyValue& from, const PropertyValue& to, double t);
// `a` plus `b` (for by-values); transforms concatenate, b applied after a.
PropertyValue add(const PropertyValue& a, const PropertyValue& b);
PropertyValue subtract(const PropertyValue& a, const PropertyValue& b);

} // namespace ca
