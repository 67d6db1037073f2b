#pragma once
// Distances inwards from the four edges of a rectangle.

namespace gfx {

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    constexpr bool operator==(const EdgeInsets&) const = default;
};

} // namespace gfx
