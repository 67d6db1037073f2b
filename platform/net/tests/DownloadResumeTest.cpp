// Resume data names the partial file a download goes on appending to: only the session's own
// partial file is taken, and the rest is asked for only if the resource is unchanged (If-Range).
#include "platform/core/Digest.h"
#include "platform/core/Files.h"
#include "platform/core/Paths.h"
#include "platform/core/PropertyList.h"
#include "platform/core/testing/TempHome.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <condition_variable>

using namespace net;
using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;

namespace {

class DownloadRecorder : public URLSessionDelegate {
public:
    void didFinishDownloadingToURL(const Session&, const DownloadTask&, const URL& location) override {
        auto bytes = core::files::read(location.path());
        std::lock_guard lock(mutex_);
        downloaded_ = bytes ? std::string(bytes->begin(), bytes->end()) : "<unreadable>";
    }
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& error) override {
        {
            std::lock_guard lock(mutex_);
            ++completed_;
            lastError_ = error;
        }
        changed_.notify_all();
    }
    bool waitForCompletions(int n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return completed_ >= n; });
    }
    std::string downloaded() {
        std::lock_guard lock(mutex_);
        return downloaded_;
    }
    std::optional<core::Error> lastError() {
        std::lock_guard lock(mutex_);
        return lastError_;
    }

private:
    std::optional<core::Error> lastError_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int completed_ = 0;
    std::string downloaded_;
};

struct ResumeFixture : ::testing::Test {
    core::testkit::TempHome home;
    std::string content;
    std::shared_ptr<DownloadRecorder> recorder = std::make_shared<DownloadRecorder>();
    std::shared_ptr<URLSession> session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), recorder);
    ResumeFixture() {
        for (int i = 0; i < 40000; ++i) content += static_cast<char>('a' + i % 26);
    }
    void TearDown() override { session->invalidateAndCancel(); }

    Reply answer(const RecordedRequest& r) {
        if (auto range = r.headers.value("Range")) {
            std::size_t from = std::stoul(range->substr(6));
            Reply reply = Reply::text(206, content.substr(from), "application/octet-stream");
            reply.reason = "Partial Content";
            reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" + std::to_string(content.size() - 1) +
                                                            "/" + std::to_string(content.size()));
            return reply;
        }
        Reply reply = Reply::text(200, content, "application/octet-stream");
        reply.headers.emplace_back("ETag", "\"v1\"");
        if (r.target == "/slow") reply.mode = Reply::Mode::stallMidBody;
        return reply;
    }
};

} // namespace

TEST_F(ResumeFixture, AResumedDownloadAsksForTheRestOnlyIfTheResourceIsUnchanged) {
    LoopbackServer server([&](const RecordedRequest& r) { return answer(r); });
    auto slow = session->downloadTask(URLRequest(URL::parse(server.url("/slow"))));
    slow->resume();
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return slow->countOfBytesReceived() >= 20000; }));
    std::optional<core::Bytes> resumeData;
    std::atomic<bool> produced{false};
    slow->cancelByProducingResumeData([&](std::optional<core::Bytes> data) {
        resumeData = std::move(data);
        produced = true;
    });
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return produced.load(); }));
    ASSERT_TRUE(resumeData);
    server.releaseStalls();

    session->downloadTask(*resumeData)->resume();
    ASSERT_TRUE(recorder->waitForCompletions(2));
    auto last = server.requests().back();
    EXPECT_EQ(last.headers.value("Range"), "bytes=20000-");
    EXPECT_EQ(last.headers.value("If-Range"), "\"v1\"");
    EXPECT_TRUE(recorder->downloaded() == content);
}

