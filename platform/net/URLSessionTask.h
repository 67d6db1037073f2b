#pragma once
// One transfer of a URL session.
//
// A task starts suspended; resume() starts (or continues) it, suspend() pauses it, cancel() ends
// it with the "cancelled" error (-999). Identifiers are unique within their session. The task's
// fields are read from any thread; the session's network thread writes them.

#include "platform/core/Error.h"
#include "platform/core/Object.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace net {

class URLSession;
class SessionEngine;
namespace session {
class Event;
}

class URLSessionTask : public core::Object {
    QUILLORA_CLASS(URLSessionTask)

    enum class State { running = 0, suspended = 1, canceling = 2, completed = 3 };

    std::uint64_t taskIdentifier() const { return identifier_; }
    std::optional<URLRequest> originalRequest() const;
    std::optional<URLRequest> currentRequest() const;
    std::shared_ptr<const HTTPURLResponse> response() const;
    State state() const;
    std::optional<core::Error> error() const;
    std::int64_t countOfBytesReceived() const;
    std::int64_t countOfBytesSent() const;
    std::int64_t countOfBytesExpectedToSend() const;
    // The response's expected length, or -1 before there is a response.
    std::int64_t countOfBytesExpectedToReceive() const;

    std::optional<std::string> taskDescription() const;
    void setTaskDescription(std::optional<std::string> text);

    // How soon the transfer gets a connection when its host has none to spare: the transfers
    // waiting for one start highest priority first, equal ones in the order they came to wait.
    // From 0 to 1 (values outside are clamped, NaN is the default); it can change while waiting.
    static constexpr float kPriorityLow = 0.25f;
    static constexpr float kPriorityDefault = 0.5f;
    static constexpr float kPriorityHigh = 0.75f;
    float priority() const { return priority_.load(std::memory_order_relaxed); }
    void setPriority(float priority);

    void resume();
    void suspend();
    void cancel();

    std::shared_ptr<URLSession> session() const { return session_; }

    URLSessionTask(std::shared_ptr<URLSession> session, std::uint64_t identifier, std::optional<URLRequest> request);
    ~URLSessionTask() override;

protected:
    friend class SessionEngine;
    friend class StreamConnections;

    // Guarded by mutex_.
    mutable std::mutex mutex_;
    std::optional<URLRequest> originalRequest_;
    std::optional<URLRequest> currentRequest_;
    std::shared_ptr<const HTTPURLResponse> response_;
    State state_ = State::suspended;
    std::optional<core::Error> error_;
    std::int64_t bytesReceived_ = 0;
    std::int64_t bytesSent_ = 0;
    std::int64_t bytesExpectedToSend_ = 0;
    std::optional<std::string> description_;
    bool started_ = false;

    // On the network thread, as a resume is carried out: marks the task running unless it has
    // ended or is ending. `again` is a resume after a suspend, `first` the task's start.
    enum class Resumption { ended, first, again };
    Resumption markRunning();

    // Delegate events that must wait until the delegate has answered the response (data,
    // metrics, completion) are held here; nothing is held once the answer is known.
    // An event that is still worth delivering when the response is refused (the metrics) is
    // marked so. The task owns them until they are handed over.
    bool responseDecided_ = false;
    std::vector<session::Event*> held_;

private:
    const std::shared_ptr<URLSession> session_;
    const std::uint64_t identifier_;
    std::atomic<float> priority_{kPriorityDefault};
};

class URLSessionDataTask : public URLSessionTask {
    QUILLORA_CLASS(URLSessionDataTask)
    using URLSessionTask::URLSessionTask;
};

// A data task whose request body comes from bytes, a file (read as it is sent) or, for a
// streamed upload, the stream its delegate hands over before each leg that sends the body.
class URLSessionUploadTask : public URLSessionDataTask {
    QUILLORA_CLASS(URLSessionUploadTask)
    URLSessionUploadTask(std::shared_ptr<URLSession> session, std::uint64_t identifier, std::optional<URLRequest> request,
                         std::optional<core::Bytes> body, std::optional<URL> file, bool streamed = false)
        : URLSessionDataTask(std::move(session), identifier, std::move(request)), body_(std::move(body)),
          file_(std::move(file)), streamed_(streamed) {}
    ~URLSessionUploadTask() override;

