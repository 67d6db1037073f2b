#include "platform/net/StreamConnections.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/net/NetService.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <limits>

namespace net {

namespace {

using Callback = URLSessionDelegate::Callback;

constexpr double kNever = std::numeric_limits<double>::infinity();
// Reading from the socket stops while this much waits unread, so a peer that sends faster than
// the reads ask cannot fill memory.
constexpr std::size_t kInboxLimit = std::size_t(1) << 20;
constexpr std::size_t kReadChunk = 64 * 1024;

double now() { return dispatch::Clock::current().monotonicTime(); }
double deadlineAfter(double timeout) { return timeout > 0 ? now() + timeout : kNever; }

core::Error socketError(int code, const char* what) {
    return core::Error{std::string(core::kStreamErrorDomain), code, std::string(what) + ": " + std::strerror(code), {}};
}

// The captured connection's read half: first the bytes the task had received, then the socket,
// read blocking (0 at the peer's end of stream).
class SocketInputStream final : public core::InputStream {
public:
    SocketInputStream(int fd, core::Bytes received) : fd_(fd), pending_(std::move(received)) {}
    ~SocketInputStream() override { closeFd(); }

    void open() override {
        if (status_ == core::StreamStatus::notOpen) status_ = core::StreamStatus::open;
    }
    bool hasBytesAvailable() const override {
        if (status_ != core::StreamStatus::open) return false;
        if (at_ < pending_.size()) return true;
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
        if (status_ == core::StreamStatus::atEnd) return 0;
        if (status_ != core::StreamStatus::open) return -1;
        if (at_ < pending_.size()) {
            const std::size_t n = std::min(maxLength, pending_.size() - at_);
            std::memcpy(buffer, pending_.data() + at_, n);
            at_ += n;
            return std::int64_t(n);
        }
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, maxLength, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error_ = socketError(errno, "cannot read from the connection");
                status_ = core::StreamStatus::error;
                return -1;
            }
            if (n == 0 && maxLength > 0) status_ = core::StreamStatus::atEnd;
            return n;
        }
    }
    core::StreamStatus streamStatus() const override { return status_; }
    std::optional<core::Error> streamError() const override { return error_; }
    void close() override {
        closeFd();
        status_ = core::StreamStatus::closed;
    }

private:
    void closeFd() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_;
    core::Bytes pending_;
    std::size_t at_ = 0;
    core::StreamStatus status_ = core::StreamStatus::notOpen;
    std::optional<core::Error> error_;
};

// The captured connection's write half; closing it sends the end of stream.
class SocketOutputStream final : public core::OutputStream {
public:
    explicit SocketOutputStream(int fd) : fd_(fd) {}
    ~SocketOutputStream() override { closeFd(); }

    void open() override {
        if (status_ == core::StreamStatus::notOpen) status_ = core::StreamStatus::open;
    }
    bool hasSpaceAvailable() const override { return status_ == core::StreamStatus::open; }
    std::int64_t write(const std::uint8_t* buffer, std::size_t maxLength) override {
        if (status_ != core::StreamStatus::open) return -1;
        for (;;) {
            const ssize_t n = ::send(fd_, buffer, maxLength, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error_ = socketError(errno, "cannot write to the connection");
                status_ = core::StreamStatus::error;
                return -1;
            }
            return n;
        }
    }
    core::StreamStatus streamStatus() const override { return status_; }
    std::optional<core::Error> streamError() const override { return error_; }
    void close() override {
        closeFd();
        status_ = core::StreamStatus::closed;
    }

private:
    void closeFd() {
        if (fd_ < 0) return;
        ::shutdown(fd_, SHUT_WR);
        ::close(fd_);
        fd_ = -1;
    }
    int fd_;
    core::StreamStatus status_ = core::StreamStatus::notOpen;
    std::optional<core::Error> error_;
};

} // namespace

struct StreamConnections::Connection {
    enum class Phase { idle, resolving, connecting, open, ended };

    std::uint64_t id = 0;
    // Held strongly only once the task runs: what is asked of a task that never runs must not
    // keep it, and its session, alive.
    std::weak_ptr<URLSessionStreamTask> idleTask;
    std::shared_ptr<URLSessionStreamTask> task;
    Phase phase = Phase::idle;
    bool suspended = false;
    int fd = -1;
    // Addresses still to try (socket address bytes and family), the last connect error, and by
    // when the connection must be up.
    std::vector<std::pair<std::vector<std::uint8_t>, int>> addresses;
    std::size_t nextAddress = 0;
    int connectErrno = 0;
    double connectDeadline = kNever;

