// The blurred shadow a transparency layer casts: the layer's alpha, in device pixels, through a
// separable Gaussian, tinted and painted under the layer.
#include "platform/gfx/CairoContext.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gfx {
namespace {

std::vector<float> gaussianKernel(double sigma) {
    int radius = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
    std::vector<float> k(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += k[i + radius] = static_cast<float>(std::exp(-i * i / (2 * sigma * sigma)));
    for (auto& v : k) v = static_cast<float>(v / sum);
    return k;
}

// One pass of the blur along rows (step 1) or columns (step = width).
void blurPass(const std::vector<float>& in, std::vector<float>& out, int w, int h, bool rows,
              const std::vector<float>& k) {
    int radius = static_cast<int>(k.size() / 2);
    int n = rows ? w : h, lines = rows ? h : w;
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < n; ++i) {
            float acc = 0;
            int lo = std::max(0, i - radius), hi = std::min(n - 1, i + radius);
            for (int j = lo; j <= hi; ++j) {
                size_t idx = rows ? static_cast<size_t>(line) * w + j : static_cast<size_t>(j) * w + line;
                acc += in[idx] * k[j - i + radius];
            }
            size_t o = rows ? static_cast<size_t>(line) * w + i : static_cast<size_t>(i) * w + line;
            out[o] = acc;
        }
    }
}

} // namespace

void paintShadow(Context::Impl& d, cairo_pattern_t* group, const Context::Impl::Shadow& shadow, double alpha) {
    if (shadow.color.alpha <= 0 || alpha <= 0) return;
    cairo_t* cr = d.cr;
    double scale = std::sqrt(std::fabs(d.base.xx * d.base.yy - d.base.xy * d.base.yx));
    if (scale <= 0) scale = 1;
    double ox = shadow.offset.width, oy = shadow.offset.height;
    {
        cairo_matrix_t m = d.base;
        cairo_matrix_transform_distance(&m, &ox, &oy);
    }
    double sigma = shadow.blur / 2 * scale;
    int pad = sigma > 0.01 ? static_cast<int>(std::ceil(3 * sigma)) + 1 : 1;

    cairo_save(cr);
    cairo_identity_matrix(cr);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    // Only layer pixels whose shadow can land inside the clip matter.
    int X0 = static_cast<int>(std::floor(x1 - ox)) - pad, Y0 = static_cast<int>(std::floor(y1 - oy)) - pad;
    int X1 = static_cast<int>(std::ceil(x2 - ox)) + pad, Y1 = static_cast<int>(std::ceil(y2 - oy)) + pad;
    int w = X1 - X0, h = Y1 - Y0;
    if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > 64LL * 1024 * 1024) {
        cairo_restore(cr);
        return;
    }

    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* pc = cairo_create(picture);
    cairo_translate(pc, -X0, -Y0);
    cairo_matrix_t saved;
    cairo_pattern_get_matrix(group, &saved);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    cairo_pattern_set_matrix(group, &identity);  // the group's pattern space is the device space
    cairo_set_source(pc, group);
    cairo_paint(pc);
    cairo_pattern_set_matrix(group, &saved);
    cairo_destroy(pc);
    cairo_surface_flush(picture);

    int stride = cairo_image_surface_get_stride(picture);
    unsigned char* data = cairo_image_surface_get_data(picture);
    std::vector<float> a(static_cast<size_t>(w) * h), tmp(a.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            a[static_cast<size_t>(y) * w + x] = (reinterpret_cast<uint32_t*>(data + y * stride)[x] >> 24) / 255.0f;
    if (sigma > 0.01) {
        auto k = gaussianKernel(sigma);
        blurPass(a, tmp, w, h, true, k);
        blurPass(tmp, a, w, h, false, k);
    }
    const Color& c = shadow.color;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x) {
            double sa = std::clamp(static_cast<double>(a[static_cast<size_t>(y) * w + x]), 0.0, 1.0) * c.alpha;
            auto ch = [&](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * sa * 255)); };
            row[x] = (static_cast<uint32_t>(std::lround(sa * 255)) << 24) | (ch(c.red) << 16) | (ch(c.green) << 8) | ch(c.blue);
        }
    }
    cairo_surface_mark_dirty(picture);
    cairo_set_source_surface(cr, picture, X0 + ox, Y0 + oy);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
    cairo_surface_destroy(picture);
}

} // namespace gfx
