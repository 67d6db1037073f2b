#include "platform/gfx/Path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gfx {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

void flattenCubic(Point p0, Point p1, Point p2, Point p3, double tolerance, std::vector<Point>& out) {
    // The distance of the control points from the chord bounds the curve's deviation, which
    // gives the number of even steps needed.
    double d = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                        std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
    int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(0.75 * d / std::max(tolerance, 1e-6)))), 1, 512);
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1 - t;
        out.push_back({u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                       u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y});
    }
}

} // namespace

void Path::moveTo(Point p) {
    elements_.push_back({Kind::move, {p, {}, {}}});
    start_ = current_ = p;
    hasCurrent_ = true;
}

void Path::lineTo(Point p) {
    if (!hasCurrent_) return moveTo(p);
    elements_.push_back({Kind::line, {p, {}, {}}});
    current_ = p;
}

void Path::curveTo(Point c1, Point c2, Point end) {
    if (!hasCurrent_) moveTo(c1);
    elements_.push_back({Kind::cubic, {c1, c2, end}});
    current_ = end;
}

void Path::close() {
    if (!hasCurrent_) return;
    elements_.push_back({Kind::close, {}});
    current_ = start_;
}

void Path::addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    double sweep = endAngle - startAngle;
    if (std::fabs(sweep) >= kTwoPi) {
        sweep = clockwise ? kTwoPi : -kTwoPi;
    } else if (clockwise) {
        sweep = std::fmod(sweep, kTwoPi);
        if (sweep < 0) sweep += kTwoPi;
    } else {
        sweep = std::fmod(sweep, kTwoPi);
        if (sweep > 0) sweep -= kTwoPi;
    }
    addArcSweep(center, radius, startAngle, sweep);
}

void Path::addArcKeepingSweep(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    double sweep = endAngle - startAngle;
    if (clockwise ? sweep > 0 : sweep < 0) return addArcSweep(center, radius, startAngle, sweep);
    addArc(center, radius, startAngle, endAngle, clockwise);
}

void Path::addArcSweep(Point center, double radius, double startAngle, double sweep) {
    Point first{center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle)};
    if (hasCurrent_) lineTo(first);
    else moveTo(first);
    if (radius == 0 || sweep == 0) return;
    int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2) - 1e-9)));
    double step = sweep / pieces;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    double a = startAngle;
    for (int i = 0; i < pieces; ++i) {
        double b = a + step;
        double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
        Point p1{center.x + radius * (ca - k * sa), center.y + radius * (sa + k * ca)};
        Point p2{center.x + radius * (cb + k * sb), center.y + radius * (sb - k * cb)};
        Point p3{center.x + radius * cb, center.y + radius * sb};
        curveTo(p1, p2, p3);
        a = b;
    }
}

void Path::addRect(const Rect& r) {
    Rect s = r.standardized();
    moveTo(s.origin);
    lineTo({s.maxX(), s.minY()});
    lineTo({s.maxX(), s.maxY()});
    lineTo({s.minX(), s.maxY()});
    close();
}

void Path::addRoundedRect(const Rect& r, double cornerRadius) {
    Rect s = r.standardized();
    double rad = std::clamp(cornerRadius, 0.0, std::min(s.width(), s.height()) / 2);
    if (rad <= 0) return addRect(s);
    constexpr double pi = std::numbers::pi;
    moveTo({s.minX() + rad, s.minY()});
    addArc({s.maxX() - rad, s.minY() + rad}, rad, -pi / 2, 0, true);
    addArc({s.maxX() - rad, s.maxY() - rad}, rad, 0, pi / 2, true);
    addArc({s.minX() + rad, s.maxY() - rad}, rad, pi / 2, pi, true);
    addArc({s.minX() + rad, s.minY() + rad}, rad, pi, 3 * pi / 2, true);
    close();
}

void Path::addEllipse(const Rect& r) {
    Rect s = r.standardized();
    if (s.width() <= 0 || s.height() <= 0) return;
    Path unit;
    unit.addArc({0, 0}, 1, 0, kTwoPi, true);
    unit.close();
    append(unit.transformed(AffineTransform::scale(s.width() / 2, s.height() / 2)
                                .concat(AffineTransform::translation(s.midX(), s.midY()))));
}

void Path::append(const Path& other) {
    for (const Element& e : other.elements_) {
        switch (e.kind) {
        case Kind::move: moveTo(e.points[0]); break;
        case Kind::line: lineTo(e.points[0]); break;
        case Kind::cubic: curveTo(e.points[0], e.points[1], e.points[2]); break;
        case Kind::close: close(); break;
        }
    }
}