    core::Bytes inbox;          // received and not yet read
    bool peerEnded = false;     // the peer's end of stream has come
    bool readClosed = false;    // no more reading (the delegate has heard)
    bool writeClosed = false;   // the end of stream is sent (the delegate has heard)

    struct Read {
        std::size_t minBytes, maxBytes;
        double deadline;
        URLSessionStreamTask::ReadCompletion completion;
    };
    struct Write {
        core::Bytes data;
        std::size_t sent = 0;
        double deadline;
        URLSessionStreamTask::WriteCompletion completion;
    };
    std::deque<Read> reads;
    std::deque<Write> writes;
    std::uint64_t readsAsked = 0, readsDone = 0, writesAsked = 0, writesDone = 0;
    // Closes and the capture, each waiting for the reads / writes asked for before it.
    std::optional<std::uint64_t> closeReadAfter, closeWriteAfter;
    bool closeReadAsked = false, closeWriteAsked = false;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> captureAfter; // reads, writes

    bool started() const { return phase != Phase::idle; }
};

StreamConnections::StreamConnections(Host host) : host_(std::move(host)), scheduledCheck_(kNever) {}

StreamConnections::~StreamConnections() {
    for (auto& [id, c] : connections_) {
        if (c->fd >= 0) ::close(c->fd);
    }
}

bool StreamConnections::responds(Callback callback) const {
    auto d = host_.delegate();
    return d && d->respondsTo(callback);
}

StreamConnections::Connection& StreamConnections::connectionFor(const std::shared_ptr<URLSessionStreamTask>& task) {
    auto& slot = connections_[task->taskIdentifier()];
    if (!slot) {
        slot = std::make_unique<Connection>();
        slot->id = task->taskIdentifier();
        slot->idleTask = task;
    }
    return *slot;
}

// ---- the task's life ----

void StreamConnections::resume(const std::shared_ptr<URLSessionStreamTask>& task, bool invalidating) {
    const auto resumption = task->markRunning();
    if (resumption == URLSessionTask::Resumption::ended) return;
    if (resumption == URLSessionTask::Resumption::again) {
        if (auto it = connections_.find(task->taskIdentifier()); it != connections_.end()) {
            it->second->suspended = false;
            progress(*it->second);
        }
        return;
    }
    Connection& c = connectionFor(task);
    c.task = task;
    if (invalidating) {
        end(c, makeURLError(URLErrorCode::cancelled));
        return;
    }
    c.phase = Connection::Phase::resolving;
    const double timeout = task->session()->configuration().timeoutIntervalForRequest;
    c.connectDeadline = deadlineAfter(timeout);
    armTimeoutCheck();
    // Looked up on a worker: getaddrinfo and a service lookup block.
    std::weak_ptr<StreamConnections> weakSelf = shared_from_this();
    const std::uint64_t id = task->taskIdentifier();
    dispatch::Queue::global(dispatch::QoS::utility)->async([weakSelf, id, host = task->host(), port = task->port(),
                                                             service = task->netService()] {
        std::optional<NetServiceAddress> target = NetServiceAddress{host, port};
        if (service) target = NetServiceResolver::current()->resolve(*service);
        std::vector<std::pair<std::vector<std::uint8_t>, int>> addresses;
        std::optional<core::Error> error;
        if (!target || target->host.empty()) {
            error = makeURLError(URLErrorCode::cannotFindHost);
        } else if (target->port <= 0 || target->port > 65535) {
            error = makeURLError(URLErrorCode::cannotConnectToHost);
        } else {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
            addrinfo* found = nullptr;
            if (::getaddrinfo(target->host.c_str(), std::to_string(target->port).c_str(), &hints, &found) != 0 || !found) {
                error = makeURLError(URLErrorCode::cannotFindHost);
            } else {
                for (addrinfo* a = found; a; a = a->ai_next) {
                    const auto* bytes = reinterpret_cast<const std::uint8_t*>(a->ai_addr);
                    addresses.emplace_back(std::vector<std::uint8_t>(bytes, bytes + a->ai_addrlen), a->ai_family);
                }
                ::freeaddrinfo(found);
            }
        }
        if (auto connections = weakSelf.lock()) {
            connections->post([weakSelf, id, addresses = std::move(addresses), error = std::move(error)]() mutable {
                if (auto self = weakSelf.lock()) self->resolved(id, std::move(addresses), std::move(error));
            });
        }
    });
}

