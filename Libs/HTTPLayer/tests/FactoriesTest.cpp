// Download, upload, stream and multipart requests of the session manager over loopback HTTP.
#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/tests/HTTPTestSupport.h"

#include "platform/core/Files.h"
#include "platform/core/Paths.h"
#include "platform/core/testing/TempHome.h"
#include "platform/net/testing/EchoServer.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace http;
using namespace http::testkit;
using EncodingResult = SessionManager::MultipartFormDataEncodingResult;

namespace {

core::Bytes bytes(std::string_view s) { return core::Bytes(s.begin(), s.end()); }

// A temporary folder of the test's own for multipart body files ($TMPDIR while it lives).
struct FactoriesFixture : ManagerFixture {
    core::testkit::TempHome home;
    std::string oldTmp;
    void SetUp() override {
        ManagerFixture::SetUp();
        if (const char* t = std::getenv("TMPDIR")) oldTmp = t;
        ::setenv("TMPDIR", home.path().c_str(), 1);
    }
    void TearDown() override {
        if (oldTmp.empty()) ::unsetenv("TMPDIR"); else ::setenv("TMPDIR", oldTmp.c_str(), 1);
        ManagerFixture::TearDown();
    }
    std::string file(const std::string& name, std::string_view content) {
        std::string path = home.path() + "/" + name;
        EXPECT_TRUE(core::files::writeAtomically(path, content));
        return path;
    }
    DefaultDataResponse finish(const std::shared_ptr<UploadRequest>& upload) {
        std::optional<DefaultDataResponse> answer;
        upload->response(nullptr, [&](const DefaultDataResponse& r) { answer = r; });
        return await(answer);
    }
};

} // namespace

TEST_F(FactoriesFixture, UploadsOfDataFilesAndStreamsArriveByteExact) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    const std::string content(100000, 'u');
    const std::string path = file("body.bin", content);
    auto producer = core::ProducerStream::create();
    producer->write(content);
    producer->finish();
    struct Row {
        const char* what;
        std::shared_ptr<UploadRequest> upload;
        bool chunked;
    };
    const std::vector<Row> rows = {
        {"data", manager->uploadData(bytes(content), server.url("/d"), HTTPMethod::post), false},
        {"file", manager->uploadFile(net::URL::fileURL(path), server.url("/f"), HTTPMethod::put, HTTPHeaders{{"X-K", "v"}}), false},
        {"stream", manager->uploadStream(producer, server.url("/s"), HTTPMethod::post), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto answer = finish(row.upload);
        EXPECT_FALSE(answer.error());
        EXPECT_EQ(answer.response()->statusCode(), 200);
    }
    std::map<std::string, RecordedRequest> byTarget;
    for (const auto& r : server.requests()) byTarget[r.target] = r;
    ASSERT_EQ(byTarget.size(), 3u);
    for (const auto& [target, r] : byTarget) EXPECT_TRUE(r.body == content) << target;
    EXPECT_EQ(byTarget["/f"].method, "PUT");
    EXPECT_EQ(byTarget["/f"].headers.value("X-K"), "v");
    EXPECT_EQ(byTarget["/s"].headers.value("Transfer-Encoding"), "chunked");
    // The stream factory answers every body question with its stream.
    auto taskDelegate = rows[2].upload->delegate();
    ASSERT_TRUE(taskDelegate->taskNeedNewBodyStream);
    EXPECT_EQ(taskDelegate->taskNeedNewBodyStream(nullptr, nullptr), producer);
}

TEST_F(FactoriesFixture, AURLThatDoesNotConvertMakesARequestWithoutATask) {
    const std::vector<std::shared_ptr<Request>> requests = {
        manager->uploadFile(net::URL::fileURL("/tmp/x"), "not a url", HTTPMethod::post),
        manager->uploadData(bytes("x"), "not a url", HTTPMethod::post),
        manager->uploadStream(core::InputStream::withBytes(bytes("x")), "not a url", HTTPMethod::post),
        manager->download("not a url", HTTPMethod::get),
    };
    for (const auto& r : requests) {
        EXPECT_FALSE(r->task());
        ASSERT_TRUE(r->delegate()->error);
        EXPECT_EQ(r->delegate()->error->description(), "URL is not valid: not a url");
    }
}

