// The main thread's time to handle one successful answer of 50 answers, as the client does it:
// the "active_pas" setting updated, the answer's data mapped into QUAnswerListModel, and the open
// answer list refreshed (its rows measured and laid out in a phone window). The same work without
// the settings update runs in the same run, and the ratio between the two is the cost the setting
// adds. The stored value changes on every answer, so every answer hands the settings store a write
// (the store's own thread does it, with its file and folder flushes); an unchanged value writes
// nothing at all. The run keeps its settings in a temporary HOME. main_thread_writes counts the
// settings writes that ran on the main thread (there should be none).

#include "Modules/Main/QUMainDetailController.h"
#include "network/NXUserDefault.h"
#include "network/ServerModels.h"
#include "platform/core/Json.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/UserDefaults.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

std::string answerJson() {
    std::string json = R"({"status":1,"message":"ok","errcode":0,"rbac_status":"1","data":{"count":"312","now_page":1,"list":[)";
    for (int i = 0; i < 50; ++i) {
        if (i) json += ',';
        json += R"({"title":"第)" + std::to_string(i) +
                R"(个问题：她说今天好累，我该怎么回复才显得贴心？","content":"辛苦啦，先好好休息一下，)"
                R"(晚点我给你讲个笑话，保证你笑着睡着。如果你愿意，也可以跟我说说今天发生了什么，我一直都在。"})";
    }
    json += "]}}";
    return json;
}

// A phone window with the answer list open, on a virtual clock, for the whole run.
struct Fixture {
    Fixture() {
        char folder[] = "/tmp/quillora-bench-answer-XXXXXX";
        if (::mkdtemp(folder)) home = folder;
        ::setenv("HOME", home.c_str(), 1);
        for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) ::unsetenv(v);
        dispatch::RunLoop::setMainThread();
        dispatch::Clock::setCurrent(clock);
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        const auto resources = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "resources";
        core::Bundle::setResourcePathForTesting(resources.string());
        window = core::make<ui::Window>();
        window->makeKeyAndVisible();
        page = core::make<kit::QUMainDetailController>(std::string("约会邀请"));
        page->view()->setFrame(window->bounds());
        window->addSubview(page->view());
        answer = *core::json::read(answerJson(), core::json::AllowFragments);
    }
    ~Fixture() {
        core::UserDefaults::resetStandardForTesting(); // waits for the last write
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
    std::string home;
    std::shared_ptr<dispatch::VirtualClock> clock = std::make_shared<dispatch::VirtualClock>();
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<kit::QUMainDetailController> page;
    core::Value answer;
};

Fixture& fixture() {
    static Fixture* shared = new Fixture;
    return *shared;
}

double withoutSettingsSeconds = 0; // per answer, from the first benchmark of this run

double handleAnswers(benchmark::State& state, bool updateSettings) {
    auto& f = fixture();
    const core::Dictionary& answer = *f.answer.dictionary();
    double total = 0;
    long n = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (updateSettings) {
            // rbac_status as the service sends it, alternating so that the value always changes.
            network::NXUserDefault::shared().setValue(core::Value(n % 2 ? "1" : "2"), "active_pas");
        }
        auto model = core::make<network::QUAnswerListModel>();
        model->reloadModel(std::optional<core::Value>(*answer.find("data")));
        f.page->handleAnswerPage(model, true);
        f.page->refreshPageView();
        f.window->layoutIfNeeded();
        total += std::chrono::duration<double>(Clock::now() - t0).count();
        ++n;

        state.PauseTiming();
        dispatch::RunLoop::main().pump();
        state.ResumeTiming();
    }
    const double mean = total / static_cast<double>(n);
    state.counters["answer_ms"] = mean * 1000;
    state.counters["main_thread_writes"] = core::UserDefaults::mainThreadWritesForTesting();
    return mean;
}

void BM_HandleAnswerWithoutSettingsUpdate(benchmark::State& state) { withoutSettingsSeconds = handleAnswers(state, false); }
BENCHMARK(BM_HandleAnswerWithoutSettingsUpdate)->Unit(benchmark::kMillisecond);

void BM_HandleAnswerWithSettingsUpdate(benchmark::State& state) {
    const double mean = handleAnswers(state, true);
    if (withoutSettingsSeconds > 0) state.counters["ratio_to_without_settings"] = mean / withoutSettingsSeconds;
}
BENCHMARK(BM_HandleAnswerWithSettingsUpdate)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete &fixture(); // the settings' last write is waited for and the temporary HOME removed
    return 0;
}
