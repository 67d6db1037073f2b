#pragma once
// A width and a height, in points unless a caller says so. Sizes may be negative; Rect
// standardizes them where the platform's geometry does.

namespace gfx {

struct Size {
    double width = 0;
    double height = 0;

    constexpr Size() = default;
    constexpr Size(double w, double h) : width(w), height(h) {}

    constexpr Size operator*(double s) const { return {width * s, height * s}; }
    constexpr bool operator==(const Size&) const = default;
    constexpr bool isEmpty() const { return width <= 0 || height <= 0; }
};

} // namespace gfx
