#pragma once
// One HTTP exchange over the URL session.
//
// A request owns its task delegate (which holds the task, its state and the suspended queue of
// response handlers), keeps the description its task was made from so that a retry can make it
// again, stamps when the exchange started (first resume) and ended (first operation of the
// delegate's queue), and lets callers resume, suspend, cancel, validate and print it. The session
// manager makes requests, registers them with its session delegate and resumes them.
//
// Requests are shared objects: the session delegate's table holds one while its task runs, each
// attached handler until it has run, and the caller as long as it likes. Closures the request
// leaves behind (the end-time stamp, validations) hold it weakly.
//
// Threads: resume, suspend, cancel, the setters and the descriptions run on the caller's thread
// and post their notifications there. `delegate` is read and replaced under the request's own
// lock, which is never held while calling into the delegate.

#include "Libs/HTTPLayer/Error.h"
#include "Libs/HTTPLayer/TaskConvertible.h"
#include "Libs/HTTPLayer/TaskDelegate.h"
#include "Libs/HTTPLayer/Timeline.h"

#include "platform/core/Object.h"
#include "platform/net/URLSession.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace http {

class Request : public core::Object {
    QUILLORA_CLASS(Request)

    // What a request wraps: the kind of task (which chooses the task delegate), the description it
    // was made from and the task itself, either of which may be absent.
    struct RequestTask {
        enum class Kind { data, download, upload, stream };
        Kind kind = Kind::data;
        std::shared_ptr<const TaskConvertible> taskConvertible;
        std::shared_ptr<net::URLSessionTask> task;

        static RequestTask data(std::shared_ptr<const TaskConvertible> original, std::shared_ptr<net::URLSessionTask> task) {
            return {Kind::data, std::move(original), std::move(task)};
        }
        static RequestTask download(std::shared_ptr<const TaskConvertible> original, std::shared_ptr<net::URLSessionTask> task) {
            return {Kind::download, std::move(original), std::move(task)};
        }
        static RequestTask upload(std::shared_ptr<const TaskConvertible> original, std::shared_ptr<net::URLSessionTask> task) {
            return {Kind::upload, std::move(original), std::move(task)};
        }
        static RequestTask stream(std::shared_ptr<const TaskConvertible> original, std::shared_ptr<net::URLSessionTask> task) {
            return {Kind::stream, std::move(original), std::move(task)};
        }
    };

    // The outcome of one validation.
    class ValidationResult {
    public:
        static ValidationResult success() { return ValidationResult(std::nullopt); }
        static ValidationResult failure(Error error) { return ValidationResult(std::move(error)); }
        bool isSuccess() const { return !error_; }
        const std::optional<Error>& error() const { return error_; }

    private:
        explicit ValidationResult(std::optional<Error> error) : error_(std::move(error)) {}
        std::optional<Error> error_;
    };

    // Use create<T>() (or core::make<T>()): init() queues the end-time stamp.
    Request(std::shared_ptr<net::URLSession> session, RequestTask requestTask, std::optional<Error> error = std::nullopt);
    void init() override;

    template <class T = Request>
    static std::shared_ptr<T> create(std::shared_ptr<net::URLSession> session, RequestTask requestTask,
                                     std::optional<Error> error = std::nullopt) {
        return core::make<T>(std::move(session), std::move(requestTask), std::move(error));
    }

    const std::shared_ptr<net::URLSession>& session() const { return session_; }
    const std::shared_ptr<const TaskConvertible>& originalTask() const { return originalTask_; }

    std::shared_ptr<TaskDelegate> delegate() const;
    void setDelegate(std::shared_ptr<TaskDelegate> delegate);
    std::shared_ptr<net::URLSessionTask> task() const;
    // The task's original request; subclasses fall back to their task description.
    virtual std::optional<net::URLRequest> request() const;
    std::shared_ptr<const net::HTTPURLResponse> response() const;

    unsigned retryCount() const { return retryCount_.load(); }
    void setRetryCount(unsigned count) { retryCount_.store(count); }
    std::optional<double> startTime() const;
    void setStartTime(std::optional<double> time);
    std::optional<double> endTime() const;
    void setEndTime(std::optional<double> time);

    // Validation closures, run in order by the session delegate when the task completes.
    void appendValidation(std::function<void()> validation);
    std::vector<std::function<void()>> validations() const;

    std::shared_ptr<Request> setCredential(const std::string& user, const std::string& password);
    std::shared_ptr<Request> setCredential(net::URLCredential credential);
    // ("Authorization", "Basic " + base64 of "user:password").
    static std::optional<std::pair<std::string, std::string>> basicAuthorizationHeader(const std::string& user,
                                                                                        const std::string& password);

    virtual void resume();
    virtual void suspend();
    virtual void cancel();

    // "METHOD URL (status)", leaving out what is unknown.
    std::string description() const override;
    // A curl command line that repeats the request.
    std::string debugDescription() const;

    // The timeline as of now: missing instants fall back to now (start, completed) or to the
    // completed time (initial response); the serialization time is now.
    Timeline timeline() const;

    // Validation (see Validation.cpp).
    static const std::vector<int>& defaultAcceptableStatusCodes();
    // The request's "Accept" header split at ",", else "*/*".
    std::vector<std::string> acceptedContentTypes() const;
    static ValidationResult checkStatusCode(const std::vector<int>& acceptableStatusCodes,
                                            const net::HTTPURLResponse& response);
    static ValidationResult checkContentType(const std::vector<std::string>& acceptableContentTypes,
                                             const net::HTTPURLResponse& response, const std::optional<core::Bytes>& data);

protected:
    template <class T>
    std::shared_ptr<T> self() {
        return std::static_pointer_cast<T>(shared_from_this());
    }
    void post(std::string_view name, const std::shared_ptr<net::URLSessionTask>& task);

private:
    const std::shared_ptr<net::URLSession> session_;
    std::atomic<unsigned> retryCount_{0};
    std::shared_ptr<const TaskConvertible> originalTask_;

    mutable std::mutex timesLock_; // guards the two stamps and the validations only
    std::optional<double> startTime_;
    std::optional<double> endTime_;
    std::vector<std::function<void()>> validations_;

    mutable std::mutex taskDelegateLock_;
    std::shared_ptr<TaskDelegate> taskDelegate_;
};

} // namespace http
