#pragma once
// A value that a layer animation reads and writes: a number, a point, a size, a rectangle, a
// colour, a 3D transform or a path. Interpolation is per kind; transforms go through
// decomposition; two paths of the same element structure (the same kinds in the same order)
// interpolate point by point, any other pair of paths jumps to the second at the end.

#include "platform/gfx/Color.h"
#include "platform/gfx/Path.h"
#include "platform/gfx/Rect.h"
#include "platform/gfx/Transform3D.h"

#include <optional>
#include <variant>

namespace ca {

using PropertyValue = std::variant<double, gfx::Point, gfx::Size, gfx::Rect, gfx::Color, gfx::Transform3D, gfx::Path>;

// The value at `t` between `from` and `to`; a value of another kind than `from` is converted when
// the two are compatible (a size and a point, both two numbers), else the result is `from` until
// t reaches 1.
PropertyValue interpolate(const PropertyValue& from, const PropertyValue& to, double t);
// `a` plus `b` (for by-values and additive animations); transforms concatenate, b applied after
// a; a path does not add: the sum is `b`, and subtracting a path leaves `a`.
PropertyValue add(const PropertyValue& a, const PropertyValue& b);
PropertyValue subtract(const PropertyValue& a, const PropertyValue& b);

} // namespace ca