void StreamConnections::suspend(const std::shared_ptr<URLSessionStreamTask>& task) {
    {
        std::lock_guard lock(task->mutex_);
        if (task->state_ != URLSessionTask::State::running) return;
        task->state_ = URLSessionTask::State::suspended;
    }
    auto it = connections_.find(task->taskIdentifier());
    if (it != connections_.end()) it->second->suspended = true;
}

void StreamConnections::cancel(const std::shared_ptr<URLSessionStreamTask>& task) {
    auto it = connections_.find(task->taskIdentifier());
    if (it != connections_.end()) {
        end(*it->second, makeURLError(URLErrorCode::cancelled));
    } else {
        host_.finish(task, makeURLError(URLErrorCode::cancelled));
    }
}

void StreamConnections::resolved(std::uint64_t id, std::vector<std::pair<std::vector<std::uint8_t>, int>> addresses,
                                 std::optional<core::Error> error) {
    auto it = connections_.find(id);
    if (it == connections_.end() || it->second->phase != Connection::Phase::resolving) return; // ended meanwhile
    Connection& c = *it->second;
    if (error) {
        end(c, std::move(error));
        return;
    }
    c.addresses = std::move(addresses);
    c.phase = Connection::Phase::connecting;
    connectNext(c);
}

// Tries the addresses in the resolver's order until one accepts.
void StreamConnections::connectNext(Connection& c) {
    while (c.nextAddress < c.addresses.size()) {
        const auto& [address, family] = c.addresses[c.nextAddress++];
        const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            c.connectErrno = errno;
            continue;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(address.data()), socklen_t(address.size())) == 0) {
            c.fd = fd;
            connected(c);
            return;
        }
        if (errno == EINPROGRESS) {
            c.fd = fd; // the poll says how it went
            return;
        }
        c.connectErrno = errno;
        ::close(fd);
    }
    end(c, makeURLError(c.connectErrno == ETIMEDOUT ? URLErrorCode::timedOut : URLErrorCode::cannotConnectToHost));
}

void StreamConnections::connected(Connection& c) {
    c.phase = Connection::Phase::open;
    c.connectDeadline = kNever;
    c.addresses.clear();
    progress(c);
}

// ---- the loop ----

void StreamConnections::addWaitFds(std::vector<curl_waitfd>& fds) {
    polledFrom_ = fds.size();
    polled_.clear();
    for (const auto& [id, c] : connections_) {
        if (c->fd < 0 || c->suspended) continue;
        short events = 0;
        if (c->phase == Connection::Phase::connecting) {
            events = CURL_WAIT_POLLOUT;
        } else if (c->phase == Connection::Phase::open) {
            if (!c->readClosed && !c->peerEnded && c->inbox.size() < kInboxLimit) events |= CURL_WAIT_POLLIN;
            if (!c->writes.empty()) events |= CURL_WAIT_POLLOUT;
        }
        if (!events) continue;
        fds.push_back(curl_waitfd{c->fd, events, 0});
        polled_.push_back(id);
    }
}

void StreamConnections::afterPoll(const std::vector<curl_waitfd>& fds) {
    for (std::size_t i = 0; i < polled_.size() && polledFrom_ + i < fds.size(); ++i) {
        const auto& w = fds[polledFrom_ + i];
        if (!w.revents) continue;
        // A connection served before may have ended this one, or closed a descriptor that a new
        // socket of another connection now has: the event counts only for the socket polled.
        auto it = connections_.find(polled_[i]);
        if (it != connections_.end() && it->second->fd == w.fd) service(*it->second, w.revents);
    }
    polled_.clear();
}

void StreamConnections::service(Connection& c, short revents) {
    if (c.phase == Connection::Phase::connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (error == 0) {
            connected(c);
            return;
        }
        c.connectErrno = error;
        ::close(c.fd);
        c.fd = -1;
        connectNext(c);
        return;
    }
    if (c.phase != Connection::Phase::open) return;
    // Read whatever came (also on POLLHUP / POLLERR: recv reports the end or the error).
    if ((revents & CURL_WAIT_POLLIN) || !(revents & CURL_WAIT_POLLOUT)) {
        std::uint8_t buffer[kReadChunk];
        while (!c.peerEnded && !c.readClosed && c.inbox.size() < kInboxLimit) {
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                c.inbox.insert(c.inbox.end(), buffer, buffer + n);
                continue;
            }
            if (n == 0) {
                c.peerEnded = true;
                break;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            end(c, makeURLError(URLErrorCode::networkConnectionLost));
            return;
        }
    }
    progress(c);
}

