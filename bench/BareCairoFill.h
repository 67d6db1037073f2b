#pragma once
// The baseline of the drawing benchmarks: what a bare Cairo fill of the whole 375x667@2 window
// costs per frame, measured in the same run as the benchmark that compares itself with it.

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>

namespace bench {

// Runs the benchmark loop over `frames` fills per iteration and returns the seconds per frame.
inline double measureBareCairoFill(benchmark::State& state, int frames) {
    const int w = 750, h = 1334;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int f = 0; f < frames; ++f) {
            cairo_set_source_rgba(cr, 1, 1, 1, 1);
            cairo_paint(cr);
        }
        cairo_surface_flush(surface);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    const double perFrame = total / (static_cast<double>(state.iterations()) * frames);
    state.counters["frame_ms"] = perFrame * 1000;
    return perFrame;
}

} // namespace bench
