#include "Libs/HTTPLayer/TaskDelegate.h"

#include "Libs/HTTPLayer/DataTaskDelegate.h"
#include "Libs/HTTPLayer/DownloadTaskDelegate.h"
#include "Libs/HTTPLayer/SessionDelegate.h"
#include "Libs/HTTPLayer/UploadTaskDelegate.h"

#include "platform/core/Files.h"
#include "platform/dispatch/Clock.h"
#include "platform/net/URLError.h"

namespace http {

double now() { return dispatch::absoluteTime(); }

namespace {
std::shared_ptr<dispatch::OperationQueue> makeSuspendedSerialQueue() {
    auto queue = dispatch::OperationQueue::create("org.httplayer.task-delegate");
    queue->setMaxConcurrentOperationCount(1);
    queue->setSuspended(true);
    queue->setQualityOfService(dispatch::QoS::utility);
    return queue;
}
} // namespace

// ---- TaskDelegate ----

TaskDelegate::TaskDelegate(std::shared_ptr<net::URLSessionTask> task)
    : queue_(makeSuspendedSerialQueue()), task_(std::move(task)) {}

std::shared_ptr<net::URLSessionTask> TaskDelegate::task() const {
    std::lock_guard lock(taskLock_);
    return task_;
}

void TaskDelegate::setTask(std::shared_ptr<net::URLSessionTask> task) {
    std::lock_guard lock(taskLock_);
    task_ = std::move(task);
    reset();
}

void TaskDelegate::reset() {
    error.reset();
    initialResponseTime.reset();
}

void TaskDelegate::willPerformHTTPRedirection(const Session& session, const Task& task,
                                              std::shared_ptr<const net::HTTPURLResponse> response, net::URLRequest newRequest,
                                              std::function<void(std::optional<net::URLRequest>)> completion) {
    if (taskWillPerformHTTPRedirection) {
        completion(taskWillPerformHTTPRedirection(session, task, std::move(response), newRequest));
    } else {
        completion(std::move(newRequest));
    }
}

std::optional<net::URLCredential> TaskDelegate::credential() const {
    std::lock_guard lock(credentialLock_);
    return credential_;
}

void TaskDelegate::setCredential(net::URLCredential credential) {
    std::lock_guard lock(credentialLock_);
    credential_ = std::move(credential);
}

void TaskDelegate::clearCredential() {
    std::lock_guard lock(credentialLock_);
    credential_.reset();
}

void TaskDelegate::didReceiveChallenge(const Session& session, const Task& task,
                                       const net::URLAuthenticationChallenge& challenge, net::ChallengeCompletion completion) {
    using D = net::AuthChallengeDisposition;
    if (taskDidReceiveChallenge) {
        auto [disposition, answer] = taskDidReceiveChallenge(session, task, challenge);
        completion(disposition, std::move(answer));
        return;
    }
    const auto& space = challenge.protectionSpace;
    if (space.authenticationMethod == net::kAuthenticationMethodServerTrust) {
        auto [disposition, answer] = SessionDelegate::serverTrustAnswer(session, challenge);
        completion(disposition, std::move(answer));
    } else if (challenge.previousFailureCount > 0) {
        completion(D::rejectProtectionSpace, std::nullopt);
    } else if (auto own = credential()) {
        completion(D::useCredential, net::URLChallengeCredential{std::move(own), nullptr});
    } else if (const auto& storage = session ? session->configuration().urlCredentialStorage : nullptr) {
        if (auto stored = storage->defaultCredential(space)) {
            completion(D::useCredential, net::URLChallengeCredential{stored, nullptr});
        } else {
            completion(D::performDefaultHandling, std::nullopt);
        }
    } else {
        completion(D::performDefaultHandling, std::nullopt);
    }
}

void TaskDelegate::needNewBodyStream(const Session& session, const Task& task,
                                     std::function<void(std::shared_ptr<core::InputStream>)> completion) {
    completion(taskNeedNewBodyStream ? taskNeedNewBodyStream(session, task) : nullptr);
}

void TaskDelegate::didCompleteWithError(const Session& session, const Task& task, const std::optional<Error>& completionError) {
    if (taskDidCompleteWithError) {
        taskDidCompleteWithError(session, task, completionError);
        return;
    }
    if (completionError) {
        if (!error) error = completionError;
        takeCompletionError(*completionError);
    }
    // On the session's delegate queue this hands the request's end stamp and response handlers to
    // the same worker once the current delegate event is done, rather than waking another thread
    // for every request.
    queue_->resumeAfterCurrentOperation();
}

// ---- DataTaskDelegate ----

DataTaskDelegate::DataTaskDelegate(std::shared_ptr<net::URLSessionTask> task)
    : TaskDelegate(std::move(task)), progress_(std::make_shared<Progress>(0)) {}

std::shared_ptr<Progress> DataTaskDelegate::progress() const {
    std::lock_guard lock(progressLock_);
    return progress_;
}

std::optional<core::Bytes> DataTaskDelegate::data() const {
    if (dataStream) return std::nullopt;
    if (completedBody_.isBytes()) return completedBody_.asBytes();
    return mutableData;
}

core::Value DataTaskDelegate::completeBody() {
    if (dataStream) return {};
    if (!completedBody_.isBytes()) completedBody_ = core::Value(std::move(mutableData));
    mutableData = {};
    return completedBody_;
}

void DataTaskDelegate::reset() {
    TaskDelegate::reset();
    {
        std::lock_guard lock(progressLock_);
        progress_ = std::make_shared<Progress>(0);
    }
    totalBytesReceived = 0;
    mutableData.clear();
    completedBody_ = {};
    expectedContentLength.reset();
}

void DataTaskDelegate::didReceiveResponse(const Session& session, const DataTask& task,
                                          std::shared_ptr<const net::HTTPURLResponse> response,
                                          std::function<void(net::ResponseDisposition)> completion) {
    expectedContentLength = response ? response->expectedContentLength() : net::HTTPURLResponse::kUnknownLength;
    completion(dataTaskDidReceiveResponse ? dataTaskDidReceiveResponse(session, task, std::move(response))
                                          : net::ResponseDisposition::allow);
}

void DataTaskDelegate::didBecomeDownloadTask(const Session& session, const DataTask& task, const DownloadTask& downloadTask) {
    if (dataTaskDidBecomeDownloadTask) dataTaskDidBecomeDownloadTask(session, task, downloadTask);
}

void DataTaskDelegate::didReceiveData(const Session& session, const DataTask& task, const core::Bytes& data) {
    if (!initialResponseTime) initialResponseTime = now();
    if (dataTaskDidReceiveData) {
        dataTaskDidReceiveData(session, task, data);
        return;
    }
    if (dataStream) {
        dataStream(data);
    } else {
        mutableData.insert(mutableData.end(), data.begin(), data.end());
    }
    totalBytesReceived += static_cast<std::int64_t>(data.size());
    auto current = progress();
    current->setTotalUnitCount(task ? task->countOfBytesExpectedToReceive() : net::HTTPURLResponse::kUnknownLength);
    current->setCompletedUnitCount(totalBytesReceived);
    if (progressHandler) {
        auto self = std::static_pointer_cast<DataTaskDelegate>(shared_from_this());
        deliverProgress(*progressHandler, [self] { return self->progress(); });
    }
}

DataTaskDelegate::CachedResponse DataTaskDelegate::willCacheResponse(const Session& session, const DataTask& task,
                                                                    CachedResponse proposed) {
    return dataTaskWillCacheResponse ? dataTaskWillCacheResponse(session, task, std::move(proposed)) : std::move(proposed);
}

void deliverProgress(const ProgressHandler& handler, std::function<std::shared_ptr<Progress>()> read) {
    auto queue = handler.queue ? handler.queue : dispatch::Queue::main();
    queue->async([closure = handler.closure, read = std::move(read)] {
        if (closure) closure(read());
    });
}

// ---- UploadTaskDelegate ----

UploadTaskDelegate::UploadTaskDelegate(std::shared_ptr<net::URLSessionTask> task)
    : DataTaskDelegate(std::move(task)), uploadProgress_(std::make_shared<Progress>(0)) {}

std::shared_ptr<Progress> UploadTaskDelegate::uploadProgress() const {
    std::lock_guard lock(progressLock_);
    return uploadProgress_;
}

void UploadTaskDelegate::reset() {
    DataTaskDelegate::reset();
    std::lock_guard lock(progressLock_);
    uploadProgress_ = std::make_shared<Progress>(0);
}

void UploadTaskDelegate::didSendBodyData(const Session& session, const Task& task, std::int64_t bytesSent,
                                         std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend) {
    if (!initialResponseTime) initialResponseTime = now();
    if (taskDidSendBodyData) {
        taskDidSendBodyData(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend);
        return;
    }
    auto current = uploadProgress();
    current->setTotalUnitCount(totalBytesExpectedToSend);
    current->setCompletedUnitCount(totalBytesSent);
    if (uploadProgressHandler) {
        auto self = std::static_pointer_cast<UploadTaskDelegate>(shared_from_this());
        deliverProgress(*uploadProgressHandler, [self] { return self->uploadProgress(); });
    }
}

// ---- DownloadTaskDelegate ----

DownloadTaskDelegate::DownloadTaskDelegate(std::shared_ptr<net::URLSessionTask> task)
    : TaskDelegate(std::move(task)), progress_(std::make_shared<Progress>(0)) {}

std::shared_ptr<Progress> DownloadTaskDelegate::progress() const {
    std::lock_guard lock(progressLock_);
    return progress_;
}

void DownloadTaskDelegate::reset() {
    TaskDelegate::reset();
    {
        std::lock_guard lock(progressLock_);
        progress_ = std::make_shared<Progress>(0);
    }
    resumeData.reset();
}

void DownloadTaskDelegate::takeCompletionError(const Error& completionError) {
    const auto* platformError = completionError.as<core::Error>();
    if (!platformError) return;
    if (const core::Value* data = platformError->userInfo.find(net::kDownloadTaskResumeDataKey); data && data->isBytes())
        resumeData = data->asBytes();
}

void DownloadTaskDelegate::didFinishDownloadingToURL(const Session&, const DownloadTask& task, const net::URL& location) {
    temporaryURL = location;
    auto response = task ? task->response() : nullptr;
    if (!destination || !response) return;
    auto [url, options] = destination(location, *response);
    destinationURL = url;
    if (url.path() == location.path()) {
        // Kept where it is: the session must not remove it.
        if (task) task->keepDownloadedFile();
        return;
    }
    const std::string target = url.path();
    core::Status status = core::success();
    if (options.contains(DownloadOptions::replaceExistingFile) && core::files::exists(target)) status = core::files::remove(target);
    if (status.ok() && options.contains(DownloadOptions::createParentDirectories)) {
        auto slash = target.rfind('/');
        if (slash != std::string::npos && slash > 0) status = core::files::createDirectories(target.substr(0, slash));
    }
    if (status.ok()) status = core::files::rename(location.path(), target);
    if (!status.ok()) error = Error(status.error());
}

void DownloadTaskDelegate::didWriteData(const Session& session, const DownloadTask& task, std::int64_t bytesWritten,
                                        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) {
    if (!initialResponseTime) initialResponseTime = now();
    if (downloadTaskDidWriteData) {
        downloadTaskDidWriteData(session, task, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
        return;
    }
    auto current = progress();
    current->setTotalUnitCount(totalBytesExpectedToWrite);
    current->setCompletedUnitCount(totalBytesWritten);
    if (progressHandler) {
        auto self = std::static_pointer_cast<DownloadTaskDelegate>(shared_from_this());
        deliverProgress(*progressHandler, [self] { return self->progress(); });
    }
}

void DownloadTaskDelegate::didResumeAtOffset(const Session& session, const DownloadTask& task, std::int64_t fileOffset,
                                             std::int64_t expectedTotalBytes) {
    if (downloadTaskDidResumeAtOffset) {
        downloadTaskDidResumeAtOffset(session, task, fileOffset, expectedTotalBytes);
        return;
    }
    auto current = progress();
    current->setTotalUnitCount(expectedTotalBytes);
    current->setCompletedUnitCount(fileOffset);
}

} // namespace http
