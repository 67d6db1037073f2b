#include "platform/dispatch/Clock.h"
#include "platform/net/NetService.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/EchoServer.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <condition_variable>
#include <future>
#include <map>

using namespace net;
using net::testkit::EchoServer;

namespace {

// Records the stream events and completions in the order the delegate queue delivers them.
class StreamRecorder : public URLSessionDelegate {
public:
    void readClosed(const Session&, const StreamTask&) override { add("readClosed"); }
    void writeClosed(const Session&, const StreamTask&) override { add("writeClosed"); }
    void didBecomeInputStream(const Session&, const StreamTask&, std::shared_ptr<core::InputStream> input,
                              std::shared_ptr<core::OutputStream> output) override {
        {
            std::lock_guard lock(mutex_);
            input_ = std::move(input);
            output_ = std::move(output);
        }
        add("streams");
    }
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& error) override {
        add(error ? "complete " + std::to_string(error->code) : "complete");
    }
    void didBecomeInvalidWithError(const Session&, const std::optional<core::Error>&) override { add("invalid"); }

    // Also called by the tests' read and write completions, so their order shows among the events.
    void add(std::string event) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(std::move(event));
        }
        changed_.notify_all();
    }
    bool waitFor(const std::string& event) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return std::find(events_.begin(), events_.end(), event) != events_.end(); });
    }
    std::vector<std::string> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::pair<std::shared_ptr<core::InputStream>, std::shared_ptr<core::OutputStream>> streams() {
        std::lock_guard lock(mutex_);
        return {input_, output_};
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::shared_ptr<core::InputStream> input_;
    std::shared_ptr<core::OutputStream> output_;
};

core::Bytes bytes(std::string_view text) { return core::Bytes(text.begin(), text.end()); }

class StreamTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = std::make_shared<StreamRecorder>();
        session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), recorder);
    }
    void TearDown() override { session->invalidateAndCancel(); }

    // A read whose outcome is recorded as "read <text>[ eof]" or "read error <code>".
    void read(const std::shared_ptr<URLSessionStreamTask>& task, std::size_t min, std::size_t max, double timeout = 0) {
        task->readData(min, max, timeout, [recorder = recorder](const core::Bytes& data, bool atEOF, const auto& error) {
            if (error) {
                recorder->add("read error " + std::to_string(error->code) + (data.empty() ? "" : " with data"));
            } else {
                recorder->add("read " + std::string(data.begin(), data.end()) + (atEOF ? " eof" : ""));
            }
        });
    }
    void write(const std::shared_ptr<URLSessionStreamTask>& task, std::string_view text) {
        task->writeData(bytes(text), 0, [recorder = recorder, text = std::string(text)](const auto& error) {
            recorder->add(error ? "write error " + std::to_string(error->code) : "wrote " + text);
        });
    }

    std::shared_ptr<StreamRecorder> recorder;
    std::shared_ptr<URLSession> session;
};

} // namespace

TEST_F(StreamTaskTest, EchoesInOrderAndEndsWhenBothSidesClose) {
    EchoServer echo;
    auto task = session->streamTask("127.0.0.1", echo.port());
    // Asked for before the task runs: done in order once connected.
    write(task, "0123456789");
    read(task, 4, 4);
    read(task, 6, 6);
    task->resume();
    ASSERT_TRUE(recorder->waitFor("read 456789"));
    write(task, "tail");
    task->closeWrite(); // after the write asked for before it
    read(task, 100, 100); // fewer than asked for: the peer's end answers it
    ASSERT_TRUE(recorder->waitFor("complete"));
    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"wrote 0123456789", "read 0123", "read 456789", "wrote tail",
                                                             "writeClosed", "read tail eof", "readClosed", "complete"}));
    EXPECT_EQ(task->state(), URLSessionTask::State::completed);
    EXPECT_FALSE(task->error());
    EXPECT_EQ(echo.connectionCount(), 1u);
}

TEST_F(StreamTaskTest, AfterTheEndReadsGetTheEndAndWritesFail) {
    EchoServer echo;
    auto task = session->streamTask("127.0.0.1", echo.port());
    task->resume();
    write(task, "x");
    read(task, 1, 1);
    ASSERT_TRUE(recorder->waitFor("read x"));
    task->closeRead(); // the read side closes; the task lives on for writing
    read(task, 1, 10);
    ASSERT_TRUE(recorder->waitFor("read  eof"));
    task->closeWrite();
    write(task, "late");
    ASSERT_TRUE(recorder->waitFor("write error -1005"));
    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"wrote x", "read x", "readClosed", "read  eof", "writeClosed",
                                                             "complete", "write error -1005"}));
}