Path Path::rect(const Rect& r) { Path p; p.addRect(r); return p; }
Path Path::roundedRect(const Rect& r, double cornerRadius) { Path p; p.addRoundedRect(r, cornerRadius); return p; }
Path Path::ellipse(const Rect& r) { Path p; p.addEllipse(r); return p; }
Path Path::arc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    Path p;
    p.addArc(center, radius, startAngle, endAngle, clockwise);
    return p;
}

Rect Path::bounds() const {
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const Element& e : elements_) {
        int n = e.kind == Kind::cubic ? 3 : (e.kind == Kind::close ? 0 : 1);
        for (int i = 0; i < n; ++i) {
            Point p = e.points[i];
            if (!any) { x0 = x1 = p.x; y0 = y1 = p.y; any = true; }
            x0 = std::min(x0, p.x); x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y); y1 = std::max(y1, p.y);
        }
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

Path Path::transformed(const AffineTransform& t) const {
    Path out;
    for (const Element& e : elements_) {
        switch (e.kind) {
        case Kind::move: out.moveTo(t.apply(e.points[0])); break;
        case Kind::line: out.lineTo(t.apply(e.points[0])); break;
        case Kind::cubic: out.curveTo(t.apply(e.points[0]), t.apply(e.points[1]), t.apply(e.points[2])); break;
        case Kind::close: out.close(); break;
        }
    }
    return out;
}

std::vector<Path::Polyline> Path::flatten(double tolerance) const {
    std::vector<Polyline> out;
    Point current, start;
    for (const Element& e : elements_) {
        switch (e.kind) {
        case Kind::move:
            out.push_back({{e.points[0]}, false});
            current = start = e.points[0];
            break;
        case Kind::line:
            if (out.empty()) out.push_back({{current}, false});
            out.back().points.push_back(e.points[0]);
            current = e.points[0];
            break;
        case Kind::cubic:
            if (out.empty()) out.push_back({{current}, false});
            flattenCubic(current, e.points[0], e.points[1], e.points[2], tolerance, out.back().points);
            current = e.points[2];
            break;
        case Kind::close:
            if (!out.empty() && !out.back().closed) {
                out.back().points.push_back(start);
                out.back().closed = true;
                // Drawing after a close starts a new subpath at the same start point.
                out.push_back({{start}, false});
            }
            current = start;
            break;
        }
    }
    std::erase_if(out, [](const Polyline& l) { return l.points.size() < 2 && !l.closed; });
    return out;
}

double Path::length(const std::vector<Polyline>& lines) {
    double total = 0;
    for (const Polyline& l : lines)
        for (size_t i = 1; i < l.points.size(); ++i) total += l.points[i - 1].distanceTo(l.points[i]);
    return total;
}

std::vector<Path::Polyline> Path::trim(const std::vector<Polyline>& lines, double start, double end) {
    start = std::clamp(start, 0.0, 1.0);
    end = std::clamp(end, 0.0, 1.0);
    std::vector<Polyline> out;
    if (end <= start) return out;
    double total = length(lines);
    if (total <= 0) return out;
    double from = start * total, to = end * total, walked = 0;
    for (const Polyline& l : lines) {
        Polyline piece;
        for (size_t i = 1; i < l.points.size(); ++i) {
            Point a = l.points[i - 1], b = l.points[i];
            double seg = a.distanceTo(b);
            double s0 = walked, s1 = walked + seg;
            walked = s1;
            if (s1 < from || s0 > to || seg == 0) continue;
            auto at = [&](double s) { double t = (s - s0) / seg; return Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; };
            if (piece.points.empty()) piece.points.push_back(s0 >= from ? a : at(from));
            piece.points.push_back(s1 <= to ? b : at(to));
        }
        if (piece.points.size() >= 2) out.push_back(std::move(piece));
    }
    return out;
}

Point Path::pointAtFraction(const std::vector<Polyline>& lines, double fraction) {
    double total = length(lines);
    if (lines.empty()) return {};
    if (total <= 0) return lines.front().points.front();
    double target = std::clamp(fraction, 0.0, 1.0) * total, walked = 0;
    for (const Polyline& l : lines)
        for (size_t i = 1; i < l.points.size(); ++i) {
            double seg = l.points[i - 1].distanceTo(l.points[i]);
            if (walked + seg >= target && seg > 0) {
                double t = (target - walked) / seg;
                return l.points[i - 1] + (l.points[i] - l.points[i - 1]) * t;
            }
            walked += seg;
        }
    return lines.back().points.back();
}

bool Path::operator==(const Path& o) const {
    if (elements_.size() != o.elements_.size()) return false;
    for (size_t i = 0; i < elements_.size(); ++i) {
        const Element &a = elements_[i], &b = o.elements_[i];
        if (a.kind != b.kind) return false;
        for (int k = 0; k < 3; ++k)
            if (!(a.points[k] == b.points[k])) return false;
    }
    return true;
}

} // namespace gfx