TEST_F(FactoriesFixture, ADownloadGoesToTheDestinationItsClosureChooses) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "downloaded body"); });
    const std::string destination = home.path() + "/made/here/file.txt";
    std::optional<DefaultDownloadResponse> answer;
    manager
        ->download(server.url("/file"), HTTPMethod::get, std::nullopt, URLEncoding::default_(), std::nullopt,
                   [&](const net::URL&, const net::HTTPURLResponse&) {
                       return std::make_pair(net::URL::fileURL(destination), DownloadOptions(DownloadOptions::createParentDirectories));
                   })
        ->response(nullptr, [&](const DefaultDownloadResponse& r) { answer = r; });
    const auto& r = await(answer);
    EXPECT_FALSE(r.error());
    EXPECT_EQ(r.destinationURL(), net::URL::fileURL(destination));
    EXPECT_EQ(text(core::files::read(destination).ok() ? std::optional(*core::files::read(destination)) : std::nullopt),
              "downloaded body");
}

TEST_F(FactoriesFixture, ADownloadCutOffKeepsResumeDataAndGoesOnFromIt) {
    std::string content(300000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 23);
    LoopbackServer server([&](const RecordedRequest& r) {
        if (auto range = r.headers.value("Range")) {
            const std::size_t from = std::stoul(range->substr(6));
            Reply rest = Reply::text(206, content.substr(from), "application/octet-stream");
            rest.headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(content.size() - 1) + "/" +
                                                           std::to_string(content.size()));
            return rest;
        }
        Reply cut = Reply::text(200, content, "application/octet-stream");
        cut.headers.emplace_back("ETag", "\"whole\"");
        cut.mode = Reply::Mode::truncateBody;
        return cut;
    });
    const std::string destination = home.path() + "/resumed.bin";
    auto to = [&](const net::URL&, const net::HTTPURLResponse&) {
        return std::make_pair(net::URL::fileURL(destination), DownloadOptions(DownloadOptions::replaceExistingFile));
    };
    std::optional<DefaultDownloadResponse> failed;
    auto first = manager->download(server.url("/cut"), HTTPMethod::get, std::nullopt, URLEncoding::default_(), std::nullopt, to);
    first->response(nullptr, [&](const DefaultDownloadResponse& r) { failed = r; });
    ASSERT_TRUE(await(failed).error());
    ASSERT_TRUE(failed->resumeData());
    EXPECT_EQ(first->resumeData(), failed->resumeData());

    std::optional<DefaultDownloadResponse> resumed;
    manager->download(*failed->resumeData(), to)->response(nullptr, [&](const DefaultDownloadResponse& r) { resumed = r; });
    EXPECT_FALSE(await(resumed).error());
    EXPECT_EQ(server.requests().back().headers.value("Range"), "bytes=" + std::to_string(content.size() / 2) + "-");
    auto stored = core::files::read(destination);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(std::string(stored->begin(), stored->end()) == content);
}

