// N small form POSTs on loopback with keep-alive: through the HTTP layer's session manager (JSON
// answer delivered on the main queue, as the app receives it), against raw libcurl multi sending
// the same requests (the same bytes on the wire) over at most as many connections. The ratio of the
// two rates is what counts.
//
// Each row also reports, per request, for the thread that drives libcurl (the calling thread for
// raw libcurl, the session's network thread otherwise): that thread is the bottleneck of every
// row, so the rates follow it.
//   cpu_us_per_request      its CPU time (user and system), in microseconds
//   driver_allocs           allocation calls it made
//   driver_allocs_freed_away  of the blocks it made, those freed on another thread
//   driver_frees_foreign    blocks made on another thread that it freed
//   allocs                  allocation calls of the whole process (loopback server included)
// and for the whole process whether the raw libcurl row ran in its slow mode:
//   raw_slow_mode           1 slow, 0 fast, -1 unknown (the raw row did not run first)
// The allocation counters come from bench/AllocationCounter.cpp, which replaces malloc and its
// family in this program (see there); cross-thread frees are what make glibc's arena locks
// contended. scripts/bench-http-median.sh runs the program as many processes and takes medians.
//
// Both sides hand libcurl at most as many transfers as there are connections and add the next one
// as one ends, and both keep room for those connections in libcurl's cache. A transfer that
// libcurl itself holds back for want of a connection is sometimes not resumed when one comes free
// and then waits for the next poll time-out (about a second), which would swamp either figure.

#include "Libs/HTTPLayer/SessionManager.h"

#include "bench/AllocationCounter.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/testing/LoopbackServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

constexpr long kConnectionsPerHost = 6; // the session configuration's default
constexpr const char* kNetworkThread = "url-session"; // the name the URL session gives its thread

pid_t callingThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

std::string threadFile(pid_t tid, const char* name) {
    std::string line;
    std::getline(std::ifstream("/proc/self/task/" + std::to_string(tid) + "/" + name), line);
    return line;
}

// This process's threads called `name`.
std::vector<pid_t> threadsNamed(const std::string& name) {
    std::vector<pid_t> found;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return found;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const auto tid = static_cast<pid_t>(std::stol(entry->d_name));
        if (threadFile(tid, "comm") == name) found.push_back(tid);
    }
    closedir(tasks);
    return found;
}

// CPU seconds (user and system) a thread of this process has used so far. The clock is the
// kernel's per-thread CPU clock, the one pthread_getcpuclockid() names, made from the thread id.
double threadCpuSeconds(pid_t tid) {
    const auto clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6); // per thread, scheduler time
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0) return 0; // the thread has ended
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Whether raw libcurl ran in its slow mode in this process: 1 or 0, -1 before it has run.
int rawSlowMode = -1;

// Raw libcurl's CPU per request falls in one of two bands that a process keeps from start to end
// (on the 8-core VM this was measured on: 33.5-38 µs or 42-50 µs, never between in a quiet run;
// which band a process gets does not follow the build). A run in the upper band is slow mode; the
// line lies in the gap and can be moved for another machine with QUILLORA_RAW_SLOW_MODE_US.
// Under the load of other programs both bands widen and the flag means less.
bool isSlowMode(double rawCpuUsPerRequest) {
    const char* line = std::getenv("QUILLORA_RAW_SLOW_MODE_US");
    return rawCpuUsPerRequest > (line && *line ? std::atof(line) : 40.0);
}

// Measures one row's thread that drives libcurl from construction to report(): its CPU time and
// the allocations (see the counters at the top of this file). The network thread may start with
// the first request, so it is looked up by name at both ends.
class DriverProbe {
public:
    explicit DriverProbe(bool callingThreadDrives)
        : calling_(callingThreadDrives), allocationsBefore_(bench::allocations::snapshot()) {
        for (pid_t tid : driverThreads()) cpuBefore_[tid] = threadCpuSeconds(tid);
    }

