// Scrolling a long list: a phone window (375 x 667 points at scale 2) holding a 1,000-row table
// whose cells are reused, scrolled by 20 points per frame for 300 frames; every frame moves the
// offset, lets the table lay out (cells leave and come back through the reuse queue) and renders
// the window. The counters give the mean and the worst frame as shares of a 16.7 ms frame, and
// the ratio of the mean to what bare Cairo needs in the same run to paint the same picture's
// parts itself (a white fill, then each visible row's text and separator).

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace {

constexpr int kRows = 1000;
constexpr int kFrames = 300;
constexpr double kStep = 20;
constexpr double kRowHeight = 44;
constexpr double kFrameBudget = 1.0 / 60;
double bareSeconds = 0;  // per frame, from the bare benchmark of this run

using Clock = std::chrono::steady_clock;

std::string rowText(long row) { return "第 " + std::to_string(row + 1) + " 条聊天话术"; }

class Rows : public ui::TableViewDataSource {
public:
    int made = 0;
    long numberOfRowsInSection(ui::TableView&, long) override { return kRows; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& p) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell) {
            cell = core::make<ui::TableViewCell>(ui::TableViewCellStyle::default_, "row");
            ++made;
        }
        cell->textLabel()->setText(rowText(p.row));
        return cell;
    }
};

void BM_BareCairoRows(benchmark::State& state) {
    const double scale = 2, width = 375, height = 667;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(width * scale), int(height * scale));
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    cairo_select_font_face(cr, "Noto Sans CJK SC", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 17);
    double total = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (int f = 0; f < kFrames; ++f) {
            double offset = (f + 1) * kStep;
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_paint(cr);
            long first = long(offset / kRowHeight), last = std::min<long>(kRows - 1, long((offset + height) / kRowHeight));
            for (long r = first; r <= last; ++r) {
                double y = r * kRowHeight - offset;
                cairo_set_source_rgb(cr, 0, 0, 0);
                cairo_move_to(cr, 15, y + 28);
                cairo_show_text(cr, rowText(r).c_str());
                cairo_set_source_rgb(cr, 200 / 255.0, 199 / 255.0, 204 / 255.0);
                cairo_rectangle(cr, 15, y + kRowHeight - 0.5, width - 15, 0.5);
                cairo_fill(cr);
            }
        }
        cairo_surface_flush(surface);
        total += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    bareSeconds = total / (double(state.iterations()) * kFrames);
    state.counters["frame_ms"] = bareSeconds * 1000;
}
BENCHMARK(BM_BareCairoRows)->Unit(benchmark::kMillisecond);

void BM_TableScrollFrames(benchmark::State& state) {
    dispatch::RunLoop::setMainThread();
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());
    auto window = core::make<ui::Window>();
    window->setBackgroundColor(gfx::Color::whiteColor());
    auto rows = std::make_shared<Rows>();
    auto table = core::make<ui::TableView>(window->bounds());
    table->setContentInsetAdjustmentBehavior(ui::ContentInsetAdjustmentBehavior::never);
    table->setDataSource(rows);
    window->addSubview(table);
    table->reloadData();
    gfx::BitmapContext ctx(window->bounds().size, 2);

    double total = 0, worst = 0;
    long frames = 0;
    for (auto _ : state) {
        table->setContentOffset({0, 0});
        window->render(ctx);
        for (int f = 0; f < kFrames; ++f) {
            auto t0 = Clock::now();
            clock->advance(kFrameBudget);
            table->setContentOffset({0, (f + 1) * kStep});
            if (state.range(0)) table->flashScrollIndicators();  // as a finger's scroll shows them
            window->render(ctx);
            double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            total += seconds;
            worst = std::max(worst, seconds);
            ++frames;
        }
    }
    double mean = total / double(frames);
    state.counters["mean_frame_ms"] = mean * 1000;
    state.counters["mean_share_of_16.7ms"] = mean / kFrameBudget;
    state.counters["worst_share_of_16.7ms"] = worst / kFrameBudget;
    state.counters["cells_made"] = rows->made;  // reuse keeps this near the rows in view
    if (bareSeconds > 0) state.counters["ratio_to_bare_cairo"] = mean / bareSeconds;
    dispatch::RunLoop::main().pump();
    dispatch::Clock::setCurrent(nullptr);
}
// Argument 1 draws the scroll indicator in every frame.
BENCHMARK(BM_TableScrollFrames)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
