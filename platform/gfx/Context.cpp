#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/CairoContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gfx {
namespace {

cairo_matrix_t toCairo(const AffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

void setPath(cairo_t* cr, const Path& path) {
    cairo_new_path(cr);
    for (const Path::Element& e : path.elements()) {
        switch (e.kind) {
        case Path::Kind::move: cairo_move_to(cr, e.points[0].x, e.points[0].y); break;
        case Path::Kind::line: cairo_line_to(cr, e.points[0].x, e.points[0].y); break;
        case Path::Kind::cubic:
            cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                           e.points[2].y);
            break;
        case Path::Kind::close: cairo_close_path(cr); break;
        }
    }
}

void setSource(Context::Impl& d, const Color& c) {
    cairo_set_source_rgba(d.cr, c.red, c.green, c.blue, c.alpha * d.alpha);
}

// Wraps one drawing call in a transparency layer while a shadow is set, so that it casts it.
class ShadowScope {
public:
    explicit ShadowScope(Context& c) : c_(c), on_(c.impl().shadow.has_value()) {
        if (on_) c_.beginTransparencyLayer(c_.alpha());
    }
    ~ShadowScope() {
        if (on_) c_.endTransparencyLayer();
    }
    ShadowScope(const ShadowScope&) = delete;
    ShadowScope& operator=(const ShadowScope&) = delete;

private:
    Context& c_;
    bool on_;
};

} // namespace