TEST_F(StreamTaskTest, FailuresToConnectEndTheTaskAndWhatWaits) {
    // Held while the test runs, so no other program can start listening there.
    int refusedPort = 0;
    const int refusing = testkit::LoopbackServer::bindLoopback(refusedPort, /*listen=*/false);
    struct Case {
        const char* name;
        std::string host;
        int port;
        long code;
    };
    const std::vector<Case> cases = {
        {"refused", "127.0.0.1", refusedPort, -1004},
        {"no port", "127.0.0.1", 0, -1004},
        {"no host", "", 80, -1003},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder = std::make_shared<StreamRecorder>();
        auto own = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), recorder);
        auto task = own->streamTask(c.host, c.port);
        read(task, 1, 1);
        write(task, "lost");
        task->resume();
        const std::string code = std::to_string(c.code);
        ASSERT_TRUE(recorder->waitFor("complete " + code));
        EXPECT_EQ(recorder->events(),
                  (std::vector<std::string>{"read error " + code, "write error " + code, "complete " + code}));
        ASSERT_TRUE(task->error());
        EXPECT_EQ(task->error()->code, c.code);
        own->invalidateAndCancel();
    }
    ::close(refusing);
}

TEST_F(StreamTaskTest, CancelAnswersWhatWaitsAndLaterCalls) {
    EchoServer echo;
    auto task = session->streamTask("127.0.0.1", echo.port());
    task->resume();
    write(task, "ab");
    read(task, 2, 2);
    ASSERT_TRUE(recorder->waitFor("read ab"));
    read(task, 1, 1); // nothing will come
    task->cancel();
    ASSERT_TRUE(recorder->waitFor("complete -999"));
    write(task, "late");
    ASSERT_TRUE(recorder->waitFor("write error -999"));
    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"wrote ab", "read ab", "read error -999", "complete -999",
                                                             "write error -999"}));
}

TEST_F(StreamTaskTest, CancelBeforeResumeEndsTheTask) {
    auto task = session->streamTask("127.0.0.1", 9);
    read(task, 1, 1);
    task->cancel();
    ASSERT_TRUE(recorder->waitFor("complete -999"));
    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"read error -999", "complete -999"}));
}

TEST_F(StreamTaskTest, ATaskLetGoBeforeItRanIsFreedAndWhatWaitsIsCancelled) {
    auto task = session->streamTask("127.0.0.1", 9);
    const std::weak_ptr<URLSessionStreamTask> weak = task;
    read(task, 1, 1);
    task.reset();
    ASSERT_TRUE(recorder->waitFor("read error -999"));
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(recorder->events(), std::vector<std::string>{"read error -999"}); // a task that never ran does not complete
}

TEST_F(StreamTaskTest, SuspendedTasksGoOnWhereTheyStopped) {
    EchoServer echo;
    auto task = session->streamTask("127.0.0.1", echo.port());
    task->resume();
    task->suspend();
    write(task, "held");
    read(task, 4, 4);
    task->resume();
    ASSERT_TRUE(recorder->waitFor("read held"));
    EXPECT_EQ(task->state(), URLSessionTask::State::running);
}

TEST_F(StreamTaskTest, CapturedStreamsCarryOnTheConnection) {
    EchoServer echo;
    auto task = session->streamTask("127.0.0.1", echo.port());
    task->resume();
    const auto ignore = [](const auto&) {};
    task->writeData(bytes("ping"), 0, ignore);
    read(task, 2, 2);
    task->writeData(bytes("pong"), 0, ignore); // partly unread when captured: the input stream gives it first
    task->captureStreams();
    ASSERT_TRUE(recorder->waitFor("complete"));
    EXPECT_EQ(recorder->events(), (std::vector<std::string>{"read pi", "streams", "complete"}));
    auto [input, output] = recorder->streams();
    ASSERT_TRUE(input && output);
    input->open();
    output->open();
    ASSERT_EQ(output->write(reinterpret_cast<const std::uint8_t*>("!"), 1), 1);
    output->close(); // the server ends its side after echoing
    std::string received;
    std::uint8_t buffer[64];
    for (std::int64_t n; (n = input->read(buffer, sizeof buffer)) > 0;) received.append(buffer, buffer + n);
    EXPECT_EQ(received, "ngpong!");
    EXPECT_EQ(input->streamStatus(), core::StreamStatus::atEnd);
}

