// The HUD's blurred panel over a list: a phone window (375 x 667 points at scale 2) holding a
// 1,000-row table (as in bench_table_scroll) with the information panel for "网络不可用，请检查网络"
// centred over it. Every frame moves the list by one point, so what lies beneath the panel changes
// and its backdrop is drawn again (a picture of the frame up to the panel at reduced scale, three
// box passes, composite), then renders the window. The same frame is rendered with the panel
// hidden, and the difference is the backdrop's cost.
//
// Bare Cairo in the same run does the same work on the same region: it paints the region of a
// finished page picture into a surface at the same reduced scale, runs three box passes along rows
// and columns over it, and paints it back scaled up inside the panel's rounded rectangle. Counters:
// the frame as a share of 16.7 ms and the backdrop's cost as a ratio to bare Cairo's.

#include "platform/ca/Renderer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "ui/HUDProgressIndicatorView.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kScale = 2;
constexpr double kFrameBudget = 1.0 / 60;
constexpr double kRadius = 30;  // points, the styles' blur radius
const std::string kMessage = "网络不可用，请检查网络";
double bareSeconds = 0;  // per frame, from the bare benchmark of this run

using Clock = std::chrono::steady_clock;

class Rows : public ui::TableViewDataSource {
public:
    long numberOfRowsInSection(ui::TableView&, long) override { return 1000; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& p) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell) cell = core::make<ui::TableViewCell>(ui::TableViewCellStyle::default_, "row");
        cell->textLabel()->setText("第 " + std::to_string(p.row + 1) + " 个问题：周末约她喝咖啡怎么说？");
        return cell;
    }
};

gfx::Rect panelFrame() {
    gfx::Size s = kit::HUDProgressIndicatorView::getFrameForProgressViewWithMessage(kMessage);
    return {(375 - s.width) / 2, (667 - s.height) / 2, s.width, s.height};
}

struct Phone {
    std::shared_ptr<dispatch::VirtualClock> clock = std::make_shared<dispatch::VirtualClock>();
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::TableView> table;
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<kit::HUDProgressIndicatorView> panel;
    Phone() {
        dispatch::RunLoop::setMainThread();
        dispatch::Clock::setCurrent(clock);
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        window = core::make<ui::Window>();
        window->setBackgroundColor(gfx::Color::whiteColor());
        table = core::make<ui::TableView>(window->bounds());
        table->setContentInsetAdjustmentBehavior(ui::ContentInsetAdjustmentBehavior::never);
        table->setDataSource(rows);
        window->addSubview(table);
        table->reloadData();
        panel = core::make<kit::HUDProgressIndicatorView>();
        panel->setFrame(panelFrame());
        panel->showProgressWithType(kit::HUDMessageType::info, kMessage, nullptr, 0, true);
        window->addSubview(panel);
    }
    ~Phone() {
        dispatch::RunLoop::main().pump();
        dispatch::Clock::setCurrent(nullptr);
    }
};

// Three box passes of radius r along rows, then along columns, over premultiplied ARGB.
void boxBlur(unsigned char* data, int w, int h, int stride, int r) {
    std::vector<uint32_t> line;
    auto pass = [&](uint32_t* first, int n, int step) {
        line.assign(static_cast<size_t>(n), 0);
        for (int i = 0; i < n; ++i) line[static_cast<size_t>(i)] = first[static_cast<size_t>(i) * step];
        auto at = [&](int i) { return line[static_cast<size_t>(std::clamp(i, 0, n - 1))]; };
        uint32_t sum[4] = {0, 0, 0, 0}, width = static_cast<uint32_t>(2 * r + 1);
        for (int i = -r; i <= r; ++i)
            for (int c = 0; c < 4; ++c) sum[c] += (at(i) >> (8 * c)) & 0xff;
        for (int i = 0; i < n; ++i) {
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) out |= ((sum[c] + width / 2) / width) << (8 * c);
            first[static_cast<size_t>(i) * step] = out;
            uint32_t in = at(i + r + 1), gone = at(i - r);
            for (int c = 0; c < 4; ++c) sum[c] += ((in >> (8 * c)) & 0xff) - ((gone >> (8 * c)) & 0xff);
        }
    };
    auto* px = reinterpret_cast<uint32_t*>(data);
    int s = stride / 4;
    for (int k = 0; k < 3; ++k)
        for (int y = 0; y < h; ++y) pass(px + static_cast<size_t>(y) * s, w, 1);
    for (int k = 0; k < 3; ++k)
        for (int x = 0; x < w; ++x) pass(px + x, h, s);
}