// Does all that can be done now, in order: answer reads, send writes, close sides, capture, end.
void StreamConnections::progress(Connection& c) {
    if (c.phase != Connection::Phase::open || c.suspended) return;
    const std::uint64_t id = c.id;
    answerReads(c);
    sendWrites(c);
    if (!connections_.count(id)) return; // the connection was lost while writing
    if (c.closeReadAfter && c.readsDone >= *c.closeReadAfter) closeReadSide(c);
    if (c.closeWriteAfter && c.writesDone >= *c.closeWriteAfter) closeWriteSide(c);
    if (c.peerEnded && !c.readClosed && c.inbox.empty()) {
        // The peer's end closes the read side once every byte before it has been read.
        closeReadSide(c);
    }
    if (c.captureAfter && c.readsDone >= c.captureAfter->first && c.writesDone >= c.captureAfter->second) {
        capture(c);
        return;
    }
    if (c.readClosed && c.writeClosed) end(c, std::nullopt);
}

void StreamConnections::answerReads(Connection& c) {
    while (!c.reads.empty()) {
        auto& r = c.reads.front();
        const bool atEnd = c.peerEnded || c.readClosed;
        if (c.inbox.size() < r.minBytes && !atEnd) return;
        const std::size_t n = std::min(c.inbox.size(), r.maxBytes);
        core::Bytes data(c.inbox.begin(), c.inbox.begin() + std::ptrdiff_t(n));
        c.inbox.erase(c.inbox.begin(), c.inbox.begin() + std::ptrdiff_t(n));
        const bool atEOF = atEnd && c.inbox.empty();
        host_.deliver([completion = std::move(r.completion), data = std::move(data), atEOF] {
            completion(data, atEOF, std::nullopt);
        });
        c.reads.pop_front();
        ++c.readsDone;
    }
}

void StreamConnections::sendWrites(Connection& c) {
    while (!c.writes.empty()) {
        auto& w = c.writes.front();
        while (w.sent < w.data.size()) {
            const ssize_t n = ::send(c.fd, w.data.data() + w.sent, w.data.size() - w.sent, MSG_NOSIGNAL);
            if (n > 0) {
                w.sent += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return; // the poll says when to go on
            end(c, makeURLError(URLErrorCode::networkConnectionLost));
            return;
        }
        host_.deliver([completion = std::move(w.completion)] { completion(std::nullopt); });
        c.writes.pop_front();
        ++c.writesDone;
    }
}

void StreamConnections::closeReadSide(Connection& c) {
    c.closeReadAfter.reset();
    if (c.readClosed) return;
    c.readClosed = true;
    if (!c.peerEnded) ::shutdown(c.fd, SHUT_RD);
    answerReads(c); // reads asked for after the close get the end
    if (responds(Callback::streamTaskReadClosed)) {
        host_.deliver([task = c.task, delegate = host_.delegate()] {
            if (delegate) delegate->readClosed(task->session(), task);
        });
    }
}

void StreamConnections::closeWriteSide(Connection& c) {
    c.closeWriteAfter.reset();
    if (c.writeClosed) return;
    c.writeClosed = true;
    ::shutdown(c.fd, SHUT_WR);
    if (responds(Callback::streamTaskWriteClosed)) {
        host_.deliver([task = c.task, delegate = host_.delegate()] {
            if (delegate) delegate->writeClosed(task->session(), task);
        });
    }
}

void StreamConnections::capture(Connection& c) {
    const int fd = c.fd;
    c.fd = -1;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK); // the streams read and write blocking
    const int readFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (readFd < 0) {
        ::close(fd);
        end(c, makeURLError(URLErrorCode::networkConnectionLost));
        return;
    }
    auto input = std::make_shared<SocketInputStream>(readFd, std::move(c.inbox));
    auto output = std::make_shared<SocketOutputStream>(fd);
    if (responds(Callback::streamTaskDidBecomeStreams)) {
        host_.deliver([task = c.task, delegate = host_.delegate(), input, output] {
            if (delegate) delegate->didBecomeInputStream(task->session(), task, input, output);
        });
    }
    end(c, std::nullopt);
}

