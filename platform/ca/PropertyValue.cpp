#include "platform/ca/PropertyValue.h"

namespace ca {
namespace {

// Two-number values may stand for each other: the translation key path takes sizes and points.
std::optional<PropertyValue> convertLike(const PropertyValue& like, const PropertyValue& v) {
    if (like.index() == v.index()) return v;
    if (std::holds_alternative<gfx::Point>(like) && std::holds_alternative<gfx::Size>(v)) {
        auto s = std::get<gfx::Size>(v);
        return gfx::Point{s.width, s.height};
    }
    if (std::holds_alternative<gfx::Size>(like) && std::holds_alternative<gfx::Point>(v)) {
        auto p = std::get<gfx::Point>(v);
        return gfx::Size{p.x, p.y};
    }
    return std::nullopt;
}

double lerp(double a, double b, double t) { return a + (b - a) * t; }

gfx::Point lerp(gfx::Point a, gfx::Point b, double t) { return {lerp(a.x, b.x, t), lerp(a.y, b.y, t)}; }

bool sameStructure(const gfx::Path& a, const gfx::Path& b) {
    const auto &x = a.elements(), &y = b.elements();
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (x[i].kind != y[i].kind) return false;
    return true;
}

gfx::Path interpolatePath(const gfx::Path& a, const gfx::Path& b, double t) {
    if (!sameStructure(a, b)) return t >= 1 ? b : a;
    gfx::Path out;
    const auto &x = a.elements(), &y = b.elements();
    for (size_t i = 0; i < x.size(); ++i) {
        const auto &e = x[i], &f = y[i];
        switch (e.kind) {
        case gfx::Path::Kind::move: out.moveTo(lerp(e.points[0], f.points[0], t)); break;
        case gfx::Path::Kind::line: out.lineTo(lerp(e.points[0], f.points[0], t)); break;
        case gfx::Path::Kind::cubic:
            out.curveTo(lerp(e.points[0], f.points[0], t), lerp(e.points[1], f.points[1], t),
                        lerp(e.points[2], f.points[2], t));
            break;
        case gfx::Path::Kind::close: out.close(); break;
        }
    }
    return out;
}

} // namespace

PropertyValue interpolate(const PropertyValue& from, const PropertyValue& toAny, double t) {
    auto converted = convertLike(from, toAny);
    if (!converted) return t >= 1 ? toAny : from;
    const PropertyValue& to = *converted;
    return std::visit(
        [&](const auto& a) -> PropertyValue {
            using T = std::decay_t<decltype(a)>;
            const T& b = std::get<T>(to);
            if constexpr (std::is_same_v<T, double>) return lerp(a, b, t);
            else if constexpr (std::is_same_v<T, gfx::Point>) return gfx::Point{lerp(a.x, b.x, t), lerp(a.y, b.y, t)};
            else if constexpr (std::is_same_v<T, gfx::Size>) return gfx::Size{lerp(a.width, b.width, t), lerp(a.height, b.height, t)};
            else if constexpr (std::is_same_v<T, gfx::Rect>)
                return gfx::Rect{lerp(a.x(), b.x(), t), lerp(a.y(), b.y(), t), lerp(a.width(), b.width(), t), lerp(a.height(), b.height(), t)};
            else if constexpr (std::is_same_v<T, gfx::Color>) return a.interpolate(b, t);
            else if constexpr (std::is_same_v<T, gfx::Path>) return interpolatePath(a, b, t);
            else return a.interpolate(b, t);
        },
        from);
}

namespace {

// a + sign·b for every kind; for transforms, adding is concatenation (b after a) and subtracting
// undoes b: subtract(add(a, b), b) == a.
PropertyValue combine(const PropertyValue& a, const PropertyValue& bAny, double sign) {
    auto converted = convertLike(a, bAny);
    if (!converted) return a;
    const PropertyValue& b = *converted;
    return std::visit(
        [&](const auto& x) -> PropertyValue {
            using T = std::decay_t<decltype(x)>;
            const T& y = std::get<T>(b);
            if constexpr (std::is_same_v<T, double>) return x + sign * y;
            else if constexpr (std::is_same_v<T, gfx::Point>) return x + y * sign;
            else if constexpr (std::is_same_v<T, gfx::Size>) return gfx::Size{x.width + sign * y.width, x.height + sign * y.height};
            else if constexpr (std::is_same_v<T, gfx::Rect>)
                return gfx::Rect{x.x() + sign * y.x(), x.y() + sign * y.y(), x.width() + sign * y.width(),
                                 x.height() + sign * y.height()};
            else if constexpr (std::is_same_v<T, gfx::Color>)
                return gfx::Color{x.red + sign * y.red, x.green + sign * y.green, x.blue + sign * y.blue,
                                  x.alpha + sign * y.alpha};
            else if constexpr (std::is_same_v<T, gfx::Path>) return sign > 0 ? y : x;
            else return sign > 0 ? x.concat(y) : x.concat(y.inverted());
        },
        a);
}

} // namespace

PropertyValue add(const PropertyValue& a, const PropertyValue& b) { return combine(a, b, 1); }
PropertyValue subtract(const PropertyValue& a, const PropertyValue& b) { return combine(a, b, -1); }

} // namespace ca
