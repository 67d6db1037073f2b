// Cold start of the app: from spawning a fresh process to the first frame of its window that shows
// the home screen's tag groups, against the sample service on loopback (the server switch, the
// tag-list request and the drawing included), beside a bare GTK window of the same size drawing
// its first frame, also in a fresh process. Each process reports its time and its resident memory
// at that frame; the counters give both ratios. Without a display an Xvfb server is started.
//
// The counters also give the mean timeline of a start, each stage in milliseconds after the spawn:
// main (libraries loaded and their constructors run), launched (didFinishLaunchingWithOptions:
// window, root controller and its pages, launch steps queued), host (GTK and the display set up),
// shown (the window mapped), groups (server switch and tag-list answers in, the groups made),
// then first_frame. The bare window passes main, host and shown. Set
// QUILLORA_BENCH_MEMORY_REPORT=<file> to have every measured process append where its resident
// memory lives at its first frame (see ProcessReport.h and docs/performance.md).
//
// The app is measured by this program re-run as `bench_app_start --child=app`; the bare window is
// its own small program linked against GTK alone (bench_bare_gtk_window), so its memory is not
// inflated by the app's libraries.

#include "app/AppDelegate.h"
#include "bench/ProcessReport.h"
#include "app/QUSwitchBaseController.h"
#include "app/SnapshotTour.h"
#include "network/NXServer.h"
#include "platform/core/ProcessInfo.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/GtkHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/testing/XvfbServer.h"
#include "service/SampleService.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {


int runAppChild() {
    bench::timeline().mark("main");
    const char* base = std::getenv("QUILLORA_BENCH_SWITCH_BASE");
    if (!base) return 1;
    network::NXServer::setSwitchBaseUrlForTesting(std::string(base));
    dispatch::RunLoop::setMainThread();
    auto delegate = core::make<app::AppDelegate>();
    delegate->didFinishLaunchingWithOptions();
    bench::timeline().mark("launched");
    auto host = ui::GtkHost::create(delegate->window, "Quillora");
    if (!host) return 1;
    bench::timeline().mark("host");
    (*host)->show();
    bench::timeline().mark("shown");
    auto root = std::dynamic_pointer_cast<app::QUSwitchBaseController>(delegate->window->rootViewController());
    auto& loop = dispatch::RunLoop::main();
    if (!loop.runUntil([&] { return app::countViews(root->mainController()->view(), "QUMainItemSeg") > 0; }, 30)) return 1;
    bench::timeline().mark("groups");
    const int draws = (*host)->drawCount();
    if (!loop.runUntil([&] { return (*host)->drawCount() > draws; }, 10)) return 1;
    bench::reportFirstFrame();
    _exit(0); // the measurement is taken; skip tearing the app down
}

std::string selfPath;

struct Sample {
    double seconds = 0;
    double residentMegabytes = 0;
    std::map<std::string, double> stages; // seconds after the spawn
};

// Spawns a measured process and reads its report.
bool measure(const std::string& program, const char* child, Sample& out) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string path = program;
    std::string arg = child ? std::string("--child=") + child : std::string();
    char* argv[] = {path.data(), child ? arg.data() : nullptr, nullptr};
    const double start = bench::monotonicNow();
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return false;
    }
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    double at = 0, rss = 0;
    int used = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "%lf %lf%n", &at, &rss, &used) != 2)
        return false;
    out = {at - start, rss, {}};
    std::istringstream stages(text.substr(static_cast<size_t>(used)));
    std::string word;
    while (stages >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos) out.stages[word.substr(0, eq)] = std::strtod(word.c_str() + eq + 1, nullptr) - start;
    }
    return true;
}

Sample bare; // the bare window's figures of this run

void runStarts(benchmark::State& state, const std::string& program, const char* child, Sample& total) {
    int count = 0;
    for (auto _ : state) {
        Sample s;
        if (!measure(program, child, s)) {
            state.SkipWithError("the measured process failed");
            return;
        }
        state.SetIterationTime(s.seconds);
        total.seconds += s.seconds;
        total.residentMegabytes += s.residentMegabytes;
        for (const auto& [name, at] : s.stages) total.stages[name] += at;
        ++count;
    }
    if (count == 0) return;
    total.seconds /= count;
    total.residentMegabytes /= count;
    for (auto& [name, at] : total.stages) {
        at /= count;
        state.counters[name + "_ms"] = at * 1000;
    }
    state.counters["first_frame_ms"] = total.seconds * 1000;
    state.counters["resident_MB"] = total.residentMegabytes;
}

void BM_BareGtkWindowFirstFrame(benchmark::State& state) { runStarts(state, QUILLORA_BARE_WINDOW_PROGRAM, nullptr, bare); }
BENCHMARK(BM_BareGtkWindowFirstFrame)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_AppColdStartToHomeGroups(benchmark::State& state) {
    Sample app;
    runStarts(state, selfPath, "app", app);
    if (bare.seconds > 0 && app.seconds > 0) {
        state.counters["time_ratio_to_bare"] = app.seconds / bare.seconds;
        state.counters["memory_ratio_to_bare"] = app.residentMegabytes / bare.residentMegabytes;
    }
}
BENCHMARK(BM_AppColdStartToHomeGroups)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--child=app") == 0) return runAppChild();

    selfPath = std::filesystem::read_symlink("/proc/self/exe").string();
    // The measured processes keep their settings and keychain in a folder of their own.
    char folder[] = "/tmp/quillora-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("HOME", folder, 1);
    setenv("XDG_CONFIG_HOME", (std::string(folder) + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (std::string(folder) + "/.local/share").c_str(), 1);
    setenv("QUILLORA_RESOURCES", QUILLORA_RESOURCES_DIR, 1);
    std::unique_ptr<ui::testing::XvfbServer> xvfb;
    if (!std::getenv("DISPLAY")) xvfb = std::make_unique<ui::testing::XvfbServer>();

    service::ServiceOptions options;
    options.port = 0;
    options.database = ":memory:";
    auto created = service::SampleService::create(options);
    if (!created) {
        std::fprintf(stderr, "bench_app_start: %s\n", created.error().description.c_str());
        return 1;
    }
    (*created)->start();
    setenv("QUILLORA_BENCH_SWITCH_BASE", ("http://127.0.0.1:" + std::to_string((*created)->port())).c_str(), 1);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