Context::Context(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Context::~Context() {
    if (impl_ && impl_->cr) cairo_destroy(impl_->cr);
}

void Context::save() {
    cairo_save(impl_->cr);
    impl_->alphaStack.push_back(impl_->alpha);
    impl_->shadowStack.push_back(impl_->shadow);
}

void Context::restore() {
    cairo_restore(impl_->cr);
    if (!impl_->alphaStack.empty()) {
        impl_->alpha = impl_->alphaStack.back();
        impl_->alphaStack.pop_back();
    }
    if (!impl_->shadowStack.empty()) {
        impl_->shadow = impl_->shadowStack.back();
        impl_->shadowStack.pop_back();
    }
}

void Context::setShadow(Size offset, double blur, std::optional<Color> color) {
    if (!color) impl_->shadow.reset();
    else impl_->shadow = Impl::Shadow{offset, std::max(0.0, blur), *color};
}

void Context::concat(const AffineTransform& t) {
    cairo_matrix_t m = toCairo(t);
    cairo_transform(impl_->cr, &m);
}
void Context::translate(double x, double y) { cairo_translate(impl_->cr, x, y); }
void Context::scale(double sx, double sy) { cairo_scale(impl_->cr, sx, sy); }
void Context::rotate(double angle) { cairo_rotate(impl_->cr, angle); }

AffineTransform Context::transform() const {
    cairo_matrix_t m, inv = impl_->base;
    cairo_get_matrix(impl_->cr, &m);
    cairo_matrix_invert(&inv);
    cairo_matrix_t user;
    cairo_matrix_multiply(&user, &m, &inv);  // m = user · base
    return {user.xx, user.yx, user.xy, user.yy, user.x0, user.y0};
}

void Context::setTransform(const AffineTransform& t) {
    cairo_matrix_t user = toCairo(t), m;
    cairo_matrix_multiply(&m, &user, &impl_->base);
    cairo_set_matrix(impl_->cr, &m);
}

double Context::deviceScale() const { return std::sqrt(std::fabs(impl_->base.xx * impl_->base.yy - impl_->base.xy * impl_->base.yx)); }

void Context::setFillColor(const Color& c) { impl_->fill = c; }
void Context::setStrokeColor(const Color& c) { impl_->stroke = c; }
void Context::setLineWidth(double width) { cairo_set_line_width(impl_->cr, width); }
void Context::setLineCap(LineCap cap) {
    cairo_set_line_cap(impl_->cr, cap == LineCap::round    ? CAIRO_LINE_CAP_ROUND
                                  : cap == LineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                           : CAIRO_LINE_CAP_BUTT);
}
void Context::setLineJoin(LineJoin join) {
    cairo_set_line_join(impl_->cr, join == LineJoin::round   ? CAIRO_LINE_JOIN_ROUND
                                   : join == LineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                             : CAIRO_LINE_JOIN_MITER);
}
void Context::setAlpha(double alpha) { impl_->alpha = std::fmax(0.0, std::fmin(1.0, alpha)); }
double Context::alpha() const { return impl_->alpha; }

void Context::fillPath(const Path& path, FillRule rule) {
    ShadowScope shadow(*this);
    setPath(impl_->cr, path);
    cairo_set_fill_rule(impl_->cr, rule == FillRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    setSource(*impl_, impl_->fill);
    cairo_fill(impl_->cr);
}

void Context::strokePath(const Path& path) {
    ShadowScope shadow(*this);
    setPath(impl_->cr, path);
    setSource(*impl_, impl_->stroke);
    cairo_stroke(impl_->cr);
}

void Context::fillRect(const Rect& r) { fillPath(Path::rect(r)); }
void Context::strokeRect(const Rect& r) { strokePath(Path::rect(r)); }

void Context::clearRect(const Rect& r) {
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    setPath(cr, Path::rect(r));
    cairo_fill(cr);
    cairo_restore(cr);
}

void Context::clip(const Path& path, FillRule rule) {
    setPath(impl_->cr, path);
    cairo_set_fill_rule(impl_->cr, rule == FillRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(impl_->cr);
}

void Context::clipToRect(const Rect& r) { clip(Path::rect(r)); }

Rect Context::clipBoundingBox() const {
    double x1, y1, x2, y2;
    cairo_clip_extents(impl_->cr, &x1, &y1, &x2, &y2);
    return {x1, y1, x2 - x1, y2 - y1};
}

void Context::drawLinearGradient(const std::vector<Color>& colors, const std::vector<double>& locations, Point start,
                                 Point end, bool extendBeforeStart, bool extendAfterEnd) {
    if (colors.empty()) return;
    ShadowScope shadow(*this);
    cairo_t* cr = impl_->cr;
    cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    for (size_t i = 0; i < colors.size(); ++i) {
        double at = i < locations.size() ? locations[i]
                                         : (colors.size() == 1 ? 0.0 : static_cast<double>(i) / (colors.size() - 1));
        const Color& c = colors[i];
        cairo_pattern_add_color_stop_rgba(pattern, at, c.red, c.green, c.blue, c.alpha);
    }
    // Cairo extends both ends or neither; a one-sided extension clips the other side away.
    cairo_pattern_set_extend(pattern, extendBeforeStart || extendAfterEnd ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    cairo_save(cr);
    if (extendBeforeStart != extendAfterEnd) {
        // Keep the half-plane on the extended side of the end that is not extended.
        double dx = end.x - start.x, dy = end.y - start.y, big = 1e6;
        Point edge = extendBeforeStart ? end : start;
        double sign = extendBeforeStart ? -1 : 1;
        double len = std::hypot(dx, dy);
        if (len > 0) {
            double ux = dx / len * sign, uy = dy / len * sign, px = -uy, py = ux;
            Path half;
            half.moveTo({edge.x + px * big, edge.y + py * big});
            half.lineTo({edge.x - px * big, edge.y - py * big});
            half.lineTo({edge.x - px * big + ux * big, edge.y - py * big + uy * big});
            half.lineTo({edge.x + px * big + ux * big, edge.y + py * big + uy * big});
            half.close();
            clip(half);
        }
    }
    cairo_set_source(cr, pattern);
    cairo_paint_with_alpha(cr, impl_->alpha);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
}

void Context::drawImage(const Image& image, const Rect& rect) {
    if (image.pixelWidth() <= 0 || image.pixelHeight() <= 0 || rect.isEmpty()) return;
    ShadowScope shadow(*this);
    cairo_t* cr = impl_->cr;
    // Cairo only reads a source surface, so wrapping the image's pixels without a copy is safe.
    // A large image is drawn in tiles: a surface has at most kMaxSurfaceSide pixels a side, and a
    // scaled source near that size draws nothing at all (its coordinates pass the 16.16 fixed
    // point of the rasteriser). A tile whose surface cannot be made is left out rather than put
    // the context in an error state (which would blank everything drawn after it).
    constexpr int kTile = 8192;
    auto* data = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(image.pixels().data()));
    const int width = image.pixelWidth(), height = image.pixelHeight();
    const bool tiled = width > kTile || height > kTile;
    Rect r = rect.standardized();
    cairo_save(cr);
    cairo_translate(cr, r.x(), r.y());
    cairo_scale(cr, r.width() / width, r.height() / height);
    for (int y = 0; y < height; y += kTile) {
        for (int x = 0; x < width; x += kTile) {
            const int w = std::min(kTile, width - x), h = std::min(kTile, height - y);
            cairo_surface_t* surface = cairo_image_surface_create_for_data(
                data + (static_cast<std::size_t>(y) * width + x) * 4, CAIRO_FORMAT_ARGB32, w, h, width * 4);
            if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
                cairo_save(cr);
                cairo_set_source_surface(cr, surface, x, y);
                cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
                cairo_pattern_set_extend(cairo_get_source(cr), tiled ? CAIRO_EXTEND_NONE : CAIRO_EXTEND_PAD);
                cairo_rectangle(cr, x, y, w, h);
                cairo_clip(cr);
                cairo_paint_with_alpha(cr, impl_->alpha);
                cairo_restore(cr);
            }
            cairo_surface_destroy(surface);
        }
    }
    cairo_restore(cr);
}

void Context::beginTransparencyLayer(double alpha) {
    save();
    cairo_push_group(impl_->cr);
    impl_->alphaStack.push_back(alpha);
    impl_->alpha = 1;
    impl_->layerShadows.push_back(impl_->shadow);
    impl_->shadow.reset();
}

void Context::endTransparencyLayer() {
    double alpha = impl_->alphaStack.empty() ? 1 : impl_->alphaStack.back();
    if (!impl_->alphaStack.empty()) impl_->alphaStack.pop_back();
    std::optional<Impl::Shadow> shadow;
    if (!impl_->layerShadows.empty()) {
        shadow = impl_->layerShadows.back();
        impl_->layerShadows.pop_back();
    }
    if (shadow) {
        cairo_pattern_t* group = cairo_pop_group(impl_->cr);
        paintShadow(*impl_, group, *shadow, alpha);
        cairo_set_source(impl_->cr, group);
        cairo_pattern_destroy(group);
    } else {
        cairo_pop_group_to_source(impl_->cr);
    }
    cairo_paint_with_alpha(impl_->cr, alpha);
    restore();
}

// ---- BitmapContext

namespace {

std::unique_ptr<Context::Impl> makeBitmapImpl(int width, int height, double scale) {
    auto impl = std::make_unique<Context::Impl>();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 0), std::max(height, 0));
    impl->cr = cairo_create(surface);
    cairo_surface_destroy(surface);  // the context keeps it
    cairo_scale(impl->cr, scale, scale);
    cairo_get_matrix(impl->cr, &impl->base);
    return impl;
}

int pixels(double points, double scale) { return std::max(0, static_cast<int>(std::ceil(points * scale - 1e-6))); }

} // namespace

