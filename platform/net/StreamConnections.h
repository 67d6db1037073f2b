#pragma once
// The sockets of a URL session's stream tasks (an internal part of the session).
//
// Everything here runs on the session's network thread: the sockets are non-blocking and are
// polled with libcurl's own sockets (as extra descriptors of curl_multi_poll), so stream events
// and transfer events reach the delegate queue in one order, one at a time. Name resolution
// (and a network service's lookup) runs on a worker and posts its result back.
//
// Each task's reads, writes, closes and capture are queued in the order they were asked for:
// a read is answered once at least its minimum is in (or the end, an error or its time-out);
// writes go out in order; closeRead waits for the reads queued before it, closeWrite and a
// capture for the writes (a capture for the reads too). A task ends when it is cancelled, fails
// to connect, loses its connection, hands its socket over as streams, or has closed both sides.

#include "platform/net/URLSessionDelegate.h"
#include "platform/net/URLSessionTask.h"

#include <curl/curl.h>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace net {

class StreamConnections : public std::enable_shared_from_this<StreamConnections> {
public:
    // What the session lends: all but `post` are called on the network thread only.
    struct Host {
        std::function<void(std::function<void()>)> post;    // runs a command on the network thread (any thread)
        std::function<void(std::function<void()>)> deliver; // a delegate-queue event, in order with the others
        std::function<void(const std::shared_ptr<URLSessionTask>&, std::optional<core::Error>)> finish;
        std::function<std::shared_ptr<URLSessionDelegate>()> delegate;
    };

    explicit StreamConnections(Host host);
    ~StreamConnections();
    StreamConnections(const StreamConnections&) = delete;
    StreamConnections& operator=(const StreamConnections&) = delete;

    // Any thread.
    void post(std::function<void()> command) { host_.post(std::move(command)); }

    // The session's task calls, on the network thread.
    void resume(const std::shared_ptr<URLSessionStreamTask>& task, bool invalidating);
    void suspend(const std::shared_ptr<URLSessionStreamTask>& task);
    void cancel(const std::shared_ptr<URLSessionStreamTask>& task);

    // The stream task's own calls, posted to the network thread.
    void read(const std::shared_ptr<URLSessionStreamTask>& task, std::size_t minBytes, std::size_t maxBytes, double timeout,
              URLSessionStreamTask::ReadCompletion completion);
    void write(const std::shared_ptr<URLSessionStreamTask>& task, core::Bytes data, double timeout,
               URLSessionStreamTask::WriteCompletion completion);
    void closeRead(const std::shared_ptr<URLSessionStreamTask>& task);
    void closeWrite(const std::shared_ptr<URLSessionStreamTask>& task);
    void captureStreams(const std::shared_ptr<URLSessionStreamTask>& task);

    // A task that never ran is gone: what was asked of it is answered "cancelled".
    void forget(std::uint64_t id);

    // The network loop: descriptors to wait on, then what came of the wait.
    void addWaitFds(std::vector<curl_waitfd>& fds);
    void afterPoll(const std::vector<curl_waitfd>& fds);

    // Started tasks that have not ended (invalidation waits for them, or cancels them).
    bool empty() const;
    std::vector<std::shared_ptr<URLSessionTask>> tasks() const;
    // The session is going away: sockets close, tasks end as cancelled without telling anyone.
    void shutdown();

private:
    struct Connection;

    Connection& connectionFor(const std::shared_ptr<URLSessionStreamTask>& task);
    void resolved(std::uint64_t id, std::vector<std::pair<std::vector<std::uint8_t>, int>> addresses,
                  std::optional<core::Error> error);
    void connectNext(Connection& c);
    void connected(Connection& c);
    void service(Connection& c, short revents);
    void progress(Connection& c);
    void answerReads(Connection& c);
    void sendWrites(Connection& c);
    void close(const std::shared_ptr<URLSessionStreamTask>& task, bool readSide);
    void closeReadSide(Connection& c);
    void closeWriteSide(Connection& c);
    void capture(Connection& c);
    void end(Connection& c, std::optional<core::Error> error);
    void checkTimeouts();
    void armTimeoutCheck();
    bool responds(URLSessionDelegate::Callback callback) const;

    Host host_;
    std::unordered_map<std::uint64_t, std::unique_ptr<Connection>> connections_;
    // The connections whose sockets the last wait covers, from that index of its descriptors on.
    std::vector<std::uint64_t> polled_;
    std::size_t polledFrom_ = 0;
    double scheduledCheck_;
    std::uint64_t checkGeneration_ = 0;
};

} // namespace net