    const std::optional<core::Bytes>& bodyData() const { return body_; }
    const std::optional<URL>& bodyFile() const { return file_; }
    bool isStreamed() const { return streamed_; }

private:
    std::optional<core::Bytes> body_;
    std::optional<URL> file_;
    bool streamed_ = false;
};

// A task whose body goes to a temporary file, handed to the delegate when complete.
class URLSessionDownloadTask : public URLSessionTask {
    QUILLORA_CLASS(URLSessionDownloadTask)
    URLSessionDownloadTask(std::shared_ptr<URLSession> session, std::uint64_t identifier, std::optional<URLRequest> request,
                           std::optional<core::Bytes> resumeData = std::nullopt)
        : URLSessionTask(std::move(session), identifier, std::move(request)), resumeData_(std::move(resumeData)) {}

    // Cancels and hands over data from which a new download task can continue (nothing when
    // the download cannot be continued).
    void cancelByProducingResumeData(std::function<void(std::optional<core::Bytes>)> completion);

    const std::optional<core::Bytes>& resumeData() const { return resumeData_; }

    // Called while the delegate hears that the download finished: the file stays where it is
    // instead of being removed when the callback returns.
    void keepDownloadedFile() { keepFile_ = true; }
    bool keepsDownloadedFile() const { return keepFile_; }

private:
    std::optional<core::Bytes> resumeData_;
    std::atomic<bool> keepFile_{false};
};

class NetService;
class StreamConnections;

// A two-way byte stream over TCP to a host and port, or to a network service looked up first.
//
// Reads, writes and closes may be asked for at any time, before resume() too; they are done in
// the order asked once the connection is up, and each completion runs on the session's delegate
// queue, in order with the delegate's events. A read is answered when at least minBytes have
// come (at most maxBytes are given), at the end of the stream (atEOF) or on an error; bytes
// that come when no read waits are kept for the next one. A time-out of 0 or less means none;
// an expired read or write ends with "timed out" (-1001) and the task goes on. closeWrite() sends
// the end once the writes asked for before it are out; closeRead() stops reading once the reads
// asked for before it are answered; the delegate hears readClosed / writeClosed when a side
// closes (the peer's end of stream closes the read side). captureStreams() hands the socket over
// as a pair of blocking streams (bytes already received come first) once the reads and writes
// asked for before it are done, then the task completes. The task completes with no error once
// both sides are closed; "cannot find host" (-1003), "cannot connect to host" (-1004), "network
// connection lost" (-1005) or "cancelled" (-999) end it early, and every read or write still
// queued then, or asked for later, gets that error. After a regular end a read gets the end of
// stream and a write "network connection lost".
class URLSessionStreamTask : public URLSessionTask {
    QUILLORA_CLASS(URLSessionStreamTask)
    using ReadCompletion = std::function<void(const core::Bytes& data, bool atEOF, const std::optional<core::Error>& error)>;
    using WriteCompletion = std::function<void(const std::optional<core::Error>& error)>;

    URLSessionStreamTask(std::shared_ptr<URLSession> session, std::uint64_t identifier, std::string host, int port,
                         std::weak_ptr<StreamConnections> connections = {})
        : URLSessionTask(std::move(session), identifier, std::nullopt), host_(std::move(host)), port_(port),
          connections_(std::move(connections)) {}
    URLSessionStreamTask(std::shared_ptr<URLSession> session, std::uint64_t identifier,
                         std::shared_ptr<const NetService> service, std::weak_ptr<StreamConnections> connections)
        : URLSessionTask(std::move(session), identifier, std::nullopt), port_(0), service_(std::move(service)),
          connections_(std::move(connections)) {}
    ~URLSessionStreamTask() override;

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    // The service this task connects to, when it was made for one.
    const std::shared_ptr<const NetService>& netService() const { return service_; }

    void readData(std::size_t minBytes, std::size_t maxBytes, double timeout, ReadCompletion completion);
    void writeData(core::Bytes data, double timeout, WriteCompletion completion);
    void closeRead();
    void closeWrite();
    void captureStreams();

private:
    friend class StreamConnections;
    template <class F> void onNetworkThread(F command);

    std::string host_;
    int port_;
    std::shared_ptr<const NetService> service_;
    std::weak_ptr<StreamConnections> connections_;
};

} // namespace net
