#pragma once
// An origin and a size. Like the platform geometry the app was written for, the edges are read
// from the standardized rectangle (a negative width or height counts from the other side).

#include "platform/gfx/EdgeInsets.h"
#include "platform/gfx/Point.h"
#include "platform/gfx/Size.h"

#include <algorithm>
#include <cmath>

namespace gfx {

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}
    constexpr Rect(double x, double y, double w, double h) : origin(x, y), size(w, h) {}

    constexpr bool operator==(const Rect&) const = default;

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }

    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    Point center() const { return {midX(), midY()}; }

    Rect standardized() const { return {minX(), minY(), std::fabs(size.width), std::fabs(size.height)}; }
    bool isEmpty() const { return size.width == 0 || size.height == 0; }

    // Half-open on the far edges, so that adjacent rectangles never both contain a point.
    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }

    Rect offsetBy(double dx, double dy) const { return {origin.x + dx, origin.y + dy, size.width, size.height}; }
    Rect insetBy(double dx, double dy) const {
        Rect r = standardized();
        return {r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy};
    }
    Rect inset(const EdgeInsets& e) const {
        Rect r = standardized();
        return {r.origin.x + e.left, r.origin.y + e.top, r.size.width - e.left - e.right,
                r.size.height - e.top - e.bottom};
    }
    // The overlap, or an empty rectangle at the origin when there is none.
    Rect intersection(const Rect& o) const {
        double x0 = std::max(minX(), o.minX()), y0 = std::max(minY(), o.minY());
        double x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
        if (x1 <= x0 || y1 <= y0) return {};
        return {x0, y0, x1 - x0, y1 - y0};
    }
    bool intersects(const Rect& o) const { return !intersection(o).isEmpty(); }
    Rect unionWith(const Rect& o) const {
        double x0 = std::min(minX(), o.minX()), y0 = std::min(minY(), o.minY());
        double x1 = std::max(maxX(), o.maxX()), y1 = std::max(maxY(), o.maxY());
        return {x0, y0, x1 - x0, y1 - y0};
    }
    // The smallest rectangle with whole-number edges that holds this one.
    Rect integral() const {
        double x0 = std::floor(minX()), y0 = std::floor(minY());
        return {x0, y0, std::ceil(maxX()) - x0, std::ceil(maxY()) - y0};
    }
};

} // namespace gfx