BitmapContext::BitmapContext(Size size, double scale)
    : Context(makeBitmapImpl(pixels(size.width, scale > 0 ? scale : 1), pixels(size.height, scale > 0 ? scale : 1),
                             scale > 0 ? scale : 1)),
      width_(pixels(size.width, scale > 0 ? scale : 1)),
      height_(pixels(size.height, scale > 0 ? scale : 1)),
      scale_(scale > 0 ? scale : 1) {}

std::shared_ptr<const Image> BitmapContext::makeImage() const {
    cairo_surface_t* surface = cairo_get_target(impl_->cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    // The rows are copied into storage that is not filled first: zeroing it cost as much as the
    // copy, for every layer drawn.
    std::vector<uint32_t> out;
    if (data) {
        out.reserve(static_cast<size_t>(width_) * height_);
        for (int y = 0; y < height_; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
            out.insert(out.end(), row, row + width_);
        }
    } else {
        out.resize(static_cast<size_t>(width_) * height_);
    }
    return std::make_shared<Image>(width_, height_, scale_, std::move(out));
}

// ---- CairoContext

namespace {
std::unique_ptr<Context::Impl> wrapImpl(cairo_t* cr) {
    auto impl = std::make_unique<Context::Impl>();
    impl->cr = cairo_reference(cr);
    cairo_get_matrix(cr, &impl->base);
    return impl;
}
} // namespace

CairoContext::CairoContext(cairo_t* cr) : Context(wrapImpl(cr)) {}
CairoContext::~CairoContext() = default;

cairo_t* nativeCairo(Context& context) { return context.impl().cr; }

} // namespace gfx
