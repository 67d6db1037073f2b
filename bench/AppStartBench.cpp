// Cold start of the app: from spawning a fresh process to the first frame of its window that shows
// the home screen's tag groups, against the sample service on loopback (the server switch, the
// tag-list request and the drawing included), beside a bare GTK window of the same size drawing
// its first frame, also in a fresh process. Each process reports its time and its resident memory
// at that frame; the counters give both ratios, each app start compared with a bare start made just
// before it. Without a display an Xvfb server is started.
//
// The counters also give the mean timeline of a start, each stage in milliseconds after the spawn:
// main (libraries loaded and their constructors run), launched (didFinishLaunchingWithOptions:
// window, root controller and its pages, launch steps queued), host (GTK and the display set up),
// shown (the window mapped), groups (server switch and tag-list answers in, the groups made),
// then first_frame. The bare window passes main, host and shown. Set
// QUILLORA_BENCH_MEMORY_REPORT=<file> to have every measured process append where its resident
// memory lives at its first frame (see ProcessReport.h and docs/performance.md).
//
// The app is measured by bench_app_start_child, a program linked like the app's own (the app's
// libraries and the GTK host, not this program's sample service and benchmark library), which
// starts the app as the app's main does; the bare window is its own small program linked against
// GTK alone (bench_bare_gtk_window).

#include "bench/ProcessReport.h"
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

struct Sample {
    double seconds = 0;
    double residentMegabytes = 0;
    std::map<std::string, double> stages; // seconds after the spawn
};

// Spawns a measured process and reads its report.
bool measure(const std::string& program, Sample& out, const char* argument = nullptr) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string path = program;
    std::string arg = argument ? argument : "";
    char* argv[] = {path.data(), argument ? arg.data() : nullptr, nullptr};
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

// Adds one start to a running total.
void add(Sample& total, const Sample& s) {
    total.seconds += s.seconds;
    total.residentMegabytes += s.residentMegabytes;
    for (const auto& [name, at] : s.stages) total.stages[name] += at;
}

// Turns a total of `count` starts into their means and reports them.
void report(benchmark::State& state, Sample& total, int count) {
    total.seconds /= count;
    total.residentMegabytes /= count;
    for (auto& [name, at] : total.stages) {
        at /= count;
        state.counters[name + "_ms"] = at * 1000;
    }
    state.counters["first_frame_ms"] = total.seconds * 1000;
    state.counters["resident_MB"] = total.residentMegabytes;
}

constexpr int kStarts = 10;

void BM_BareGtkWindowFirstFrame(benchmark::State& state) {
    Sample total;
    int count = 0;
    for (auto _ : state) {
        Sample s;
        if (!measure(QUILLORA_BARE_WINDOW_PROGRAM, s)) return state.SkipWithError("the measured process failed");
        state.SetIterationTime(s.seconds);
        add(total, s);
        ++count;
    }
    if (count > 0) report(state, total, count);
}
BENCHMARK(BM_BareGtkWindowFirstFrame)->UseManualTime()->Iterations(kStarts)->Unit(benchmark::kMillisecond);

// Each start of the app is paired with starts of the bare window just before it (not timed as
// part of the iteration), so the ratios compare starts made under the same load of the machine:
// the bare window as GTK starts by default, and (the *_without_gl ratios) without GL, as the
// app's host starts GTK.
void BM_AppColdStartToHomeGroups(benchmark::State& state) {
    Sample app, pairedBare, pairedBareWithoutGL;
    int count = 0;
    for (auto _ : state) {
        Sample b, n, s;
        if (!measure(QUILLORA_BARE_WINDOW_PROGRAM, b) || !measure(QUILLORA_BARE_WINDOW_PROGRAM, n, "--without-gl") ||
            !measure(QUILLORA_APP_CHILD_PROGRAM, s))
            return state.SkipWithError("the measured process failed");
        state.SetIterationTime(s.seconds);
        add(app, s);
        add(pairedBare, b);
        add(pairedBareWithoutGL, n);
        ++count;
    }
    if (count == 0) return;
    report(state, app, count);
    state.counters["time_ratio_to_bare"] = app.seconds / (pairedBare.seconds / count);
    state.counters["memory_ratio_to_bare"] = app.residentMegabytes / (pairedBare.residentMegabytes / count);
    state.counters["time_ratio_to_bare_without_gl"] = app.seconds / (pairedBareWithoutGL.seconds / count);
    state.counters["memory_ratio_to_bare_without_gl"] =
        app.residentMegabytes / (pairedBareWithoutGL.residentMegabytes / count);
}
BENCHMARK(BM_AppColdStartToHomeGroups)->UseManualTime()->Iterations(kStarts)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
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
