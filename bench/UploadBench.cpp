// Large uploads through the HTTP layer against raw libcurl in the same run, both to one counting
// sink on loopback: a 256 MiB file (the layer's uploadFile against a CURLOPT_READFUNCTION
// upload), an 8 MiB multipart form in memory and a 64 MiB file sent as a multipart form through
// the layer's temporary file (both against a curl_mime POST). The file row also reports how much
// the resident set grew while sending; the multipart rows count the process's page faults per
// form.
#include "bench/ProcessReport.h"

#include "Libs/HTTPLayer/SessionManager.h"
#include "platform/core/Files.h"
#include "platform/core/LargeBytes.h"
#include "platform/dispatch/RunLoop.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// Reads each request's head and exactly its Content-Length of body, counts the body bytes and
// answers "ok"; nothing is kept.
class CountingSink {
public:
    CountingSink() {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listenFd_, 64);
        socklen_t length = sizeof address;
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        std::thread([this] {
            for (;;) {
                int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) return;
                std::thread([this, fd] { serve(fd); }).detach();
            }
        }).detach();
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::uint64_t received() const { return received_; }

private:
    void serve(int fd) {
        std::vector<char> buffer(1 << 20);
        std::string head;
        for (;;) {
            std::size_t headEnd;
            while ((headEnd = head.find("\r\n\r\n")) == std::string::npos) {
                ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
                if (n <= 0) return (void)::close(fd);
                head.append(buffer.data(), static_cast<std::size_t>(n));
            }
            std::uint64_t length = 0;
            std::string lower = head.substr(0, headEnd);
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (auto at = lower.find("content-length:"); at != std::string::npos) length = std::stoull(lower.substr(at + 15));
            std::uint64_t have = head.size() - headEnd - 4;
            std::uint64_t extra = have > length ? have - length : 0;
            std::string rest = head.substr(head.size() - extra);
            std::uint64_t left = length - std::min(have, length);
            while (left > 0) {
                ssize_t n = ::recv(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), left), 0);
                if (n <= 0) return (void)::close(fd);
                left -= static_cast<std::uint64_t>(n);
            }
            received_ += length;
            head = rest;
            static const char kReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
            if (::send(fd, kReply, sizeof kReply - 1, MSG_NOSIGNAL) < 0) return (void)::close(fd);
        }
    }

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<std::uint64_t> received_{0};
};

CountingSink& sink() {
    static auto* s = new CountingSink();
    return *s;
}

// The files to send, made once a run and removed when the program ends.
struct MadeFiles {
    std::vector<std::string> paths;
    ~MadeFiles() {
        std::error_code ignored;
        for (const auto& path : paths) std::filesystem::remove(path, ignored);
    }
};

std::string makeFile(std::size_t size) {
    static MadeFiles made;
    const std::string path = std::filesystem::temp_directory_path() / ("quillora-upload-bench-" + std::to_string(size));
    if (std::find(made.paths.begin(), made.paths.end(), path) != made.paths.end()) return path;
    made.paths.push_back(path);
    std::string chunk(1 << 20, 'b');
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (std::size_t written = 0; written < size; written += chunk.size()) {
        if (::write(fd, chunk.data(), std::min(chunk.size(), size - written)) < 0) break;
    }
    ::close(fd);
    return path;
}

// Page faults of the whole process so far (every thread's, the network thread's too).
long pageFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

void countFaults(benchmark::State& state, long before) {
    state.counters["faults"] =
        benchmark::Counter(static_cast<double>(pageFaults() - before), benchmark::Counter::kAvgIterations);
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

std::size_t readFile(char* buffer, std::size_t size, std::size_t count, void* user) {
    ssize_t n = ::read(*static_cast<int*>(user), buffer, size * count);
    return n < 0 ? CURL_READFUNC_ABORT : static_cast<std::size_t>(n);
}

// Like the URL session, without "Expect: 100-continue" (the sink never sends an interim answer).
curl_slist* noExpect() {
    static curl_slist* list = curl_slist_append(nullptr, "Expect:");
    return list;
}

CURL* rawHandle(const std::string& url) {
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, noExpect());
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    return easy;
}

std::shared_ptr<http::SessionManager> makeManager() {
    return http::SessionManager::create(net::URLSessionConfiguration::ephemeralConfiguration());
}

bool finish(const std::shared_ptr<http::UploadRequest>& upload) {
    bool done = false, ok = false;
    upload->response(nullptr, [&](const http::DefaultDataResponse& r) {
        ok = !r.error() && r.response() && r.response()->statusCode() == 200;
        done = true;
    });
    return dispatch::RunLoop::main().runUntil([&] { return done; }, 120) && ok;
}

// ---- a large file ----

