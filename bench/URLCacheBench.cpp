// The URL cache's hits against the bare work underneath, in the same run:
//   BM_MemoryHit / BM_BareMapLookup   a fresh entry from memory, against a mutex-guarded map
//                                     lookup plus a copy of the same bytes (goal: at most 1.5x)
//   BM_DiskHit / BM_BareFileRead      an entry from its file, against open + read of that file
//                                     (goal: at most 1.3x)
//   BM_SessionCacheHit / BM_SessionLoopback
//                                     a data task the cache answers, against the same request
//                                     answered over loopback (the ratio is reported, no goal)
// The body is 64 KiB, about a small picture.

#include "platform/core/Paths.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/LoopbackServer.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

constexpr std::size_t kBodySize = 64 * 1024;
const std::string kURL = "http://pictures.example/p/42.png";

std::string body() {
    std::string bytes(kBodySize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    return bytes;
}

std::shared_ptr<const net::CachedURLResponse> cachedBody(const std::string& url) {
    auto cached = std::make_shared<net::CachedURLResponse>();
    cached->response = std::make_shared<net::HTTPURLResponse>(
        *net::URL::parse(url), 200, "HTTP/1.1",
        net::HTTPHeaders{{"Content-Type", "image/png"}, {"Cache-Control", "max-age=3600"}, {"ETag", "\"42\""}});
    const std::string bytes = body();
    cached->data.assign(bytes.begin(), bytes.end());
    return cached;
}

// A folder of the benchmark's own, removed at the end.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char name[] = "/tmp/bench-url-cache-XXXXXX";
        path = ::mkdtemp(name);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
};

void BM_MemoryHit(benchmark::State& state) {
    auto cache = net::URLCache::create(16 << 20, 0);
    const net::URLRequest request(net::URL::parse(kURL));
    cache->storeCachedResponse(cachedBody(kURL), request);
    for (auto _ : state) {
        auto hit = cache->cachedResponse(request);
        benchmark::DoNotOptimize(hit->data.data());
    }
}
BENCHMARK(BM_MemoryHit);

void BM_BareMapLookup(benchmark::State& state) {
    std::mutex mutex;
    std::unordered_map<std::string, std::vector<std::uint8_t>> map;
    const std::string bytes = body();
    map[kURL].assign(bytes.begin(), bytes.end());
    const auto url = net::URL::parse(kURL);
    for (auto _ : state) {
        std::vector<std::uint8_t> copy;
        {
            std::lock_guard lock(mutex);
            copy = map.find(url->absoluteString())->second;
        }
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_BareMapLookup);

void BM_DiskHit(benchmark::State& state) {
    ScratchFolder folder;
    auto cache = net::URLCache::create(0, 64 << 20, folder.path);
    const net::URLRequest request(net::URL::parse(kURL));
    cache->storeCachedResponse(cachedBody(kURL), request);
    cache->waitForQueuedFileWork();
    for (auto _ : state) {
        auto hit = cache->cachedResponse(request);
        benchmark::DoNotOptimize(hit->data.data());
    }
    cache->waitForQueuedFileWork();
}
BENCHMARK(BM_DiskHit);

void BM_BareFileRead(benchmark::State& state) {
    ScratchFolder folder;
    const std::string path = folder.path + "/entry";
    {
        const std::string bytes = body();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) state.SkipWithError("write");
        ::close(fd);
    }
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        ::fstat(fd, &info);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
        if (::read(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) state.SkipWithError("read");
        ::close(fd);
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_BareFileRead);

// Counts completions; the benchmark waits for each.
class Completions : public net::URLSessionDelegate {
public:
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& error) override {
        {
            std::lock_guard lock(mutex_);
            ++done_;
            failed_ = failed_ || error.has_value();
        }
        changed_.notify_all();
    }
    bool waitFor(std::uint64_t n) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done_ >= n; });
        return !failed_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t done_ = 0;
    bool failed_ = false;
};

void sessionRun(benchmark::State& state, net::CachePolicy policy) {
    const std::string bytes = body();
    LoopbackServer server([&](const RecordedRequest&) {
        Reply reply = Reply::text(200, bytes, "image/png");
        reply.headers.push_back({"Cache-Control", "max-age=3600"});
        return reply;
    });
    auto configuration = net::URLSessionConfiguration::ephemeralConfiguration();
    configuration.urlCache = net::URLCache::create(16 << 20, 0);
    auto completions = std::make_shared<Completions>();
    auto session = net::URLSession::create(configuration, completions);
    const net::URLRequest request(net::URL::parse(server.url("/p.png")), policy);
    std::uint64_t n = 0;
    // The first answer fills the cache.
    session->dataTask(net::URLRequest(net::URL::parse(server.url("/p.png"))))->resume();
    completions->waitFor(++n);
    for (auto _ : state) {
        session->dataTask(request)->resume();
        if (!completions->waitFor(++n)) state.SkipWithError("a request failed");
    }
    state.counters["server_requests"] = static_cast<double>(server.requestCount());
    session->invalidateAndCancel();
}

void BM_SessionCacheHit(benchmark::State& state) { sessionRun(state, net::CachePolicy::useProtocolCachePolicy); }
BENCHMARK(BM_SessionCacheHit)->UseRealTime();

void BM_SessionLoopback(benchmark::State& state) { sessionRun(state, net::CachePolicy::reloadIgnoringLocalCacheData); }
BENCHMARK(BM_SessionLoopback)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
