#pragma once
// A 2D affine transform in the row-vector convention of the platform's geometry:
//   [x' y' 1] = [x y 1] * | a  b  0 |
//                         | c  d  0 |
//                         | tx ty 1 |
// so x' = a·x + c·y + tx and y' = b·x + d·y + ty. concat(t1, t2) applies t1 first, then t2.

#include "platform/gfx/Point.h"
#include "platform/gfx/Rect.h"

#include <cmath>

namespace gfx {

struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static constexpr AffineTransform identity() { return {}; }
    static constexpr AffineTransform translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static constexpr AffineTransform scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    // Positive angles turn +x towards +y (clockwise on a y-down screen).
    static AffineTransform rotation(double angle) {
        double s = std::sin(angle), co = std::cos(angle);
        return {co, s, -s, co, 0, 0};
    }

    constexpr bool operator==(const AffineTransform&) const = default;
    constexpr bool isIdentity() const { return *this == AffineTransform{}; }

    // This transform followed by `then`.
    constexpr AffineTransform concat(const AffineTransform& t) const {
        return {a * t.a + b * t.c,       a * t.b + b * t.d,       c * t.a + d * t.c,
                c * t.b + d * t.d,       tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
    }
    // Each of these applies the named step first, then this transform.
    AffineTransform translated(double x, double y) const { return translation(x, y).concat(*this); }
    AffineTransform scaled(double sx, double sy) const { return scale(sx, sy).concat(*this); }
    AffineTransform rotated(double angle) const { return rotation(angle).concat(*this); }

    constexpr double determinant() const { return a * d - b * c; }
    // The inverse; a singular transform is returned unchanged, as the platform does.
    AffineTransform inverted() const {
        double det = determinant();
        if (det == 0) return *this;
        return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
    }

    constexpr Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // The bounding box of the transformed rectangle.
    Rect apply(const Rect& r) const {
        Rect s = r.standardized();
        Point p[4] = {apply(s.origin), apply(Point{s.maxX(), s.minY()}), apply(Point{s.minX(), s.maxY()}),
                      apply(Point{s.maxX(), s.maxY()})};
        double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
        for (const Point& q : p) {
            x0 = std::fmin(x0, q.x); x1 = std::fmax(x1, q.x);
            y0 = std::fmin(y0, q.y); y1 = std::fmax(y1, q.y);
        }
        return {x0, y0, x1 - x0, y1 - y0};
    }
};

} // namespace gfx