// Which road a form takes: in memory below the threshold on a session without an identifier,
// else through a file that is removed once the upload is done.
TEST_F(FactoriesFixture, MultipartFormsTakeTheMemoryOrTheFileRoad) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    struct Row {
        const char* what;
        std::uint64_t threshold;
        bool empty;
        bool background;
        bool fromDisk;
    };
    const std::vector<Row> rows = {
        {"threshold - 1", 6, false, false, false}, // declared length 5

        {"equal", 5, false, false, true},
        {"zero", 0, false, false, true},
        {"empty form", 1, true, false, false},
        {"background session", 1000, false, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto owner = manager;
        if (row.background) {
            auto configuration = net::URLSessionConfiguration::ephemeralConfiguration();
            configuration.identifier = "org.quillora.background";
            owner = SessionManager::create(std::move(configuration));
        }
        std::optional<EncodingResult> result;
        bool onMain = false;
        owner->uploadMultipartFormData(
            [&](MultipartFormData& form) {
                if (!row.empty) form.appendData(bytes("hello"), "greeting");
            },
            row.threshold, server.url("/multipart"), HTTPMethod::post, HTTPHeaders{{"Content-Type", "text/plain"}},
            [&](const EncodingResult& r) {
                onMain = dispatch::RunLoop::isMainThread();
                result = r;
            });
        const auto& r = await(result);
        EXPECT_TRUE(onMain);
        ASSERT_TRUE(r.isSuccess());
        EXPECT_EQ(r.streamingFromDisk, row.fromDisk);
        EXPECT_EQ(r.streamFileURL.has_value(), row.fromDisk);
        auto answer = finish(r.request);
        EXPECT_FALSE(answer.error());
        auto seen = server.requests().back();
        EXPECT_EQ(seen.headers.value("Content-Type").value_or("").rfind("multipart/form-data; boundary=httplayer.boundary.", 0), 0u);
        EXPECT_EQ(seen.body.find("hello") != std::string::npos, !row.empty);
        if (row.fromDisk) {
            // Removed after the task completed (on the task delegate's queue, which the handler also ran on).
            EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return !core::files::exists(r.streamFileURL->path()); }, 20));
            EXPECT_EQ(r.streamFileURL->path().rfind(SessionManager::multipartTemporaryFolder() + "/", 0), 0u);
            struct stat info{};
            ASSERT_EQ(::lstat(SessionManager::multipartTemporaryFolder().c_str(), &info), 0);
            EXPECT_TRUE(S_ISDIR(info.st_mode));
            EXPECT_EQ(info.st_mode & 0777, 0700u);
        }
    }
}

