// Frame cost of the loading overlay: the app's LoadingView over a full phone window (375 x 667
// points at scale 2), its indicator started, rendered for 120 frames at 60 Hz of virtual time.
// It is measured against a bare Cairo fill of a surface of the same size in the same run; the
// counters report the frame time as a share of a 16.7 ms frame and the ratio to the bare fill.

#include "bench/BareCairoFill.h"
#include "Tools/LoadingView/LoadingView.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "ui/c.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>

namespace {

constexpr int kFrames = 120;
constexpr double kFrameBudget = 1.0 / 60;
double bareFillSeconds = 0; // per frame, from the bare benchmark of this run

void BM_BareCairoFill(benchmark::State& state) { bareFillSeconds = bench::measureBareCairoFill(state, kFrames); }
BENCHMARK(BM_BareCairoFill)->Unit(benchmark::kMillisecond);

void BM_LoadingViewFrames(benchmark::State& state) {
    dispatch::RunLoop::setMainThread();
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());
    auto window = core::make<ui::Window>();
    window->setBackgroundColor(gfx::Color::whiteColor());
    window->makeKeyAndVisible();
    kit::c::resetForTesting();
    // Shown the way the service client shows it: added to the key window, indicator started.
    auto overlay = core::make<kit::LoadingView>();
    kit::c::window()->addSubview(overlay);
    overlay->loadingView()->startIndicator();
    gfx::BitmapContext ctx(window->bounds().size, ui::Screen::main().scale());

    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int f = 0; f < kFrames; ++f) {
            clock->advance(kFrameBudget);
            window->render(ctx);
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    double perFrame = total / (static_cast<double>(state.iterations()) * kFrames);
    state.counters["frame_ms"] = perFrame * 1000;
    state.counters["share_of_60Hz_frame"] = perFrame / kFrameBudget;
    if (bareFillSeconds > 0) state.counters["ratio_to_bare_fill"] = perFrame / bareFillSeconds;
    overlay->loadingView()->stopIndicator();
    overlay->dismiss1WithObj();
    dispatch::RunLoop::main().pump();
    kit::c::resetForTesting();
    dispatch::Clock::setCurrent(nullptr);
}
BENCHMARK(BM_LoadingViewFrames)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
