// Frame cost of the UI platform: a full phone window (375 x 667 points at scale 2) with a dimmed
// rounded square and a spinning, self-chasing stroked arc in its middle, as the loading overlay
// shows it, rendered for 120 frames at 60 Hz of virtual time. It is measured against a bare
// Cairo fill of a surface of the same size in the same run; the counters report the frame time
// as a share of a 16.7 ms frame and the ratio to the bare fill.

#include "bench/BareCairoFill.h"
#include "platform/ca/Animation.h"
#include "platform/ca/ShapeLayer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>
#include <limits>
#include <numbers>

namespace {

constexpr int kFrames = 120;
constexpr double kFrameBudget = 1.0 / 60;
double bareFillSeconds = 0;  // per frame, from the bare benchmark of this run

std::shared_ptr<ca::AnimationGroup> spin() {
    auto curve = ca::MediaTimingFunction::controlPoints(0.4, 0, 0.2, 1);
    auto rotation = ca::BasicAnimation::make("transform.rotation");
    rotation->byValue = 2 * std::numbers::pi;
    rotation->timingFunction = ca::MediaTimingFunction::linear();
    auto end = ca::BasicAnimation::make("strokeEnd");
    end->fromValue = 0.0;
    end->toValue = 1.0;
    end->duration = 0.7;
    end->timingFunction = curve;
    auto start = ca::BasicAnimation::make("strokeStart");
    start->fromValue = 0.0;
    start->toValue = 1.0;
    start->duration = 1.2;
    start->beginTime = 0.5;
    start->timingFunction = curve;
    auto group = ca::AnimationGroup::make({rotation, end, start});
    group->duration = 1.7;
    group->repeatCount = std::numeric_limits<double>::infinity();
    group->removedOnCompletion = false;
    return group;
}

void BM_BareCairoFill(benchmark::State& state) { bareFillSeconds = bench::measureBareCairoFill(state, kFrames); }
BENCHMARK(BM_BareCairoFill)->Unit(benchmark::kMillisecond);

void BM_LoadingOverlayFrames(benchmark::State& state) {
    dispatch::RunLoop::setMainThread();
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());
    auto window = core::make<ui::Window>();
    window->setBackgroundColor(gfx::Color::whiteColor());
    auto square = core::make<ui::View>(gfx::Rect{0, 0, 121.5, 121.5});
    square->setCenter({187.5, 333.5});
    square->setBackgroundColor(gfx::Color::black().withAlpha(0.7));
    square->layer()->setCornerRadius(10);
    square->setClipsToBounds(true);
    window->addSubview(square);
    const double side = 52.1;
    auto arc = ca::ShapeLayer::make();
    arc->setFrame({(121.5 - side) / 2, (121.5 - side) / 2, side, side});
    arc->setPath(gfx::Path::arc({side / 2, side / 2}, side / 2, -std::numbers::pi / 2, 3 * std::numbers::pi / 2, true));
    arc->setFillColor(std::nullopt);
    arc->setStrokeColor(gfx::Color::whiteColor());
    arc->setLineWidth(2);
    arc->addAnimation(spin(), "animation");
    square->layer()->addSublayer(arc);
    gfx::BitmapContext ctx(window->bounds().size, 2);

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
    dispatch::RunLoop::main().pump();
    dispatch::Clock::setCurrent(nullptr);
}
BENCHMARK(BM_LoadingOverlayFrames)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