// The end of the task: whatever still waits gets the error (or, with none, "connection lost":
// nothing more will come), then the task completes.
void StreamConnections::end(Connection& c, std::optional<core::Error> error) {
    auto task = c.task ? c.task : c.idleTask.lock(); // nothing when the task is going away
    auto node = std::move(connections_[c.id]);
    connections_.erase(c.id);
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
    c.phase = Connection::Phase::ended;
    const core::Error failed = error ? *error : makeURLError(URLErrorCode::networkConnectionLost);
    for (auto& r : c.reads) host_.deliver([completion = std::move(r.completion), failed] { completion({}, false, failed); });
    for (auto& w : c.writes) host_.deliver([completion = std::move(w.completion), failed] { completion(failed); });
    c.reads.clear();
    c.writes.clear();
    if (task) host_.finish(task, std::move(error));
}

void StreamConnections::forget(std::uint64_t id) {
    auto it = connections_.find(id);
    if (it != connections_.end() && !it->second->started()) end(*it->second, makeURLError(URLErrorCode::cancelled));
}

// ---- what the task asks for ----

void StreamConnections::read(const std::shared_ptr<URLSessionStreamTask>& task, std::size_t minBytes, std::size_t maxBytes,
                             double timeout, URLSessionStreamTask::ReadCompletion completion) {
    if (task->state() == URLSessionTask::State::completed) {
        // After a failure the read gets the failure; after a regular end, the end.
        host_.deliver([completion = std::move(completion), ended = task->error()] { completion({}, !ended, ended); });
        return;
    }
    Connection& c = connectionFor(task);
    c.reads.push_back({std::min(minBytes, maxBytes), maxBytes, deadlineAfter(timeout), std::move(completion)});
    ++c.readsAsked;
    if (timeout > 0) armTimeoutCheck();
    progress(c);
}

void StreamConnections::write(const std::shared_ptr<URLSessionStreamTask>& task, core::Bytes data, double timeout,
                              URLSessionStreamTask::WriteCompletion completion) {
    std::optional<core::Error> refused;
    if (task->state() == URLSessionTask::State::completed) {
        refused = task->error().value_or(makeURLError(URLErrorCode::networkConnectionLost));
    } else if (auto it = connections_.find(task->taskIdentifier()); it != connections_.end() && it->second->closeWriteAsked) {
        refused = makeURLError(URLErrorCode::networkConnectionLost); // nothing may follow the end of stream
    }
    if (refused) {
        host_.deliver([completion = std::move(completion), refused] { completion(refused); });
        return;
    }
    Connection& c = connectionFor(task);
    c.writes.push_back({std::move(data), 0, deadlineAfter(timeout), std::move(completion)});
    ++c.writesAsked;
    if (timeout > 0) armTimeoutCheck();
    progress(c);
}

void StreamConnections::closeRead(const std::shared_ptr<URLSessionStreamTask>& task) { close(task, /*readSide=*/true); }
void StreamConnections::closeWrite(const std::shared_ptr<URLSessionStreamTask>& task) { close(task, /*readSide=*/false); }

// A side closes once the reads (or writes) asked for before the close are done.
void StreamConnections::close(const std::shared_ptr<URLSessionStreamTask>& task, bool readSide) {
    if (task->state() == URLSessionTask::State::completed) return;
    Connection& c = connectionFor(task);
    bool& asked = readSide ? c.closeReadAsked : c.closeWriteAsked;
    if (asked) return;
    asked = true;
    (readSide ? c.closeReadAfter : c.closeWriteAfter) = readSide ? c.readsAsked : c.writesAsked;
    progress(c);
}

void StreamConnections::captureStreams(const std::shared_ptr<URLSessionStreamTask>& task) {
    if (task->state() == URLSessionTask::State::completed) return;
    Connection& c = connectionFor(task);
    if (c.captureAfter) return;
    c.captureAfter = std::make_pair(c.readsAsked, c.writesAsked);
    progress(c);
}

// ---- time-outs on the app's clock, as the session's transfers do ----

void StreamConnections::armTimeoutCheck() {
    double earliest = kNever;
    for (const auto& [id, c] : connections_) {
        earliest = std::min(earliest, c->connectDeadline);
        for (const auto& r : c->reads) earliest = std::min(earliest, r.deadline);
        for (const auto& w : c->writes) earliest = std::min(earliest, w.deadline);
    }
    if (!(earliest < scheduledCheck_)) return;
    scheduledCheck_ = earliest;
    const std::uint64_t generation = ++checkGeneration_;
    std::weak_ptr<StreamConnections> weakSelf = shared_from_this();
    dispatch::Queue::global(dispatch::QoS::utility)->after(std::max(earliest - now(), 0.001), [weakSelf, generation] {
        if (auto connections = weakSelf.lock()) {
            connections->post([weakSelf, generation] {
                auto self = weakSelf.lock();
                if (!self || generation != self->checkGeneration_) return; // replaced by an earlier check
                self->scheduledCheck_ = kNever;
                self->checkTimeouts();
            });
        }
    });
}