TEST_F(ResumeFixture, ResumeDataNamingAnyOtherFileStartsOver) {
    LoopbackServer server([&](const RecordedRequest& r) { return answer(r); });
    const std::string victim = home.path() + "/precious.txt";
    ASSERT_TRUE(core::files::writeAtomically(victim, std::string_view("precious")));
    const std::string folder = core::paths::temporary();
    const std::string linked = folder + "/quillora-download-" + core::makeUuidString() + ".tmp";
    ASSERT_EQ(::symlink(victim.c_str(), linked.c_str()), 0);
    struct Row {
        const char* what;
        std::string path;
        long long offset;
    };
    const std::vector<Row> rows = {
        {"a file elsewhere", victim, 8},
        {"a link with the session's name", linked, 8},
        {"a path that climbs out", folder + "/quillora-download-../../" + victim, 8},
    };
    int completions = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto data = core::plist::write(core::Value(core::Dictionary{{"url", server.url("/whole")}, {"path", row.path}, {"offset", row.offset}}),
                                       core::plist::Format::Binary);
        ASSERT_TRUE(data);
        session->downloadTask(*data)->resume();
        ASSERT_TRUE(recorder->waitForCompletions(++completions));
        EXPECT_FALSE(server.requests().back().headers.contains("Range"));
        EXPECT_TRUE(recorder->downloaded() == content);
        EXPECT_EQ(*core::files::read(victim), core::Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    }
    ::unlink(linked.c_str());
}

TEST_F(ResumeFixture, ADownloadTheServerCutsOffKeepsResumeDataWhenTheRestCanBeAskedFor) {
    struct Row {
        const char* what;
        std::vector<std::pair<std::string, std::string>> fields;
        bool resumable;
    };
    const std::vector<Row> rows = {
        {"strong ETag", {{"ETag", "\"v1\""}}, true},
        {"Last-Modified", {{"Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"}}, true},
        {"weak ETag only", {{"ETag", "W/\"v1\""}}, false},
        {"ranges refused", {{"ETag", "\"v1\""}, {"Accept-Ranges", "none"}}, false},
        {"no validator", {}, false},
    };
    int completions = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LoopbackServer server([&](const RecordedRequest&) {
            Reply reply = Reply::text(200, content, "application/octet-stream");
            reply.headers = row.fields;
            reply.mode = Reply::Mode::truncateBody;
            return reply;
        });
        session->downloadTask(URLRequest(URL::parse(server.url("/cut"))))->resume();
        ASSERT_TRUE(recorder->waitForCompletions(++completions));
        auto error = recorder->lastError();
        ASSERT_TRUE(error);
        EXPECT_TRUE(isURLError(*error, URLErrorCode::networkConnectionLost));
        const core::Value* data = error->userInfo.find(kDownloadTaskResumeDataKey);
        EXPECT_EQ(data != nullptr, row.resumable);
        if (!data) continue;
        auto parsed = core::plist::read(data->asBytes());
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->value.find("offset")->asInt(), static_cast<long long>(content.size() / 2));
        // The partial file stays for the continuation; nothing is left once it is used.
        const std::string partial = parsed->value.find("path")->asString();
        EXPECT_TRUE(core::files::exists(partial));
        ::unlink(partial.c_str());
    }
}

TEST_F(ResumeFixture, ADownloadCutAtTenMegabytesGoesOnFromWhereItStopped) {
    content.assign(20 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 131) >> 7);
    LoopbackServer server([&](const RecordedRequest& r) {
        Reply reply = answer(r);
        if (!r.headers.contains("Range")) reply.mode = Reply::Mode::truncateBody;
        return reply;
    });
    session->downloadTask(URLRequest(URL::parse(server.url("/big"))))->resume();
    ASSERT_TRUE(recorder->waitForCompletions(1));
    auto error = recorder->lastError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, "The network connection was lost.");
    const core::Value* data = error->userInfo.find(kDownloadTaskResumeDataKey);
    ASSERT_TRUE(data);

    session->downloadTask(data->asBytes())->resume();
    ASSERT_TRUE(recorder->waitForCompletions(2));
    EXPECT_FALSE(recorder->lastError());
    EXPECT_EQ(server.requests().back().headers.value("Range"), "bytes=10485760-");
    EXPECT_EQ(server.requestCount(), 2u);
    const std::string downloaded = recorder->downloaded();
    EXPECT_EQ(downloaded.size(), content.size());
    EXPECT_TRUE(downloaded == content);
}