void BM_RawCurlReadFunctionUpload(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string path = makeFile(size);
    CURL* easy = rawHandle(sink().url("/raw"));
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &readFile);
        curl_easy_setopt(easy, CURLOPT_READDATA, &fd);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
        if (curl_easy_perform(easy) != CURLE_OK) state.SkipWithError("upload failed");
        ::close(fd);
    }
    curl_easy_cleanup(easy);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_SessionManagerUploadFile(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string path = makeFile(size);
    auto manager = makeManager();
    const double before = bench::residentMegabytes();
    double peak = before;
    for (auto _ : state) {
        if (!finish(manager->uploadFile(net::URL::fileURL(path), sink().url("/file"), http::HTTPMethod::post)))
            state.SkipWithError("upload failed");
        peak = std::max(peak, bench::residentMegabytes());
    }
    state.counters["rss_growth_MiB"] = peak - before;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// ---- multipart forms ----

void BM_RawCurlMimePost(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const bool fromFile = state.range(1) != 0;
    const std::string path = makeFile(size);
    const std::string data(size, 'm');
    CURL* easy = rawHandle(sink().url("/mime"));
    const long faults = pageFaults();
    for (auto _ : state) {
        curl_mime* mime = curl_mime_init(easy);
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_name(part, "file");
        if (fromFile) curl_mime_filedata(part, path.c_str()); else curl_mime_data(part, data.data(), data.size());
        curl_mime_type(part, "application/octet-stream");
        curl_easy_setopt(easy, CURLOPT_MIMEPOST, mime);
        if (curl_easy_perform(easy) != CURLE_OK) state.SkipWithError("upload failed");
        curl_mime_free(mime);
    }
    countFaults(state, faults);
    curl_easy_cleanup(easy);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// libcurl copies the form's bytes (curl_mime_data) into a fresh buffer, which under the fixed
// threshold is a mapping of its own that faults in page by page.
void BM_RawCurlMimePostFixedThreshold(benchmark::State& state) {
    auto manager = makeManager();
    BM_RawCurlMimePost(state);
}

void BM_SessionManagerMultipart(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const bool fromFile = state.range(1) != 0;
    const std::string path = makeFile(size);
    const core::Bytes data(size, 'm');
    auto manager = makeManager();
    const long faults = pageFaults();
    for (auto _ : state) {
        std::optional<http::SessionManager::MultipartFormDataEncodingResult> result;
        manager->uploadMultipartFormData(
            [&](http::MultipartFormData& form) {
                if (fromFile) form.appendFile(net::URL::fileURL(path), "file", "file.bin", "application/octet-stream");
                else form.appendData(data, "file", "file.bin", "application/octet-stream");
            },
            fromFile ? 0 : http::SessionManager::multipartFormDataEncodingMemoryThreshold, sink().url("/multipart"),
            http::HTTPMethod::post, std::nullopt, [&](const auto& r) { result = r; });
        if (!dispatch::RunLoop::main().runUntil([&] { return result.has_value(); }, 120) || !result->isSuccess() ||
            !finish(result->request))
            state.SkipWithError("upload failed");
    }
    countFaults(state, faults);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// The memory road for a caller that gives its bytes up (appendData of an rvalue): its bytes are
// made before the timing, as a caller would have them; the raw row's curl_mime_data still copies.
void BM_SessionManagerMultipartGivenBytes(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const core::Bytes data(size, 'm');
    auto manager = makeManager();
    const long faults = pageFaults();
    for (auto _ : state) {
        state.PauseTiming();
        core::Bytes given = core::copyLarge(data, 4096);
        state.ResumeTiming();
        std::optional<http::SessionManager::MultipartFormDataEncodingResult> result;
        manager->uploadMultipartFormData(
            [&](http::MultipartFormData& form) { form.appendData(std::move(given), "file", "file.bin", "application/octet-stream"); },
            http::SessionManager::multipartFormDataEncodingMemoryThreshold, sink().url("/multipart"), http::HTTPMethod::post,
            std::nullopt, [&](const auto& r) { result = r; });
        if (!dispatch::RunLoop::main().runUntil([&] { return result.has_value(); }, 120) || !result->isSuccess() ||
            !finish(result->request))
            state.SkipWithError("upload failed");
    }
    countFaults(state, faults);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

constexpr std::int64_t kMiB = 1 << 20;

// Rows run in this order. The raw rows come before any session exists, so they run with glibc's
// adaptive mmap threshold, which a URL session then fixes for the rest of the process (see
// docs/hardening.md): the layer's rows pay for the fixed threshold, the raw ones do not.
BENCHMARK(BM_RawCurlReadFunctionUpload)->Arg(256 * kMiB)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawCurlMimePost)->Args({8 * kMiB, 0})->Args({64 * kMiB, 1})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionManagerUploadFile)->Arg(256 * kMiB)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionManagerMultipart)->Args({8 * kMiB, 0})->Args({64 * kMiB, 1})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionManagerMultipartGivenBytes)->Arg(8 * kMiB)->UseRealTime()->Unit(benchmark::kMillisecond);
// For comparison only: the raw POST of the 8 MiB form once a session has fixed the threshold.
BENCHMARK(BM_RawCurlMimePostFixedThreshold)->Args({8 * kMiB, 0})->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
