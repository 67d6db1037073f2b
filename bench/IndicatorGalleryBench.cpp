// Frame cost of every activity indicator at once: the gallery of all 33 types animating in a full
// phone window (375 x 667 points at scale 2), 120 frames of 1/60 s on the virtual clock, drawn by
// the renderer. The bare library row replays the same paints with Cairo alone (device transform,
// path, colour with the accumulated alpha, line width, trimmed stroke, label pictures), from
// per-frame records made before timing; the ratio is ours over that, in the same run.

#include "indicators/IndicatorGallery.h"
#include "platform/ca/Layer.h"
#include "platform/ca/ShapeLayer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <map>

namespace {

constexpr int kFrames = 120;
constexpr double kFrameBudget = 1.0 / 60;
constexpr double kScale = 2;
double bareSeconds = 0;  // per frame, from the bare row of this run

// One paint as Cairo needs it.
struct Paint {
    enum Kind { fill, stroke, image } kind;
    cairo_matrix_t matrix;
    gfx::Path path;  // in the matrix's space (device space under perspective)
    double r = 0, g = 0, b = 0, a = 1;
    double width = 0;
    cairo_surface_t* surface = nullptr;
    gfx::Rect rect;
};

struct Recorder {
    std::map<const gfx::Image*, cairo_surface_t*> surfaces;
    std::vector<std::shared_ptr<const gfx::Image>> kept;

    ~Recorder() {
        for (auto& [image, surface] : surfaces) cairo_surface_destroy(surface);
    }

    cairo_surface_t* surfaceOf(const std::shared_ptr<const gfx::Image>& image) {
        auto& s = surfaces[image.get()];
        if (!s) {
            kept.push_back(image);
            auto* data = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(image->pixels().data()));
            s = cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, image->pixelWidth(),
                                                    image->pixelHeight(), image->pixelWidth() * 4);
        }
        return s;
    }

    static bool affine(const gfx::Transform3D& t) { return t.m14 == 0 && t.m24 == 0 && t.m44 == 1; }

    // The path and matrix of a layer-space path: the affine transform, or projected points.
    static void place(Paint& paint, const gfx::Path& path, const gfx::Transform3D& t) {
        gfx::AffineTransform m = affine(t) ? t.affine() : gfx::AffineTransform{};
        cairo_matrix_init(&paint.matrix, m.a * kScale, m.b * kScale, m.c * kScale, m.d * kScale, m.tx * kScale,
                          m.ty * kScale);
        if (affine(t)) {
            paint.path = path;
            return;
        }
        for (const auto& line : path.flatten(0.05)) {
            bool first = true;
            for (gfx::Point p : line.points) {
                if (first) paint.path.moveTo(t.project(p));
                else paint.path.lineTo(t.project(p));
                first = false;
            }
            if (line.closed) paint.path.close();
        }
    }

    void colour(Paint& paint, const gfx::Color& c, double alpha) {
        paint.r = c.red;
        paint.g = c.green;
        paint.b = c.blue;
        paint.a = c.alpha * alpha;
    }

    void record(ca::Layer& layer, double parentTime, const gfx::Transform3D& parentToDevice, double alpha,
                std::vector<Paint>& out) {
        const double time = layer.localTimeFromParent(parentTime);
        const ca::LayerProperties p = layer.presentationAt(time);
        if (p.hidden || p.opacity <= 0) return;
        const gfx::Transform3D toDevice = p.toSuperlayer().flattened().concat(parentToDevice);
        // A layer scaled to nothing covers no area (and its matrix would stop Cairo).
        if (affine(toDevice) && toDevice.affine().determinant() == 0) return;
        alpha *= p.opacity;
        if (p.backgroundColor && p.backgroundColor->alpha > 0) {
            Paint paint{};
            paint.kind = Paint::fill;
            place(paint, gfx::Path::rect(p.bounds), toDevice);
            colour(paint, *p.backgroundColor, alpha);
            out.push_back(std::move(paint));
        }
        if (const auto& image = layer.contents()) {
            Paint paint{};
            paint.kind = Paint::image;
            place(paint, {}, toDevice);
            paint.surface = surfaceOf(image);
            paint.rect = layer.contentsFrame() ? *layer.contentsFrame() : p.bounds;
            paint.a = alpha;
            out.push_back(std::move(paint));
        }
        if (dynamic_cast<ca::ShapeLayer*>(&layer) && !p.path.isEmpty()) {
            if (p.fillColor && p.fillColor->alpha > 0) {
                Paint paint{};
            paint.kind = Paint::fill;
                place(paint, p.path, toDevice);
                colour(paint, *p.fillColor, alpha);
                out.push_back(std::move(paint));
            }
            const double start = std::clamp(p.strokeStart, 0.0, 1.0), end = std::clamp(p.strokeEnd, 0.0, 1.0);
            if (p.strokeColor && p.strokeColor->alpha > 0 && p.lineWidth > 0 && end > start) {
                gfx::Path stroked = p.path;
                if (start > 0 || end < 1) {
                    stroked = {};
                    for (const auto& line : gfx::Path::trim(p.path.flatten(0.025), start, end)) {
                        stroked.moveTo(line.points.front());
                        for (size_t i = 1; i < line.points.size(); ++i) stroked.lineTo(line.points[i]);
                    }
                }
                Paint paint{};
                paint.kind = Paint::stroke;
                place(paint, stroked, toDevice);
                colour(paint, *p.strokeColor, alpha);
                paint.width = p.lineWidth;
                out.push_back(std::move(paint));
            }
        }
        const gfx::Point a = p.anchorInBounds();
        const gfx::Transform3D sub = p.sublayerTransform.isIdentity()
                                         ? gfx::Transform3D{}
                                         : gfx::Transform3D::translation(-a.x, -a.y, 0)
                                               .concat(p.sublayerTransform)
                                               .concat(gfx::Transform3D::translation(a.x, a.y, 0));
        const gfx::Transform3D childParent = sub.flattened().concat(toDevice);
        auto children = layer.sublayers();
        std::stable_sort(children.begin(), children.end(),
                         [](const auto& l, const auto& r) { return l->zPosition() < r->zPosition(); });
        for (const auto& child : children) record(*child, time, childParent, alpha, out);
    }
};

