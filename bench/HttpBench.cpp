// N small form POSTs on loopback with keep-alive: through the HTTP layer's session manager (JSON
// answer delivered on the main queue, as the app receives it), against raw libcurl multi sending
// the same requests (the same bytes on the wire) over at most as many connections. The ratio of the
// two rates is what counts.
//
// Each row also reports the CPU time per request of the thread that drives libcurl (the calling
// thread for raw libcurl, the session's network thread otherwise): that thread is the bottleneck
// of every row, so the rates follow it.
//
// Both sides hand libcurl at most as many transfers as there are connections and add the next one
// as one ends, and both keep room for those connections in libcurl's cache. A transfer that
// libcurl itself holds back for want of a connection is sometimes not resumed when one comes free
// and then waits for the next poll time-out (about a second), which would swamp either figure.

#include "Libs/HTTPLayer/SessionManager.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/net/testing/LoopbackServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

constexpr long kConnectionsPerHost = 6; // the session configuration's default
constexpr const char* kNetworkThread = "url-session"; // the name the URL session gives its thread

// CPU seconds used so far by the calling thread.
double callingThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// CPU seconds (user and system) used so far by this process's threads called `name`.
double namedThreadsCpuSeconds(const std::string& name) {
    double ticks = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(base + "/comm"), comm);
        if (comm != name) continue;
        std::string stat;
        std::getline(std::ifstream(base + "/stat"), stat);
        // After the parenthesised name: state is field 3, utime and stime are fields 14 and 15.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i >= 14) ticks += std::stod(field);
        }
    }
    closedir(tasks);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void reportCpuPerRequest(benchmark::State& state, double cpuSeconds, int count) {
    state.counters["cpu_us_per_request"] = 1e6 * cpuSeconds / static_cast<double>(state.iterations() * count);
}

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
    const double cpuBefore = callingThreadCpuSeconds();
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
    reportCpuPerRequest(state, callingThreadCpuSeconds() - cpuBefore, count);
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
    const double cpuBefore = namedThreadsCpuSeconds(kNetworkThread);
    for (auto _ : state) {
        delegate->completed = 0;
        for (int i = 0; i < count; ++i) session->dataTask(request)->resume();
        if (!loop.runUntil([&] { return delegate->completed == count; }, 30)) state.SkipWithError("requests did not all succeed");
    }
    reportCpuPerRequest(state, namedThreadsCpuSeconds(kNetworkThread) - cpuBefore, count);
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
    const double cpuBefore = namedThreadsCpuSeconds(kNetworkThread);
    for (auto _ : state) {
        int done = 0;
        for (int i = 0; i < count; ++i) {
            manager->request(url, http::HTTPMethod::post, parameters)->responseJSON([&done](const http::DataResponse<core::Value>& r) {
                if (r.result().isSuccess()) ++done;
            });
        }
        if (!loop.runUntil([&] { return done == count; }, 30)) state.SkipWithError("requests did not all succeed");
    }
    reportCpuPerRequest(state, namedThreadsCpuSeconds(kNetworkThread) - cpuBefore, count);
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_RawCurlMulti)->Arg(64)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_URLSessionOnly)->Arg(64)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionManagerPostJSON)->Arg(64)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
