#pragma once
// A path of straight and cubic segments, as the drawing and shape layers use it.
//
// Arcs are converted to cubic Béziers of at most a quarter turn each as they are added, so a path
// holds only move, line, cubic and close elements and every consumer (Cairo, flattening for
// perspective and stroke trimming, animation along a path) sees the same geometry.
//
// Angles are in radians; angle 0 points along +x and angles grow towards +y, so on a y-down
// screen "clockwise" means increasing angle. A clockwise arc from a to b with b < a goes on
// past a full turn to reach b (the sweep is taken modulo 2π in the arc's direction); a sweep of
// exactly 2π (or more) is one full circle.

#include "platform/gfx/AffineTransform.h"
#include "platform/gfx/Point.h"
#include "platform/gfx/Rect.h"

#include <vector>

namespace gfx {

class Path {
public:
    enum class Kind { move, line, cubic, close };
    struct Element {
        Kind kind;
        Point points[3];  // move/line: [0]; cubic: control 1, control 2, end
    };

    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point c1, Point c2, Point end);
    void close();
    // Adds an arc; when the path has a current point, a line joins it to the arc's start.
    void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
    // Adds an arc that keeps its whole sweep, for paths that animations move along: a clockwise
    // arc sweeps end − start when that is positive (a turn and a half stays a turn and a half),
    // else the sweep is taken modulo 2π as in addArc; likewise anticlockwise. Drawn, it looks like
    // addArc's; followed, it turns as often as the angles say. Quarter turns become one cubic each.
    void addArcKeepingSweep(Point center, double radius, double startAngle, double endAngle, bool clockwise);
    void addRect(const Rect& r);
    void addRoundedRect(const Rect& r, double cornerRadius);
    void addEllipse(const Rect& r);
    void append(const Path& other);

    static Path rect(const Rect& r);
    static Path roundedRect(const Rect& r, double cornerRadius);
    static Path ellipse(const Rect& r);
    static Path arc(Point center, double radius, double startAngle, double endAngle, bool clockwise);

    const std::vector<Element>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    bool hasCurrentPoint() const { return hasCurrent_; }
    Point currentPoint() const { return current_; }
    // The box of all points, control points included.
    Rect bounds() const;
    Path transformed(const AffineTransform& t) const;

    // The path as polylines within `tolerance` of the curves. A closed subpath repeats its first
    // point at the end and is marked closed.
    struct Polyline {
        std::vector<Point> points;
        bool closed = false;
    };
    std::vector<Polyline> flatten(double tolerance) const;
    // Total length of the flattened path.
    static double length(const std::vector<Polyline>& lines);
    // The part of the flattened path between the fractions `start` and `end` of its length, as the
    // stroke of a shape layer with strokeStart and strokeEnd shows it. Closed subpaths come back
    // open, since a trimmed stroke has ends.
    static std::vector<Polyline> trim(const std::vector<Polyline>& lines, double start, double end);
    // The point at `fraction` of the flattened length (for animation along a path).
    static Point pointAtFraction(const std::vector<Polyline>& lines, double fraction);

    bool operator==(const Path& o) const;

private:
    void addArcSweep(Point center, double radius, double startAngle, double sweep);

    std::vector<Element> elements_;
    Point start_;
    Point current_;
    bool hasCurrent_ = false;
};

} // namespace gfx