void replay(cairo_t* cr, const std::vector<Paint>& paints) {
    for (const auto& paint : paints) {
        cairo_set_matrix(cr, &paint.matrix);
        if (paint.kind == Paint::image) {
            const int w = cairo_image_surface_get_width(paint.surface), h = cairo_image_surface_get_height(paint.surface);
            cairo_save(cr);
            cairo_translate(cr, paint.rect.x(), paint.rect.y());
            cairo_scale(cr, paint.rect.width() / w, paint.rect.height() / h);
            cairo_set_source_surface(cr, paint.surface, 0, 0);
            cairo_paint_with_alpha(cr, paint.a);
            cairo_restore(cr);
            continue;
        }
        cairo_new_path(cr);
        for (const auto& e : paint.path.elements()) {
            switch (e.kind) {
            case gfx::Path::Kind::move: cairo_move_to(cr, e.points[0].x, e.points[0].y); break;
            case gfx::Path::Kind::line: cairo_line_to(cr, e.points[0].x, e.points[0].y); break;
            case gfx::Path::Kind::cubic:
                cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                               e.points[2].y);
                break;
            case gfx::Path::Kind::close: cairo_close_path(cr); break;
            }
        }
        cairo_set_source_rgba(cr, paint.r, paint.g, paint.b, paint.a);
        if (paint.kind == Paint::fill) {
            cairo_fill(cr);
        } else {
            cairo_set_line_width(cr, paint.width);
            cairo_stroke(cr);
        }
    }
}

// The window with the gallery in it, on a virtual clock.
struct Scene {
    std::shared_ptr<dispatch::VirtualClock> clock = std::make_shared<dispatch::VirtualClock>();
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<indicators::IndicatorGallery> gallery;

    Scene() {
        dispatch::RunLoop::setMainThread();
        dispatch::Clock::setCurrent(clock);
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        window = core::make<ui::Window>();
        window->setBackgroundColor(gfx::Color::whiteColor());
        window->makeKeyAndVisible();
        gallery = std::make_unique<indicators::IndicatorGallery>();
        window->addSubview(gallery->view());
        // The labels draw their text once, before anything is measured.
        gfx::BitmapContext warm(window->bounds().size, kScale);
        window->render(warm);
    }
    ~Scene() {
        gallery.reset();
        window.reset();
        dispatch::Clock::setCurrent(nullptr);
    }
};

void BM_BareCairoReplay(benchmark::State& state) {
    Scene scene;
    std::vector<std::vector<Paint>> frames(kFrames);
    Recorder recorder;
    for (auto& paints : frames) {
        scene.clock->advance(kFrameBudget);
        recorder.record(*scene.window->layer(), scene.clock->monotonicTime(), {}, 1, paints);
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 750, 1334);
    cairo_t* cr = cairo_create(surface);
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (const auto& paints : frames) replay(cr, paints);
        cairo_surface_flush(surface);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) state.SkipWithError("the replay put Cairo in an error state");
    size_t paints = 0;
    for (const auto& f : frames) paints += f.size();
    state.counters["paints_per_frame"] = static_cast<double>(paints) / kFrames;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    bareSeconds = total / (static_cast<double>(state.iterations()) * kFrames);
    state.counters["frame_ms"] = bareSeconds * 1000;
}
BENCHMARK(BM_BareCairoReplay)->Unit(benchmark::kMillisecond);

void BM_IndicatorGalleryFrames(benchmark::State& state) {
    Scene scene;
    gfx::BitmapContext ctx(scene.window->bounds().size, kScale);
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int f = 0; f < kFrames; ++f) {
            scene.clock->advance(kFrameBudget);
            scene.window->render(ctx);
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double perFrame = total / (static_cast<double>(state.iterations()) * kFrames);
    state.counters["frame_ms"] = perFrame * 1000;
    state.counters["share_of_60Hz_frame"] = perFrame / kFrameBudget;
    if (bareSeconds > 0) state.counters["ratio"] = perFrame / bareSeconds;
}
BENCHMARK(BM_IndicatorGalleryFrames)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