// A temporary directory that does not exist yet is made, with its missing parents, before the
// body file goes into it; a regular file where it should be fails the encoding instead.
TEST_F(FactoriesFixture, TheFileRoadMakesAMissingTemporaryDirectory) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    ASSERT_TRUE(core::files::writeAtomically(home.path() + "/plain", std::string_view("x")));
    struct Row {
        const char* what;
        std::string tmp;
        bool succeeds;
    };
    const std::vector<Row> rows = {
        {"missing parents", home.path() + "/not/yet/made", true},
        {"regular file in the way", home.path() + "/plain/tmp", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ::setenv("TMPDIR", row.tmp.c_str(), 1);
        std::optional<EncodingResult> result;
        manager->uploadMultipartFormData([](MultipartFormData& f) { f.appendData(bytes("hello"), "x"); }, 0,
                                         server.url("/up"), HTTPMethod::post, std::nullopt,
                                         [&](const EncodingResult& r) { result = r; });
        const auto& r = await(result);
        ASSERT_EQ(r.isSuccess(), row.succeeds);
        if (!row.succeeds) {
            EXPECT_FALSE(r.request);
            continue;
        }
        EXPECT_FALSE(finish(r.request).error());
        struct stat info{};
        ASSERT_EQ(::lstat(SessionManager::multipartTemporaryFolder().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        ASSERT_EQ(::lstat(row.tmp.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    ::setenv("TMPDIR", home.path().c_str(), 1);
}

TEST_F(FactoriesFixture, AMultipartFailureReachesTheCallerWithoutARequest) {
    const std::string folder = SessionManager::multipartTemporaryFolder();
    ASSERT_TRUE(core::files::createDirectories(folder.substr(0, folder.rfind('/')), 0700));
    const std::string elsewhere = home.path() + "/elsewhere";
    ASSERT_TRUE(core::files::createDirectories(elsewhere, 0755));
    ASSERT_EQ(::symlink(elsewhere.c_str(), folder.c_str()), 0);

    struct Row {
        const char* what;
        std::string url;
        std::function<void(MultipartFormData&)> build;
    };
    const std::vector<Row> rows = {
        {"bad URL", "not a url", [](MultipartFormData& f) { f.appendData(bytes("x"), "x"); }},
        {"planted link", "http://127.0.0.1:9/", [](MultipartFormData& f) { f.appendData(bytes("x"), "x"); }},
        {"recorded form error", "http://127.0.0.1:9/", [](MultipartFormData& f) { f.appendFile(net::URL::fileURL("/no-ext"), "x"); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::optional<EncodingResult> result;
        manager->uploadMultipartFormData(row.build, 0, row.url, HTTPMethod::post, std::nullopt,
                                         [&](const EncodingResult& r) { result = r; });
        const auto& r = await(result);
        EXPECT_FALSE(r.isSuccess());
        EXPECT_FALSE(r.request);
    }
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

// A part that declares far more than it holds is encoded from what its stream yields, with room
// made only for what is known; a builder that throws (memory running out) ends in a failure. Each
// caller hears back exactly once.
TEST_F(FactoriesFixture, MisdeclaredPartsAndThrowingBuildersStillCompleteOnce) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    const std::uint64_t declared = std::uint64_t(1) << 36;
    struct Row {
        const char* what;
        std::function<void(MultipartFormData&)> build;
        std::optional<long long> errorCode;  // none: the upload goes through
    };
    const std::vector<Row> rows = {
        {"bytes that declare 2^36", [&](MultipartFormData& f) {
             f.appendStream(core::InputStream::withBytes(bytes("thirteen byte")), declared, "p", "p.bin", "application/octet-stream");
         }, std::nullopt},
        {"a caller's stream that declares 2^36", [&](MultipartFormData& f) {
             auto producer = core::ProducerStream::create();
             producer->write(bytes("thirteen byte"));
             producer->finish();
             f.appendStream(producer, declared, "p", "p.bin", "application/octet-stream");
         }, std::nullopt},
        {"a builder out of memory", [](MultipartFormData&) { throw std::bad_alloc(); }, ENOMEM},
        {"a builder that throws", [](MultipartFormData&) { throw std::runtime_error("no form today"); }, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::atomic<int> calls{0};
        std::optional<EncodingResult> result;
        manager->uploadMultipartFormData(row.build, ~std::uint64_t(0), server.url("/m"), HTTPMethod::post, std::nullopt,
                                         [&](const EncodingResult& r) {
                                             ++calls;
                                             result = r;
                                         });
        const auto& r = await(result);
        if (row.errorCode) {
            ASSERT_FALSE(r.isSuccess());
            const auto* error = r.error->as<core::Error>();
            ASSERT_TRUE(error) << r.error->description();
            EXPECT_EQ(error->domain, kExceptionErrorDomain);
            EXPECT_EQ(error->code, *row.errorCode);
        } else {
            ASSERT_TRUE(r.isSuccess());
            EXPECT_FALSE(r.streamingFromDisk);
            EXPECT_FALSE(finish(r.request).error());
            EXPECT_NE(server.requests().back().body.find("\r\n\r\nthirteen byte\r\n"), std::string::npos);
        }
        for (int i = 0; i < 5; ++i) dispatch::RunLoop::main().runUntil([] { return false; }, 0.01);
        EXPECT_EQ(calls.load(), 1);
    }
}

// A response serializer that throws still completes its request, with the failure.
TEST_F(FactoriesFixture, AThrowingSerializerStillCompletesItsRequest) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    struct Throwing {
        using SerializedObject = int;
        Result<int> serializeResponse(const std::optional<net::URLRequest>&, const std::optional<net::HTTPURLResponse>&,
                                      const std::optional<core::Bytes>&, const std::optional<Error>&) const {
            throw std::bad_alloc();
        }
    };
    std::atomic<int> calls{0};
    std::optional<DataResponse<int>> answer;
    manager->request(server.url("/s"))->response(nullptr, Throwing{}, [&](const DataResponse<int>& r) {
        ++calls;
        answer = r;
    });
    const auto& r = await(answer);
    ASSERT_TRUE(r.result().isFailure());
    const auto* error = r.result().failureError().as<core::Error>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, ENOMEM);
    EXPECT_EQ(calls.load(), 1);
}

namespace {

struct FailOnceAdapter : RequestAdapter {
    std::atomic<int> calls{0};
    int failures = 1;
    Result<net::URLRequest> adaptRequest(const net::URLRequest& r) override {
        if (calls++ < failures) return Result<net::URLRequest>::failure(HTTPError::invalidURL("adapter"));
        return r;
    }
};

struct RetryOnce : RequestRetrier {
    std::mutex m;
    std::vector<std::string> errors;
    void shouldRetryRequest(const std::shared_ptr<SessionManager>&, const std::shared_ptr<Request>& request, const Error& error,
                            RequestRetryCompletion completion) override {
        {
            std::lock_guard lock(m);
            errors.push_back(error.description());
        }
        completion(request->retryCount() < 1, 0);
    }
};

} // namespace

// A download or upload whose adapter fails goes to the retrier with the adapter's own error, keeps
// its description and, retried, reaches the server.
TEST_F(FactoriesFixture, AdapterFailuresOfDownloadsAndUploadsGoToTheRetrier) {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); });
    const std::string path = file("retry.bin", "file body");
    using Make = std::function<std::shared_ptr<Request>()>;
    const std::vector<std::pair<const char*, Make>> rows = {
        {"download", [&] { return manager->download(server.url("/d"), HTTPMethod::get); }},
        {"data", [&] { return manager->uploadData(bytes("data body"), server.url("/u"), HTTPMethod::post); }},
        {"file", [&] { return manager->uploadFile(net::URL::fileURL(path), server.url("/f"), HTTPMethod::post); }},
    };
    for (const auto& [what, make] : rows) {
        SCOPED_TRACE(what);
        auto adapter = std::make_shared<FailOnceAdapter>();
        auto retrier = std::make_shared<RetryOnce>();
        manager->setAdapter(adapter);
        manager->setRetrier(retrier);
        const std::size_t before = server.requestCount();
        auto request = make();
        EXPECT_TRUE(request->originalTask());
        EXPECT_TRUE(dispatch::RunLoop::main().runUntil([&] { return server.requestCount() == before + 1; }, 20));
        std::lock_guard lock(retrier->m);
        EXPECT_EQ(retrier->errors, std::vector<std::string>{"URL is not valid: adapter"});
    }

    // Inside a multipart upload the same failure is a success carrying the failed request.
    manager->setRetrier(nullptr);
    manager->setAdapter(std::make_shared<FailOnceAdapter>());
    std::optional<EncodingResult> result;
    manager->uploadMultipartFormData([](MultipartFormData& f) { f.appendData(bytes("x"), "x"); }, 100, server.url("/m"),
                                     HTTPMethod::post, std::nullopt, [&](const EncodingResult& r) { result = r; });
    const auto& r = await(result);
    ASSERT_TRUE(r.isSuccess());
    EXPECT_FALSE(r.request->task());
    EXPECT_EQ(r.request->delegate()->error->description(), "URL is not valid: adapter");
}

// A data upload's bytes live in its first task; retried after that task failed, the upload sends
// them again whole.
TEST_F(FactoriesFixture, ARetriedDataUploadSendsItsBytesAgain) {
    std::atomic<int> seen{0};
    LoopbackServer server([&](const RecordedRequest&) {
        Reply reply = Reply::text(200, "ok");
        if (seen++ == 0) reply.mode = Reply::Mode::closeWithoutReply;
        return reply;
    });
    manager->setRetrier(std::make_shared<RetryOnce>());
    const std::string content(300000, 'r');
    auto upload = manager->uploadData(bytes(content), server.url("/again"), HTTPMethod::post);
    auto answer = finish(upload);
    EXPECT_FALSE(answer.error());
    EXPECT_EQ(upload->retryCount(), 1u);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests) EXPECT_TRUE(r.body == content);
}

// A search-path destination puts the file in the user's folder under its suggested name; with no
// folder for the domain the file stays at its temporary URL, and stays there after the task.
TEST_F(FactoriesFixture, SearchPathDestinationsMoveOrKeepTheFile) {
    LoopbackServer server([](const RecordedRequest&) {
        return Reply{200, "OK", {{"Content-Disposition", "attachment; filename=\"report.txt\""}}, "report body"};
    });
    ASSERT_TRUE(core::files::createDirectories(core::paths::documents()));
    struct Row {
        unsigned domain;
        bool inDocuments;
    };
    for (const Row& row : {Row{core::paths::userDomainMask, true}, Row{core::paths::systemDomainMask, false}}) {
        SCOPED_TRACE(row.domain);
        std::optional<DefaultDownloadResponse> answer;
        manager
            ->download(server.url("/r"), HTTPMethod::get, std::nullopt, URLEncoding::default_(), std::nullopt,
                       DownloadRequest::searchPathDestination(core::paths::SearchPathDirectory::documentDirectory, row.domain))
            ->response(nullptr, [&](const DefaultDownloadResponse& r) { answer = r; });
        const auto& r = await(answer);
        EXPECT_FALSE(r.error());
        ASSERT_TRUE(r.destinationURL());
        if (row.inDocuments) EXPECT_EQ(r.destinationURL()->path(), core::paths::documents() + "/report.txt");
        else EXPECT_EQ(r.destinationURL(), r.temporaryURL());
        auto kept = core::files::read(r.destinationURL()->path());
        ASSERT_TRUE(kept.ok());
        EXPECT_EQ(std::string(kept->begin(), kept->end()), "report body");
    }
}

namespace {
// Finds the one service the stream test names, at the echo server.
class EchoResolver : public net::NetServiceResolver {
public:
    explicit EchoResolver(int port) : port_(port) {}
    std::optional<net::NetServiceAddress> resolve(const net::NetService& service) override {
        if (service.name() != "echo") return std::nullopt;
        return net::NetServiceAddress{"127.0.0.1", port_};
    }

private:
    int port_;
};
} // namespace

TEST_F(FactoriesFixture, StreamRequestsTalkToAHostOrAServiceThroughTheDelegatesClosures) {
    net::testkit::EchoServer echo;
    net::NetServiceResolver::setCurrent(std::make_shared<EchoResolver>(echo.port()));
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    const auto add = [&](std::string event) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
        changed.notify_all();
    };
    const auto waitFor = [&](const std::string& event) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20),
                                [&] { return std::find(events.begin(), events.end(), event) != events.end(); });
    };
    auto delegate = manager->delegate();
    delegate->streamTaskReadClosed = [&](auto&, auto&) { add("readClosed"); };
    delegate->streamTaskWriteClosed = [&](auto&, auto&) { add("writeClosed"); };
    delegate->streamTaskDidBecomeInputStream = [&](auto&, auto&, auto input, auto output) {
        add(input && output ? "streams" : "no streams");
    };
    delegate->taskDidComplete = [&](auto&, auto&, const auto& error) { add(error ? "failed" : "complete"); };

    struct Row {
        const char* what;
        std::function<std::shared_ptr<StreamRequest>()> make; // made when its row runs
        bool capture;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows = {
        {"host, closed", [&] { return manager->stream("127.0.0.1", echo.port()); }, false, {"read hi", "writeClosed", "read  eof", "readClosed", "complete"}},
        {"service, captured", [&] { return manager->stream(std::make_shared<net::NetService>("local.", "_echo._tcp.", "echo")); }, true,
         {"read hi", "streams", "complete"}},
        {"unknown service", [&] { return manager->stream(std::make_shared<net::NetService>("local.", "_echo._tcp.", "none")); }, false,
         {"failed", "read error -1003"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        {
            std::lock_guard lock(mutex);
            events.clear();
        }
        auto task = std::dynamic_pointer_cast<net::URLSessionStreamTask>(row.make()->task());
        ASSERT_TRUE(task);
        task->writeData(bytes("hi"), 0, [](const auto&) {});
        const auto read = [&](std::size_t n) {
            task->readData(n, n, 0, [&](const core::Bytes& data, bool atEOF, const auto& error) {
                add(error ? "read error " + std::to_string(error->code)
                          : "read " + std::string(data.begin(), data.end()) + (atEOF ? " eof" : ""));
            });
        };
        read(2);
        if (row.expected.front() == "read hi") {
            ASSERT_TRUE(waitFor("read hi"));
            if (row.capture) {
                task->captureStreams();
            } else {
                read(1); // waits for the peer's end, which answers the close
                task->closeWrite();
            }
        }
        for (const auto& event : row.expected) ASSERT_TRUE(waitFor(event)) << event;
        std::lock_guard lock(mutex);
        // A failed task may have ended before the read was asked for.
        if (row.expected.front() == "failed") std::sort(events.begin(), events.end());
        EXPECT_EQ(events, row.expected);
    }
    net::NetServiceResolver::setCurrent(nullptr);
}
