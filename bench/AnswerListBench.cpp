// Opening the answer list with a page of 50 answers, headless: a phone window (375 x 667 points
// at scale 3) gets a new tag-mode answer page, the page takes the answers as from the service and
// refreshes its views (every row's height is measured: 50 questions and 50 answers), the window
// lays out (the rows in view get their cells, whose rich labels lay out the highlighted texts) and
// renders its first frame. No request is sent: the page is shown without its appearance calls,
// so its pending refresh never runs. The counters give the time as a share of a 16.7 ms frame and
// of 100 ms, and the ratio to bare Pango and Cairo laying out the same 100 texts at the same
// widths in the same font and drawing them into a surface of the same size, in the same run.

#include "Modules/Main/QUMainDetailController.h"
#include "platform/core/ProcessInfo.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/PangoFonts.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "ui/c.h"

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kAnswers = 50;
constexpr double kScale = 3;
constexpr double kFrameBudget = 1.0 / 60;
constexpr double kTenthOfASecond = 0.1;
double bareSeconds = 0;  // per opening, from the bare benchmark of this run

using Clock = std::chrono::steady_clock;

struct Texts {
    std::string title, content;
};

// Questions and answers of typical lengths (one to several lines), each holding the searched word.
const std::vector<Texts>& texts() {
    static const std::vector<Texts> all = [] {
        const char* pieces[] = {"周末", "一起", "去", "喝", "咖啡", "吧", "，", "我", "知道", "河边", "有",
                                "一家", "很", "安静", "的", "店", "。", "你", "觉得", "怎么样", "？"};
        std::vector<Texts> out;
        unsigned state = 2024;
        auto next = [&] { return state = state * 1103515245u + 12345u; };
        for (int i = 0; i < kAnswers; ++i) {
            Texts t;
            const int titleLength = 8 + static_cast<int>((next() >> 8) % 20);
            const int contentLength = 20 + static_cast<int>((next() >> 8) % 80);
            for (int c = 0; c < titleLength; ++c) t.title += pieces[(next() >> 8) % std::size(pieces)];
            for (int c = 0; c < contentLength; ++c) t.content += pieces[(next() >> 8) % std::size(pieces)];
            t.title += "咖啡";
            out.push_back(std::move(t));
        }
        return out;
    }();
    return all;
}

std::shared_ptr<network::QUAnswerListModel> answerPage() {
    auto model = core::make<network::QUAnswerListModel>();
    for (const auto& t : texts()) {
        auto answer = core::make<network::QUAnswerModel>();
        answer->title = t.title;
        answer->content = t.content;
        model->list.push_back(answer);
    }
    model->count = 200;
    model->now_page = kAnswers;
    return model;
}

// One phone window on a virtual clock with the built pictures as resources, for the whole run.
struct Phone {
    Phone() {
        dispatch::RunLoop::setMainThread();
        dispatch::Clock::setCurrent(clock);
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        const auto resources = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "resources";
        core::Bundle::setResourcePathForTesting(resources.string());
        window = core::make<ui::Window>();
        window->setBackgroundColor(gfx::Color::whiteColor());
        window->makeKeyAndVisible();
    }
    std::shared_ptr<dispatch::VirtualClock> clock = std::make_shared<dispatch::VirtualClock>();
    std::shared_ptr<ui::Window> window;
};

Phone& phone() {
    static Phone* shared = new Phone;
    return *shared;
}

void BM_BarePangoCairo(benchmark::State& state) {
    auto& p = phone();
    const double u = kit::c::shortSide() / 1080;
    const gfx::Size size = p.window->bounds().size;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * kScale),
                                                          static_cast<int>(size.height * kScale));
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, kScale, kScale);
    PangoFontDescription* font = gfx::newPangoFontDescription(kit::c::font36());
    double total = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 153 / 255.0, 153 / 255.0, 153 / 255.0);
        double y = 0;
        for (const auto& t : texts()) {
            for (const auto& [text, width, spacing] :
                 {std::tuple{&t.title, 1000 * u, 0.0}, std::tuple{&t.content, 900 * u, 20 * u}}) {
                PangoLayout* layout = pango_cairo_create_layout(cr);
                pango_layout_set_font_description(layout, font);
                pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
                pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
                pango_layout_set_spacing(layout, static_cast<int>(spacing * PANGO_SCALE));
                pango_layout_set_text(layout, text->data(), static_cast<int>(text->size()));
                PangoRectangle logical;
                pango_layout_get_extents(layout, nullptr, &logical);
                cairo_move_to(cr, 20 * u, y);
                pango_cairo_show_layout(cr, layout);
                y += static_cast<double>(logical.height) / PANGO_SCALE + 60 * u;
                g_object_unref(layout);
            }
        }
        cairo_surface_flush(surface);
        total += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    pango_font_description_free(font);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    bareSeconds = total / static_cast<double>(state.iterations());
    state.counters["open_ms"] = bareSeconds * 1000;
}
BENCHMARK(BM_BarePangoCairo)->Unit(benchmark::kMillisecond);

void BM_OpenAnswerList(benchmark::State& state) {
    auto& p = phone();
    const auto model = answerPage();
    gfx::BitmapContext context(p.window->bounds().size, kScale);
    double total = 0;
    long rowsMade = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        auto page = core::make<kit::QUMainDetailController>(std::string("约会邀请"));
        page->view()->setFrame(p.window->bounds());
        p.window->addSubview(page->view());
        page->handleAnswerPage(model, true);
        page->refreshPageView();
        p.window->layoutIfNeeded();
        p.window->render(context);
        total += std::chrono::duration<double>(Clock::now() - t0).count();

        state.PauseTiming();
        rowsMade = static_cast<long>(page->tableview()->visibleCells().size());
        page->view()->removeFromSuperview();
        page.reset();
        dispatch::RunLoop::main().pump();
        state.ResumeTiming();
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["open_ms"] = mean * 1000;
    state.counters["share_of_16.7ms"] = mean / kFrameBudget;
    state.counters["share_of_100ms"] = mean / kTenthOfASecond;
    state.counters["cells_in_view"] = static_cast<double>(rowsMade);
    if (bareSeconds > 0) state.counters["ratio_to_bare_pango_cairo"] = mean / bareSeconds;
}
BENCHMARK(BM_OpenAnswerList)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