void BM_BareCairoBackdrop(benchmark::State& state) {
    // The finished page without the panel, as the picture to blur.
    std::shared_ptr<const gfx::Image> page;
    {
        Phone phone;
        phone.panel->setHidden(true);
        gfx::BitmapContext ctx(phone.window->bounds().size, kScale);
        phone.window->render(ctx);
        page = ctx.makeImage();
    }
    const int W = page->pixelWidth(), H = page->pixelHeight();
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    cairo_surface_flush(source);
    for (int y = 0; y < H; ++y)
        std::memcpy(cairo_image_surface_get_data(source) + y * cairo_image_surface_get_stride(source),
                    page->pixels().data() + static_cast<size_t>(y) * W, static_cast<size_t>(W) * 4);
    cairo_surface_mark_dirty(source);
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    cairo_t* out = cairo_create(target);

    // The same region and scale as the renderer's: the panel grown by three sigmas, at six
    // picture pixels per sigma.
    const double sigma = kRadius / 2 * kScale, factor = std::clamp(6 / sigma, 0.125, 1.0);
    const gfx::Rect panel = panelFrame();
    const double pad = 3 * sigma + 2;
    const int X = std::max(0, int(std::floor(panel.minX() * kScale - pad))), Y = std::max(0, int(std::floor(panel.minY() * kScale - pad)));
    const int X1 = std::min(W, int(std::ceil(panel.maxX() * kScale + pad))), Y1 = std::min(H, int(std::ceil(panel.maxY() * kScale + pad)));
    const int w = int(std::ceil((X1 - X) * factor)), h = int(std::ceil((Y1 - Y) * factor));
    const double s = sigma * factor;
    const int r = int(std::lround((std::sqrt(1 + 4 * s * s) - 1) / 2));
    cairo_surface_t* small = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);

    double total = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        cairo_t* cr = cairo_create(small);
        cairo_scale(cr, factor, factor);
        cairo_translate(cr, -X, -Y);
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(small);
        boxBlur(cairo_image_surface_get_data(small), w, h, cairo_image_surface_get_stride(small), r);
        cairo_surface_mark_dirty(small);
        cairo_save(out);
        cairo_scale(out, kScale, kScale);
        cairo_new_path(out);
        const double cr10 = 10, x0 = panel.minX(), y0 = panel.minY(), x1 = panel.maxX(), y1 = panel.maxY();
        cairo_arc(out, x0 + cr10, y0 + cr10, cr10, M_PI, 1.5 * M_PI);
        cairo_arc(out, x1 - cr10, y0 + cr10, cr10, 1.5 * M_PI, 2 * M_PI);
        cairo_arc(out, x1 - cr10, y1 - cr10, cr10, 0, 0.5 * M_PI);
        cairo_arc(out, x0 + cr10, y1 - cr10, cr10, 0.5 * M_PI, M_PI);
        cairo_close_path(out);
        cairo_clip(out);
        cairo_identity_matrix(out);
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(small);
        cairo_matrix_t m;
        cairo_matrix_init(&m, factor, 0, 0, factor, -X * factor, -Y * factor);
        cairo_pattern_set_matrix(pattern, &m);
        cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
        cairo_set_source(out, pattern);
        cairo_paint(out);
        cairo_pattern_destroy(pattern);
        cairo_restore(out);
        cairo_surface_flush(target);
        total += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    cairo_surface_destroy(small);
    cairo_destroy(out);
    cairo_surface_destroy(target);
    cairo_surface_destroy(source);
    bareSeconds = total / double(state.iterations());
    state.counters["backdrop_ms"] = bareSeconds * 1000;
}
BENCHMARK(BM_BareCairoBackdrop)->Unit(benchmark::kMillisecond);

void BM_BackdropBlurFrame(benchmark::State& state) {
    Phone phone;
    gfx::BitmapContext ctx(phone.window->bounds().size, kScale);
    phone.window->render(ctx);
    double withPanel = 0, without = 0;
    long frames = 0;
    const auto picturesBefore = ca::Renderer::backdropPicturesDrawn();
    for (auto _ : state) {
        frames += 2;
        double y = double(frames % 200);
        phone.clock->advance(kFrameBudget);
        phone.table->setContentOffset({0, y});
        auto t0 = Clock::now();
        phone.window->render(ctx);
        withPanel += std::chrono::duration<double>(Clock::now() - t0).count();

        phone.panel->setHidden(true);
        phone.table->setContentOffset({0, y + 1});
        t0 = Clock::now();
        phone.window->render(ctx);
        without += std::chrono::duration<double>(Clock::now() - t0).count();
        phone.panel->setHidden(false);
    }
    const double n = double(state.iterations());
    const double frame = withPanel / n, backdrop = (withPanel - without) / n;
    state.counters["frame_ms"] = frame * 1000;
    state.counters["frame_share_of_16.7ms"] = frame / kFrameBudget;
    state.counters["backdrop_ms"] = backdrop * 1000;
    state.counters["pictures_per_frame"] = double(ca::Renderer::backdropPicturesDrawn() - picturesBefore) / n;
    if (bareSeconds > 0) state.counters["backdrop_ratio_to_bare_cairo"] = backdrop / bareSeconds;
}
BENCHMARK(BM_BackdropBlurFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
