#include "platform/gfx/Backdrop.h"

#include "platform/gfx/CairoContext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace gfx {

struct BackdropPicture::Surface {
    cairo_surface_t* image = nullptr;
    int width = 0, height = 0;
    ~Surface() {
        if (image) cairo_surface_destroy(image);
    }
};

namespace {

// One box pass of radius r over `n` pixels spaced `step` apart, edges extended, through `line`.
void boxPass(uint32_t* first, int n, int step, int r, std::vector<uint32_t>& line) {
    line.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) line[static_cast<size_t>(i)] = first[static_cast<size_t>(i) * step];
    const uint32_t width = static_cast<uint32_t>(2 * r + 1);
    uint32_t sum[4] = {0, 0, 0, 0};
    auto at = [&](int i) { return line[static_cast<size_t>(std::clamp(i, 0, n - 1))]; };
    for (int i = -r; i <= r; ++i) {
        uint32_t px = at(i);
        for (int c = 0; c < 4; ++c) sum[c] += (px >> (8 * c)) & 0xff;
    }
    for (int i = 0; i < n; ++i) {
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c) out |= ((sum[c] + width / 2) / width) << (8 * c);
        first[static_cast<size_t>(i) * step] = out;
        uint32_t in = at(i + r + 1), gone = at(i - r);
        for (int c = 0; c < 4; ++c) sum[c] += ((in >> (8 * c)) & 0xff) - ((gone >> (8 * c)) & 0xff);
    }
}

} // namespace

BackdropPicture::BackdropPicture() = default;
BackdropPicture::~BackdropPicture() = default;

std::optional<BackdropPicture::Region> BackdropPicture::regionFor(Context& target, const Rect& rect, double pad,
                                                                  double factor) {
    cairo_t* cr = target.impl().cr;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    cairo_restore(cr);
    const cairo_matrix_t& b = target.impl().base;
    const AffineTransform base{b.xx, b.yx, b.xy, b.yy, b.x0, b.y0};
    Rect r = base.apply(rect.standardized()).insetBy(-pad, -pad);
    double left = std::max(r.minX(), x1), top = std::max(r.minY(), y1);
    double right = std::min(r.maxX(), x2), bottom = std::min(r.maxY(), y2);
    if (right <= left || bottom <= top || factor <= 0) return std::nullopt;
    Region region;
    region.x = static_cast<int>(std::floor(left));
    region.y = static_cast<int>(std::floor(top));
    region.width = static_cast<int>(std::ceil(right)) - region.x;
    region.height = static_cast<int>(std::ceil(bottom)) - region.y;
    region.factor = factor;
    region.base = {b.xx, b.yx, b.xy, b.yy, b.x0, b.y0};
    return region;
}

Context& BackdropPicture::begin(const Region& region) {
    int w = std::max(1, static_cast<int>(std::ceil(region.width * region.factor)));
    int h = std::max(1, static_cast<int>(std::ceil(region.height * region.factor)));
    if (!surface_ || surface_->width < w || surface_->height < h) {
        context_.reset();
        surface_ = std::make_unique<Surface>();
        // A little room to grow, so that a picture that moves or springs does not make a new one
        // every frame.
        surface_->width = w + w / 4;
        surface_->height = h + h / 4;
        surface_->image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, surface_->width, surface_->height);
    }
    cairo_t* cr = cairo_create(surface_->image);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_clip(cr);
    const auto& b = region.base;
    cairo_matrix_t base, toPicture, m;
    cairo_matrix_init(&base, b[0], b[1], b[2], b[3], b[4], b[5]);
    cairo_matrix_init(&toPicture, region.factor, 0, 0, region.factor, -region.x * region.factor,
                      -region.y * region.factor);
    cairo_matrix_multiply(&m, &base, &toPicture);  // the target's base first, then into the picture
    cairo_set_matrix(cr, &m);
    context_ = std::make_unique<CairoContext>(cr);
    cairo_destroy(cr);  // the context keeps its reference
    region_ = region;
    return *context_;
}

void BackdropPicture::blur(double sigma) {
    if (!surface_ || !region_) return;
    cairo_surface_flush(surface_->image);
    double s = sigma * region_->factor;
    // Three boxes of width 2r + 1 have the variance r(r + 1) of a Gaussian of that sigma.
    int r = static_cast<int>(std::lround((std::sqrt(1 + 4 * s * s) - 1) / 2));
    if (r <= 0) return;
    int w = std::max(1, static_cast<int>(std::ceil(region_->width * region_->factor)));
    int h = std::max(1, static_cast<int>(std::ceil(region_->height * region_->factor)));
    auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface_->image));
    int stride = cairo_image_surface_get_stride(surface_->image) / 4;
    std::vector<uint32_t> line;
    for (int pass = 0; pass < 3; ++pass)
        for (int y = 0; y < h; ++y) boxPass(data + static_cast<size_t>(y) * stride, w, 1, r, line);
    for (int pass = 0; pass < 3; ++pass)
        for (int x = 0; x < w; ++x) boxPass(data + x, h, stride, r, line);
    cairo_surface_mark_dirty(surface_->image);
}

void BackdropPicture::paint(Context& target) const {
    if (!surface_ || !region_) return;
    cairo_t* cr = target.impl().cr;
    const Region& g = *region_;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_rectangle(cr, g.x, g.y, g.width, g.height);
    cairo_clip(cr);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface_->image);
    cairo_matrix_t m;
    cairo_matrix_init(&m, g.factor, 0, 0, g.factor, -g.x * g.factor, -g.y * g.factor);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_set_source(cr, pattern);
    cairo_paint_with_alpha(cr, target.alpha());
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
}

} // namespace gfx
