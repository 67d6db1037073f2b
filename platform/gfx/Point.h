#pragma once
// A point in a two-dimensional coordinate space, in points (not pixels) unless a caller says so.

#include <cmath>

namespace gfx {

struct Point {
    double x = 0;
    double y = 0;

    constexpr Point() = default;
    constexpr Point(double px, double py) : x(px), y(py) {}

    constexpr Point operator+(Point o) const { return {x + o.x, y + o.y}; }
    constexpr Point operator-(Point o) const { return {x - o.x, y - o.y}; }
    constexpr Point operator*(double s) const { return {x * s, y * s}; }
    constexpr bool operator==(const Point&) const = default;

    double distanceTo(Point o) const { return std::hypot(o.x - x, o.y - y); }
};

} // namespace gfx
