#include "Libs/HTTPLayer/SessionDelegate.h"

#include "Libs/HTTPLayer/DownloadTaskDelegate.h"
#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/Notifications.h"
#include "Libs/HTTPLayer/Request.h"
#include "Libs/HTTPLayer/ServerTrustPolicy.h"
#include "Libs/HTTPLayer/SessionManager.h"
#include "Libs/HTTPLayer/Timeline.h"
#include "Libs/HTTPLayer/UploadTaskDelegate.h"

#include "platform/core/NotificationCenter.h"
#include "platform/core/ProcessInfo.h"

namespace http {

namespace {
template <class D>
std::shared_ptr<D> delegateAs(const std::shared_ptr<Request>& request) {
    return request ? std::dynamic_pointer_cast<D>(request->delegate()) : nullptr;
}
} // namespace

// ---- the request table ----

std::shared_ptr<Request> SessionDelegate::requestForTask(const net::URLSessionTask& task) const {
    std::lock_guard lock(lock_);
    auto it = requests_.find(task.taskIdentifier());
    return it == requests_.end() ? nullptr : it->second;
}

void SessionDelegate::setRequestForTask(const net::URLSessionTask& task, std::shared_ptr<Request> request) {
    std::lock_guard lock(lock_);
    if (request) {
        requests_[task.taskIdentifier()] = std::move(request);
    } else {
        requests_.erase(task.taskIdentifier());
    }
}

std::optional<Error> SessionDelegate::underlyingAdaptError(const Error& error) {
    if (const auto* adaptError = error.as<AdaptError>()) return adaptError->error;
    return std::nullopt;
}

// ---- which events are wanted ----

bool SessionDelegate::respondsTo(Callback callback) const {
    // Asked only for the stream events: reading the system version takes a process-wide lock, and
    // the session asks here several times for every request it carries.
    const auto streamsOffered = [] { return core::ProcessInfo::isOperatingSystemAtLeast({9, 0, 0}); };
    switch (callback) {
    case Callback::sessionDidFinishEventsForBackgroundURLSession: return bool(sessionDidFinishEventsForBackgroundURLSession);
    case Callback::streamTaskReadClosed: return !streamsOffered() || bool(streamTaskReadClosed);
    case Callback::streamTaskWriteClosed: return !streamsOffered() || bool(streamTaskWriteClosed);
    case Callback::streamTaskBetterRouteDiscovered: return !streamsOffered() || bool(streamTaskBetterRouteDiscovered);
    case Callback::streamTaskDidBecomeStreams: return !streamsOffered() || bool(streamTaskDidBecomeInputStream);
    case Callback::sessionDidBecomeInvalid: return bool(sessionDidBecomeInvalidWithError);
    case Callback::sessionDidReceiveChallenge:
        return bool(sessionDidReceiveChallenge) || bool(sessionDidReceiveChallengeWithCompletion);
    case Callback::taskWillPerformHTTPRedirection:
        return bool(taskWillPerformHTTPRedirection) || bool(taskWillPerformHTTPRedirectionWithCompletion);
    case Callback::dataTaskDidReceiveResponse:
        return bool(dataTaskDidReceiveResponse) || bool(dataTaskDidReceiveResponseWithCompletion);
    default: return true;
    }
}

// ---- session events ----

void SessionDelegate::didBecomeInvalidWithError(const Session& session, const std::optional<core::Error>& error) {
    if (sessionDidBecomeInvalidWithError) sessionDidBecomeInvalidWithError(session, error);
}

void SessionDelegate::didReceiveChallenge(const Session& session, const net::URLAuthenticationChallenge& challenge,
                                          net::ChallengeCompletion completion) {
    if (sessionDidReceiveChallengeWithCompletion) {
        sessionDidReceiveChallengeWithCompletion(session, challenge, std::move(completion));
        return;
    }
    if (sessionDidReceiveChallenge) {
        auto [disposition, credential] = sessionDidReceiveChallenge(session, challenge);
        completion(disposition, std::move(credential));
        return;
    }
    auto [disposition, credential] = serverTrustAnswer(session, challenge);
    completion(disposition, std::move(credential));
}

SessionDelegate::ChallengeAnswer SessionDelegate::serverTrustAnswer(const Session& session,
                                                                    const net::URLAuthenticationChallenge& challenge) {
    using D = net::AuthChallengeDisposition;
    const auto& space = challenge.protectionSpace;
    if (space.authenticationMethod != net::kAuthenticationMethodServerTrust || !session) return {D::performDefaultHandling, std::nullopt};
    const std::string& host = space.host;
    auto manager = serverTrustPolicyManager(*session);
    if (!manager) return {D::performDefaultHandling, std::nullopt};
    auto policy = manager->policy(host);
    if (!policy) return {D::performDefaultHandling, std::nullopt};
    const auto& trust = challenge.serverTrust;
    if (!trust) return {D::performDefaultHandling, std::nullopt};
    if (policy->evaluate(trust, host)) return {D::useCredential, net::URLChallengeCredential{std::nullopt, trust}};
    return {D::cancelAuthenticationChallenge, std::nullopt};
}

bool SessionDelegate::wantsServerTrustChallenge(const Session& session, const Task& task, const std::string& host) {
    if (sessionDidReceiveChallenge || sessionDidReceiveChallengeWithCompletion || taskDidReceiveChallenge ||
        taskDidReceiveChallengeWithCompletion)
        return true;
    if (auto request = requestForTask(*task); request && request->delegate()->taskDidReceiveChallenge) return true;
    auto manager = session ? serverTrustPolicyManager(*session) : nullptr;
    return manager && manager->policy(host).has_value();
}

void SessionDelegate::didFinishEventsForBackgroundURLSession(const Session& session) {
    if (sessionDidFinishEventsForBackgroundURLSession) sessionDidFinishEventsForBackgroundURLSession(session);
}

// ---- task events ----

void SessionDelegate::willPerformHTTPRedirection(const Session& session, const Task& task, Response response,
                                                 net::URLRequest newRequest,
                                                 std::function<void(std::optional<net::URLRequest>)> completion) {
    if (taskWillPerformHTTPRedirectionWithCompletion) {
        taskWillPerformHTTPRedirectionWithCompletion(session, task, std::move(response), newRequest, std::move(completion));
    } else if (taskWillPerformHTTPRedirection) {
        completion(taskWillPerformHTTPRedirection(session, task, std::move(response), newRequest));
    } else {
        completion(std::move(newRequest));
    }
}

void SessionDelegate::didReceiveChallenge(const Session& session, const Task& task,
                                          const net::URLAuthenticationChallenge& challenge, net::ChallengeCompletion completion) {
    if (taskDidReceiveChallengeWithCompletion) {
        taskDidReceiveChallengeWithCompletion(session, task, challenge, std::move(completion));
    } else if (taskDidReceiveChallenge) {
        auto [disposition, credential] = taskDidReceiveChallenge(session, task, challenge);
        completion(disposition, std::move(credential));
    } else if (auto request = requestForTask(*task)) {
        request->delegate()->didReceiveChallenge(session, task, challenge, std::move(completion));
    } else {
        didReceiveChallenge(session, challenge, std::move(completion));
    }
}

void SessionDelegate::needNewBodyStream(const Session& session, const Task& task,
                                        std::function<void(std::shared_ptr<core::InputStream>)> completion) {
    if (taskNeedNewBodyStreamWithCompletion) {
        taskNeedNewBodyStreamWithCompletion(session, task, std::move(completion));
    } else if (taskNeedNewBodyStream) {
        completion(taskNeedNewBodyStream(session, task));
    } else if (auto request = requestForTask(*task)) {
        auto taskDelegate = request->delegate();
        completion(taskDelegate->taskNeedNewBodyStream ? taskDelegate->taskNeedNewBodyStream(session, task) : nullptr);
    } else {
        // Every task is registered before it starts, so this is a task of someone else's: no body.
        completion(nullptr);
    }
}

void SessionDelegate::didSendBodyData(const Session& session, const Task& task, std::int64_t bytesSent,
                                      std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend) {
    if (taskDidSendBodyData) {
        taskDidSendBodyData(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend);
    } else if (auto upload = delegateAs<UploadTaskDelegate>(requestForTask(*task))) {
        upload->didSendBodyData(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend);
    }
}

void SessionDelegate::didFinishCollectingMetrics(const Session&, const Task& task,
                                                 std::shared_ptr<net::URLSessionTaskMetrics> metrics) {
    if (auto request = requestForTask(*task)) request->delegate()->metrics = std::move(metrics);
}

void SessionDelegate::didCompleteWithError(const Session& session, const Task& task, const std::optional<core::Error>& platformError) {
    std::optional<Error> transportError;
    if (platformError) transportError = Error(*platformError);
    auto request = requestForTask(*task);
    auto manager = sessionManager.lock();
    if (!request || !manager) {
        finishTask(session, task, transportError);
        return;
    }
    for (const auto& validation : request->validations()) validation();
    auto taskDelegate = request->delegate();
    std::optional<Error> error = taskDelegate->error ? taskDelegate->error : transportError;
    auto currentRetrier = retrier;
    if (!currentRetrier || !error) {
        finishTask(session, task, error);
        return;
    }
    std::weak_ptr<SessionDelegate> weakSelf = std::static_pointer_cast<SessionDelegate>(shared_from_this());
    currentRetrier->shouldRetryRequest(manager, request, *error,
                                       [weakSelf, session, task, request, error = *error](bool shouldRetry, double delay) {
                                           if (auto self = weakSelf.lock())
                                               self->retryLater(session, task, request, error, shouldRetry, delay);
                                       });
}

void SessionDelegate::retryLater(const Session& session, const Task& task, const std::shared_ptr<Request>& request,
                                 const Error& error, bool shouldRetry, double delay) {
    if (!shouldRetry) {
        finishTask(session, task, error);
        return;
    }
    std::weak_ptr<SessionDelegate> weakSelf = std::static_pointer_cast<SessionDelegate>(shared_from_this());
    after(dispatch::Queue::global(dispatch::QoS::utility), delay, [weakSelf, session, task, request, error] {
        auto self = weakSelf.lock();
        if (!self) return;
        auto manager = self->sessionManager.lock();
        // retry() registers the new task before it resumes it, so a failure that comes at once
        // still finds the request and completes it.
        if (manager && manager->retry(request) && request->task()) return;
        self->finishTask(session, task, error);
    });
}

void SessionDelegate::finishTask(const Session& session, const Task& task, const std::optional<Error>& error) {
    if (taskDidComplete) taskDidComplete(session, task, error);
    auto request = requestForTask(*task);
    auto taskDelegate = request ? request->delegate() : nullptr;
    // Read the body before the queue is released, while nothing else looks at it. The notification
    // shares it with the response handlers rather than holding a copy (up to a whole body more).
    core::Dictionary userInfo{{std::string(Notification::Key::Task), core::Value(task)}};
    if (auto data = std::dynamic_pointer_cast<DataTaskDelegate>(taskDelegate); data && !data->dataStream)
        userInfo.set(std::string(Notification::Key::ResponseData), data->completeBody());
    if (taskDelegate) taskDelegate->didCompleteWithError(session, task, error);
    core::NotificationCenter::defaultCenter().post(std::string(Notification::Name::Task::DidComplete), shared_from_this(),
                                                   std::move(userInfo));
    setRequestForTask(*task, nullptr);
}

// ---- data task events ----

void SessionDelegate::didReceiveResponse(const Session& session, const DataTask& task, Response response,
                                         std::function<void(net::ResponseDisposition)> completion) {
    if (dataTaskDidReceiveResponseWithCompletion) {
        dataTaskDidReceiveResponseWithCompletion(session, task, std::move(response), std::move(completion));
    } else if (dataTaskDidReceiveResponse) {
        completion(dataTaskDidReceiveResponse(session, task, std::move(response)));
    } else {
        completion(net::ResponseDisposition::allow);
    }
}

void SessionDelegate::didBecomeDownloadTask(const Session& session, const DataTask& task, const DownloadTask& downloadTask) {
    if (dataTaskDidBecomeDownloadTask) {
        dataTaskDidBecomeDownloadTask(session, task, downloadTask);
    } else if (auto request = requestForTask(*downloadTask)) {
        request->setDelegate(std::make_shared<DownloadTaskDelegate>(downloadTask));
    }
}

void SessionDelegate::didReceiveData(const Session& session, const DataTask& task, const core::Bytes& data) {
    if (dataTaskDidReceiveData) {
        dataTaskDidReceiveData(session, task, data);
    } else if (auto dataDelegate = delegateAs<DataTaskDelegate>(requestForTask(*task))) {
        dataDelegate->didReceiveData(session, task, data);
    }
}

void SessionDelegate::willCacheResponse(const Session& session, const DataTask& task, CachedResponse proposed,
                                        std::function<void(CachedResponse)> completion) {
    if (dataTaskWillCacheResponseWithCompletion) {
        dataTaskWillCacheResponseWithCompletion(session, task, std::move(proposed), std::move(completion));
    } else if (dataTaskWillCacheResponse) {
        completion(dataTaskWillCacheResponse(session, task, std::move(proposed)));
    } else if (auto dataDelegate = delegateAs<DataTaskDelegate>(requestForTask(*task))) {
        completion(dataDelegate->willCacheResponse(session, task, std::move(proposed)));
    } else {
        completion(std::move(proposed));
    }
}

// ---- download task events ----

void SessionDelegate::didFinishDownloadingToURL(const Session& session, const DownloadTask& task, const net::URL& location) {
    if (downloadTaskDidFinishDownloadingToURL) {
        downloadTaskDidFinishDownloadingToURL(session, task, location);
    } else if (auto download = delegateAs<DownloadTaskDelegate>(requestForTask(*task))) {
        download->didFinishDownloadingToURL(session, task, location);
    }
}

void SessionDelegate::didWriteData(const Session& session, const DownloadTask& task, std::int64_t bytesWritten,
                                   std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) {
    if (downloadTaskDidWriteData) {
        downloadTaskDidWriteData(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    } else if (auto download = delegateAs<DownloadTaskDelegate>(requestForTask(*task))) {
        download->didWriteData(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    }
}

void SessionDelegate::didResumeAtOffset(const Session& session, const DownloadTask& task, std::int64_t fileOffset,
                                        std::int64_t expectedTotalBytes) {
    if (downloadTaskDidResumeAtOffset) {
        downloadTaskDidResumeAtOffset(session, task, fileOffset, expectedTotalBytes);
    } else if (auto download = delegateAs<DownloadTaskDelegate>(requestForTask(*task))) {
        download->didResumeAtOffset(session, task, fileOffset, expectedTotalBytes);
    }
}

// ---- stream task events ----

void SessionDelegate::readClosed(const Session& session, const StreamTask& task) {
    if (streamTaskReadClosed) streamTaskReadClosed(session, task);
}
void SessionDelegate::writeClosed(const Session& session, const StreamTask& task) {
    if (streamTaskWriteClosed) streamTaskWriteClosed(session, task);
}
void SessionDelegate::betterRouteDiscovered(const Session& session, const StreamTask& task) {
    if (streamTaskBetterRouteDiscovered) streamTaskBetterRouteDiscovered(session, task);
}
void SessionDelegate::didBecomeInputStream(const Session& session, const StreamTask& task,
                                           std::shared_ptr<core::InputStream> input, std::shared_ptr<core::OutputStream> output) {
    if (streamTaskDidBecomeInputStream) streamTaskDidBecomeInputStream(session, task, std::move(input), std::move(output));
}

} // namespace http