void StreamConnections::checkTimeouts() {
    const double t = now();
    std::vector<std::uint64_t> ids;
    for (const auto& [id, c] : connections_) ids.push_back(id);
    for (const auto id : ids) {
        auto it = connections_.find(id);
        if (it == connections_.end()) continue;
        Connection& c = *it->second;
        if (t >= c.connectDeadline) {
            end(c, makeURLError(URLErrorCode::timedOut));
            continue;
        }
        const auto timedOut = makeURLError(URLErrorCode::timedOut);
        // An expired read or write fails alone; what was received stays for the next read.
        for (auto r = c.reads.begin(); r != c.reads.end();) {
            if (t < r->deadline) {
                ++r;
                continue;
            }
            host_.deliver([completion = std::move(r->completion), timedOut] { completion({}, false, timedOut); });
            r = c.reads.erase(r);
            ++c.readsDone;
        }
        for (auto w = c.writes.begin(); w != c.writes.end();) {
            if (t < w->deadline) {
                ++w;
                continue;
            }
            host_.deliver([completion = std::move(w->completion), timedOut] { completion(timedOut); });
            w = c.writes.erase(w);
            ++c.writesDone;
        }
        progress(c);
    }
    armTimeoutCheck();
}

// ---- the session's view ----

bool StreamConnections::empty() const {
    return std::none_of(connections_.begin(), connections_.end(), [](const auto& entry) { return entry.second->started(); });
}

std::vector<std::shared_ptr<URLSessionTask>> StreamConnections::tasks() const {
    std::vector<std::shared_ptr<URLSessionTask>> started;
    for (const auto& [id, c] : connections_) {
        if (c->started()) started.push_back(c->task);
    }
    return started;
}

void StreamConnections::shutdown() {
    for (auto& [id, c] : connections_) {
        if (c->fd >= 0) ::close(c->fd);
        c->fd = -1;
        if (!c->task) continue;
        std::lock_guard lock(c->task->mutex_);
        if (c->task->state_ == URLSessionTask::State::completed) continue;
        c->task->state_ = URLSessionTask::State::completed;
        c->task->error_ = makeURLError(URLErrorCode::cancelled);
    }
    connections_.clear();
}

// ---- the task's side ----

URLSessionStreamTask::~URLSessionStreamTask() {
    // What was asked of a task that never ran is answered "cancelled".
    if (auto connections = connections_.lock()) {
        connections->post([weak = std::weak_ptr<StreamConnections>(connections), id = taskIdentifier()] {
            if (auto c = weak.lock()) c->forget(id);
        });
    }
}

template <class F>
void URLSessionStreamTask::onNetworkThread(F command) {
    auto connections = connections_.lock();
    if (!connections) return; // the session is gone
    auto self = std::static_pointer_cast<URLSessionStreamTask>(shared_from_this());
    connections->post([weak = std::weak_ptr<StreamConnections>(connections), self, command = std::move(command)]() mutable {
        if (auto c = weak.lock()) command(*c, self);
    });
}

void URLSessionStreamTask::readData(std::size_t minBytes, std::size_t maxBytes, double timeout, ReadCompletion completion) {
    onNetworkThread([minBytes, maxBytes, timeout, completion = std::move(completion)](StreamConnections& c,
                                                                                    const auto& self) mutable {
        c.read(self, minBytes, maxBytes, timeout, std::move(completion));
    });
}

void URLSessionStreamTask::writeData(core::Bytes data, double timeout, WriteCompletion completion) {
    onNetworkThread([data = std::move(data), timeout, completion = std::move(completion)](StreamConnections& c,
                                                                                         const auto& self) mutable {
        c.write(self, std::move(data), timeout, std::move(completion));
    });
}

void URLSessionStreamTask::closeRead() {
    onNetworkThread([](StreamConnections& c, const auto& self) { c.closeRead(self); });
}
void URLSessionStreamTask::closeWrite() {
    onNetworkThread([](StreamConnections& c, const auto& self) { c.closeWrite(self); });
}
void URLSessionStreamTask::captureStreams() {
    onNetworkThread([](StreamConnections& c, const auto& self) { c.captureStreams(self); });
}

} // namespace net