    // Returns the driver's CPU microseconds per request.
    double report(benchmark::State& state, int count) {
        const auto drivers = driverThreads();
        double cpu = 0;
        for (pid_t tid : drivers) {
            const auto before = cpuBefore_.find(tid);
            cpu += threadCpuSeconds(tid) - (before != cpuBefore_.end() ? before->second : 0);
        }
        const auto after = bench::allocations::snapshot();
        const auto isDriver = [&](std::size_t slot) { return std::count(drivers.begin(), drivers.end(), after[slot].tid) > 0; };
        const bench::allocations::ThreadCounts none; // for a thread that first allocated during the run
        double all = 0, driver = 0, freedAway = 0, foreign = 0;
        for (std::size_t s = 0; s < after.size(); ++s) {
            const auto& before = s < allocationsBefore_.size() ? allocationsBefore_[s] : none;
            const auto made = static_cast<double>(after[s].allocations - before.allocations);
            all += made;
            if (isDriver(s)) driver += made;
            for (std::size_t from = 0; from < after.size(); ++from) {
                if (isDriver(s) == isDriver(from)) continue;
                const std::uint64_t freedBefore = from < before.freedFrom.size() ? before.freedFrom[from] : 0;
                (isDriver(s) ? foreign : freedAway) += static_cast<double>(after[s].freedFrom[from] - freedBefore);
            }
        }
        const double requests = static_cast<double>(state.iterations() * count);
        const double cpuPerRequest = 1e6 * cpu / requests;
        state.counters["cpu_us_per_request"] = cpuPerRequest;
        if (bench::allocations::active()) {
            state.counters["allocs"] = all / requests;
            state.counters["driver_allocs"] = driver / requests;
            state.counters["driver_allocs_freed_away"] = freedAway / requests;
            state.counters["driver_frees_foreign"] = foreign / requests;
        }
        return cpuPerRequest;
    }

private:
    std::vector<pid_t> driverThreads() const { return calling_ ? std::vector<pid_t>{callingThreadId()} : threadsNamed(kNetworkThread); }

    const bool calling_;
    const std::vector<bench::allocations::ThreadCounts> allocationsBefore_;
    std::map<pid_t, double> cpuBefore_; // a driver that ended before the report no longer counts
};

LoopbackServer& server() {
    static LoopbackServer* s = new LoopbackServer([](const RecordedRequest&) { return Reply::json(R"({"status":1,"data":{}})"); });
    return *s;
}

void BM_RawCurlMulti(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const std::string url = server().url("/index.php/AppApi/Index/index_tag_list");
    const std::string body = "pages=1&random_time=1700000000&sign=0123456789abcdef0123456789abcdef";
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, kConnectionsPerHost);
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 4 * kConnectionsPerHost);
    // The same request bytes as the session manager sends: its default header fields (libcurl
    // writes Accept-Encoding itself and adds "Accept: */*" as the session does), the form's type.
    curl_slist* headers = nullptr;
    for (const auto& [name, value] : http::SessionManager::defaultHTTPHeaders()) {
        if (name != "Accept-Encoding") headers = curl_slist_append(headers, (name + ": " + value).c_str());
    }
    headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded; charset=utf-8");
    headers = curl_slist_append(headers, "Expect:");
    auto sink = +[](char*, std::size_t size, std::size_t n, void* out) {
        static_cast<std::string*>(out)->append(size * n, ' ');
        return size * n;
    };
    std::vector<std::string> bodies(static_cast<std::size_t>(count));
    DriverProbe probe(true);
    for (auto _ : state) {
        int added = 0;
        const auto add = [&] {
            CURL* easy = curl_easy_init();
            bodies[static_cast<std::size_t>(added)].clear();
            curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.c_str());
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
            curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "gzip;q=1.0, compress;q=0.5");
            // As every threaded program must, and as the session does: without it libcurl saves and
            // restores the SIGPIPE handler around each call, about nine system calls per request.
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, sink);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bodies[static_cast<std::size_t>(added)]);
            curl_multi_add_handle(multi, easy);
            ++added;
        };
        while (added < count && added < kConnectionsPerHost) add();
        int done = 0;
        while (done < count) {
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg != CURLMSG_DONE) continue;
                CURL* easy = msg->easy_handle;
                curl_multi_remove_handle(multi, easy);
                curl_easy_cleanup(easy);
                ++done;
                if (added < count) add();
            }
            if (done < count) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }
    rawSlowMode = isSlowMode(probe.report(state, count)) ? 1 : 0;
    state.counters["raw_slow_mode"] = rawSlowMode;
    curl_slist_free_all(headers);
    curl_multi_cleanup(multi);
    state.SetItemsProcessed(state.iterations() * count);
}

