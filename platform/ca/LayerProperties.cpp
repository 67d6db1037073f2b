#include "platform/ca/LayerProperties.h"

#include <cmath>

namespace ca {
namespace {

std::optional<double> number(const PropertyValue& v) {
    if (auto d = std::get_if<double>(&v)) return *d;
    return std::nullopt;
}

std::optional<gfx::Point> point(const PropertyValue& v) {
    if (auto p = std::get_if<gfx::Point>(&v)) return *p;
    if (auto s = std::get_if<gfx::Size>(&v)) return gfx::Point{s->width, s->height};
    return std::nullopt;
}

} // namespace

std::optional<PropertyValue> LayerProperties::get(std::string_view k) const {
    if (k == "opacity") return opacity;
    if (k == "position") return position;
    if (k == "position.x") return position.x;
    if (k == "position.y") return position.y;
    if (k == "anchorPoint") return anchorPoint;
    if (k == "zPosition") return zPosition;
    if (k == "bounds") return bounds;
    if (k == "bounds.size") return bounds.size;
    if (k == "bounds.origin") return bounds.origin;
    if (k == "transform") return transform;
    if (k == "sublayerTransform") return sublayerTransform;
    if (k == "cornerRadius") return cornerRadius;
    if (k == "borderWidth") return borderWidth;
    if (k == "borderColor") return borderColor;
    if (k == "backgroundColor") return backgroundColor.value_or(gfx::Color::clear());
    if (k == "fillColor") return fillColor.value_or(gfx::Color::clear());
    if (k == "strokeColor") return strokeColor.value_or(gfx::Color::clear());
    if (k == "path") return path;
    if (k == "lineWidth") return lineWidth;
    if (k == "strokeStart") return strokeStart;
    if (k == "strokeEnd") return strokeEnd;
    if (k.starts_with("transform.")) {
        auto c = gfx::TransformComponents::of(transform);
        std::string_view sub = k.substr(10);
        if (sub == "rotation" || sub == "rotation.z") return c.rotationZ;
        if (sub == "rotation.x") return c.rotationX;
        if (sub == "rotation.y") return c.rotationY;
        if (sub == "scale") return (c.scaleX + c.scaleY) / 2;
        if (sub == "scale.x") return c.scaleX;
        if (sub == "scale.y") return c.scaleY;
        if (sub == "scale.z") return c.scaleZ;
        if (sub == "translation") return gfx::Size{c.translationX, c.translationY};
        if (sub == "translation.x") return c.translationX;
        if (sub == "translation.y") return c.translationY;
        if (sub == "translation.z") return c.translationZ;
    }
    return std::nullopt;
}

bool LayerProperties::set(std::string_view k, const PropertyValue& v) {
    auto num = number(v);
    auto pt = point(v);
    auto color = std::get_if<gfx::Color>(&v);
    if (k == "opacity" && num) return opacity = *num, true;
    if (k == "position" && pt) return position = *pt, true;
    if (k == "position.x" && num) return position.x = *num, true;
    if (k == "position.y" && num) return position.y = *num, true;
    if (k == "anchorPoint" && pt) return anchorPoint = *pt, true;
    if (k == "zPosition" && num) return zPosition = *num, true;
    if (k == "bounds") {
        if (auto r = std::get_if<gfx::Rect>(&v)) return bounds = *r, true;
        return false;
    }
    if (k == "bounds.size" && pt) return bounds.size = {pt->x, pt->y}, true;
    if (k == "bounds.origin" && pt) return bounds.origin = *pt, true;
    if (k == "transform" || k == "sublayerTransform") {
        auto t = std::get_if<gfx::Transform3D>(&v);
        if (!t) return false;
        (k == "transform" ? transform : sublayerTransform) = *t;
        return true;
    }
    if (k == "cornerRadius" && num) return cornerRadius = *num, true;
    if (k == "borderWidth" && num) return borderWidth = *num, true;
    if (k == "borderColor" && color) return borderColor = *color, true;
    if (k == "backgroundColor" && color) return backgroundColor = *color, true;
    if (k == "fillColor" && color) return fillColor = *color, true;
    if (k == "strokeColor" && color) return strokeColor = *color, true;
    if (k == "path") {
        if (auto q = std::get_if<gfx::Path>(&v)) return path = *q, true;
        return false;
    }
    if (k == "lineWidth" && num) return lineWidth = *num, true;
    if (k == "strokeStart" && num) return strokeStart = *num, true;
    if (k == "strokeEnd" && num) return strokeEnd = *num, true;
    if (k.starts_with("transform.")) {
        auto c = gfx::TransformComponents::of(transform);
        std::string_view sub = k.substr(10);
        if (sub == "translation" && pt) {
            c.translationX = pt->x;
            c.translationY = pt->y;
        } else if (!num) {
            return false;
        } else if (sub == "rotation" || sub == "rotation.z") c.rotationZ = *num;
        else if (sub == "rotation.x") c.rotationX = *num;
        else if (sub == "rotation.y") c.rotationY = *num;
        else if (sub == "scale") c.scaleX = c.scaleY = c.scaleZ = *num;
        else if (sub == "scale.x") c.scaleX = *num;
        else if (sub == "scale.y") c.scaleY = *num;
        else if (sub == "scale.z") c.scaleZ = *num;
        else if (sub == "translation.x") c.translationX = *num;
        else if (sub == "translation.y") c.translationY = *num;
        else if (sub == "translation.z") c.translationZ = *num;
        else return false;
        transform = c.compose();
        return true;
    }
    return false;
}

bool LayerProperties::isPlainOffset() const {
    gfx::Point a = anchorInBounds();
    return transform.isIdentity() && std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(position.x) &&
           std::isfinite(position.y) && std::isfinite(zPosition);
}

// Without a transform the product below is a translation. The fast path builds it with the same
// additions the product performs (a sum that starts at +0, so never -0), so both give the same bits;
// it is taken only for finite values, where the product's zero terms add nothing.
gfx::Transform3D LayerProperties::toSuperlayer() const {
    gfx::Point a = anchorInBounds();
    if (isPlainOffset()) return gfx::Transform3D::translation((0.0 - a.x) + position.x, (0.0 - a.y) + position.y, 0.0 + zPosition);
    return gfx::Transform3D::translation(-a.x, -a.y, 0)
        .concat(transform)
        .concat(gfx::Transform3D::translation(position.x, position.y, zPosition));
}

// With the translation above, project() computes x = (p.x·1 + p.y·0) + tx and w = 1. For a finite
// point the inner sum is p.x except that -0 may become +0, which the addition of tx (never -0: it is
// a sum that starts at +0) makes no difference to, so adding tx alone gives the same bits.
gfx::Point LayerProperties::projectToSuperlayer(gfx::Point p) const {
    if (std::isfinite(p.x) && std::isfinite(p.y) && isPlainOffset()) {
        gfx::Point a = anchorInBounds();
        return {p.x + ((0.0 - a.x) + position.x), p.y + ((0.0 - a.y) + position.y)};
    }
    return toSuperlayer().project(p);
}

void LayerProperties::projectToSuperlayer(gfx::Point& a, gfx::Point& b) const {
    if (!isPlainOffset()) {
        gfx::Transform3D t = toSuperlayer();
        a = t.project(a), b = t.project(b);
        return;
    }
    gfx::Point anchor = anchorInBounds();
    double tx = (0.0 - anchor.x) + position.x, ty = (0.0 - anchor.y) + position.y;
    for (gfx::Point* p : {&a, &b})
        *p = std::isfinite(p->x) && std::isfinite(p->y) ? gfx::Point{p->x + tx, p->y + ty} : toSuperlayer().project(*p);
}

gfx::Rect LayerProperties::frame() const {
    if (zPosition == 0 && isPlainOffset()) {
        // The bounding box of the offset bounds: what the affine path below computes for a pure
        // translation (corners in order, so the smallest and largest are the first and last).
        gfx::Point a = anchorInBounds();
        double tx = (0.0 - a.x) + position.x, ty = (0.0 - a.y) + position.y;
        gfx::Rect s = bounds.standardized();
        double left = s.minX(), top = s.minY(), right = s.maxX(), bottom = s.maxY();
        if (std::isfinite(left) && std::isfinite(top) && std::isfinite(right) && std::isfinite(bottom)) {
            double x0 = left + tx, y0 = top + ty, x1 = right + tx, y1 = bottom + ty;
            return {x0, y0, x1 - x0, y1 - y0};
        }
    }
    gfx::Transform3D t = toSuperlayer();
    if (t.isAffine()) return t.affine().apply(bounds);
    gfx::Rect b = bounds.standardized();
    gfx::Point corners[4] = {t.project(b.origin), t.project({b.maxX(), b.minY()}), t.project({b.minX(), b.maxY()}),
                             t.project({b.maxX(), b.maxY()})};
    double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
    for (auto& p : corners) {
        x0 = std::fmin(x0, p.x); x1 = std::fmax(x1, p.x);
        y0 = std::fmin(y0, p.y); y1 = std::fmax(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace ca
