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
#include <vector>

namespace net {

class URLSession;
class SessionEngine;

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

    void resume();
    void suspend();
    void cancel();

    std::shared_ptr<URLSession> session() const { return session_; }

    URLSessionTask(std::shared_ptr<URLSession> session, std::uint64_t identifier, std::optional<URLRequest> request);

protected:
    friend class SessionEngine;

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

    // Delegate events that must wait until the delegate has answered the response (data,
    // metrics, completion) are held here; nothing is held once the answer is known.
    // An event that is still worth delivering when the response is refused (the metrics) is
    // marked so.
    bool responseDecided_ = false;
    std::vector<std::pair<bool, std::function<void()>>> held_;

private:
    const std::shared_ptr<URLSession> session_;
    const std::uint64_t identifier_;
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

// A byte stream to a host and port. Created for completeness of the session's surface; reading
// and writing are not offered.
class URLSessionStreamTask : public URLSessionTask {
    QUILLORA_CLASS(URLSessionStreamTask)
    URLSessionStreamTask(std::shared_ptr<URLSession> session, std::uint64_t identifier, std::string host, int port)
        : URLSessionTask(std::move(session), identifier, std::nullopt), host_(std::move(host)), port_(port) {}
    const std::string& host() const { return host_; }
    int port() const { return port_; }

private:
    std::string host_;
    int port_;
};

} // namespace net