// The platform's URL session alone, with a delegate that only counts completions: shows how much
// of the gap to raw libcurl lies below the HTTP layer.
class CountingDelegate : public net::URLSessionDelegate {
public:
    std::atomic<int> completed{0};
    int expected = 0;
    bool respondsTo(Callback c) const override { return c == Callback::taskDidComplete; }
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& error) override {
        // The last completion wakes the main loop, as a handler posted to the main queue would.
        if (!error && ++completed == expected) dispatch::RunLoop::main().wake();
    }
};

void BM_URLSessionOnly(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    auto delegate = std::make_shared<CountingDelegate>();
    delegate->expected = count;
    auto session = net::URLSession::create(net::URLSessionConfiguration::ephemeralConfiguration(), delegate);
    net::URLRequest request(net::URL::parse(server().url("/index.php/AppApi/Index/index_tag_list")));
    request.httpMethod = "POST";
    std::string body = "pages=1&random_time=1700000000&sign=0123456789abcdef0123456789abcdef";
    request.httpBody = core::Bytes(body.begin(), body.end());
    request.setValue("application/x-www-form-urlencoded; charset=utf-8", "Content-Type");
    auto& loop = dispatch::RunLoop::main();
    DriverProbe probe(false);
    for (auto _ : state) {
        delegate->completed = 0;
        for (int i = 0; i < count; ++i) session->dataTask(request)->resume();
        if (!loop.runUntil([&] { return delegate->completed == count; }, 30)) state.SkipWithError("requests did not all succeed");
    }
    probe.report(state, count);
    state.counters["raw_slow_mode"] = rawSlowMode;
    session->invalidateAndCancel();
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_SessionManagerPostJSON(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const std::string url = server().url("/index.php/AppApi/Index/index_tag_list");
    auto configuration = net::URLSessionConfiguration::ephemeralConfiguration();
    configuration.httpAdditionalHeaders = http::SessionManager::defaultHTTPHeaders();
    auto manager = http::SessionManager::create(configuration);
    const http::Parameters parameters{{"pages", 1}, {"random_time", 1700000000}, {"sign", "0123456789abcdef0123456789abcdef"}};
    auto& loop = dispatch::RunLoop::main();
    DriverProbe probe(false);
    for (auto _ : state) {
        int done = 0;
        for (int i = 0; i < count; ++i) {
            manager->request(url, http::HTTPMethod::post, parameters)->responseJSON([&done](const http::DataResponse<core::Value>& r) {
                if (r.result().isSuccess()) ++done;
            });
        }
        if (!loop.runUntil([&] { return done == count; }, 30)) state.SkipWithError("requests did not all succeed");
    }
    probe.report(state, count);
    state.counters["raw_slow_mode"] = rawSlowMode;
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_RawCurlMulti)->Arg(64)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_URLSessionOnly)->Arg(64)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionManagerPostJSON)->Arg(64)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

// The process ends without running exit-time clean-ups once the figures are out: OpenSSL's
// clean-up at exit sometimes frees a block a second time (seen only with the counting allocator,
// which makes a double free fatal), and a benchmark has nothing to tidy up.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fflush(nullptr);
    std::_Exit(0);
}