TEST_F(StreamTaskTest, AnExpiredReadFailsAloneAndTheBytesWaitForTheNext) {
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    struct Restore {
        ~Restore() { dispatch::Clock::setCurrent(nullptr); }
    } restore;
    EchoServer echo;
    auto task = session->streamTask("127.0.0.1", echo.port());
    task->resume();
    read(task, 4, 4, 5.0);
    write(task, "ab");
    ASSERT_TRUE(recorder->waitFor("wrote ab"));
    clock->advance(5.1);
    ASSERT_TRUE(recorder->waitFor("read error -1001"));
    write(task, "cd");
    read(task, 4, 4);
    ASSERT_TRUE(recorder->waitFor("read abcd"));
}

TEST_F(StreamTaskTest, InvalidationCancelsOrWaitsForStreamTasks) {
    EchoServer echo;
    auto task = session->streamTask("127.0.0.1", echo.port());
    task->resume();
    write(task, "a");
    read(task, 1, 1);
    ASSERT_TRUE(recorder->waitFor("read a"));
    session->finishTasksAndInvalidate(); // waits for the task
    task->closeWrite();
    ASSERT_TRUE(recorder->waitFor("invalid"));
    EXPECT_EQ(recorder->events(),
              (std::vector<std::string>{"wrote a", "read a", "writeClosed", "readClosed", "complete", "invalid"}));

    auto other = std::make_shared<StreamRecorder>();
    auto second = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), other);
    auto open = second->streamTask("127.0.0.1", echo.port());
    open->resume();
    open->writeData(bytes("b"), 0, [other](const auto&) { other->add("wrote"); });
    ASSERT_TRUE(other->waitFor("wrote"));
    second->invalidateAndCancel();
    ASSERT_TRUE(other->waitFor("invalid"));
    EXPECT_EQ(other->events(), (std::vector<std::string>{"wrote", "complete -999", "invalid"}));
}

namespace {
// Finds one service, at the echo server.
class FixedResolver : public NetServiceResolver {
public:
    explicit FixedResolver(int port) : port_(port) {}
    std::optional<NetServiceAddress> resolve(const NetService& service) override {
        if (service.domain() == "local." && service.type() == "_echo._tcp." && service.name() == "echo")
            return NetServiceAddress{"127.0.0.1", port_};
        return std::nullopt;
    }

private:
    int port_;
};

struct ResolverScope {
    explicit ResolverScope(std::shared_ptr<NetServiceResolver> r) { NetServiceResolver::setCurrent(std::move(r)); }
    ~ResolverScope() { NetServiceResolver::setCurrent(nullptr); }
};
} // namespace

TEST_F(StreamTaskTest, NetServicesConnectThroughTheResolver) {
    EchoServer echo;
    ResolverScope scope(std::make_shared<FixedResolver>(echo.port()));
    auto found = session->streamTask(std::make_shared<NetService>("local.", "_echo._tcp.", "echo"));
    EXPECT_EQ(found->netService()->name(), "echo");
    found->resume();
    write(found, "hi");
    read(found, 2, 2);
    ASSERT_TRUE(recorder->waitFor("read hi"));
    found->cancel();
    ASSERT_TRUE(recorder->waitFor("complete -999"));

    auto missing = session->streamTask(std::make_shared<NetService>("local.", "_echo._tcp.", "other"));
    missing->resume();
    read(missing, 1, 1);
    ASSERT_TRUE(recorder->waitFor("complete -1003"));
    ASSERT_TRUE(recorder->waitFor("read error -1003"));
    EXPECT_EQ(echo.connectionCount(), 1u);
}

TEST(NetServiceResolverTest, SettingNothingRestoresTheSystemResolver) {
    NetServiceResolver::setCurrent(std::make_shared<FixedResolver>(1));
    EXPECT_NE(NetServiceResolver::current(), NetServiceResolver::system());
    NetServiceResolver::setCurrent(nullptr);
    EXPECT_EQ(NetServiceResolver::current(), NetServiceResolver::system());
}
