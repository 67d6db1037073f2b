#include "image_cache/RIImageDownloader.h"

#include "image_cache/RIImageCoderHelper.h"
#include "image_cache/RIImageCoders.h"

#include "platform/core/NotificationCenter.h"
#include "platform/net/URLError.h"
#include "platform/ui/Application.h"

#include <algorithm>

namespace image_cache {
namespace {

core::Error imageError(std::string description) { return core::Error{kRIImageErrorDomain, 0, std::move(description), {}}; }

std::string keyFor(const net::URLRequest& request) { return request.url ? request.url->absoluteString() : std::string(); }

// The session holds its delegate strongly; this one reaches the operations weakly, through a
// lookup: the downloader's table for its own session, the one operation for a session an
// operation made for itself. An event no operation takes gets the session's default answer.
class OperationForwarder final : public net::URLSessionDelegate {
public:
    using Lookup = std::function<std::shared_ptr<RIImageDownloaderOperationInterface>(const net::URLSessionTask&)>;
    explicit OperationForwarder(Lookup lookup) : lookup_(std::move(lookup)) {}
    using net::URLSessionDelegate::didReceiveChallenge;

    void didReceiveResponse(const Session& session, const DataTask& task, std::shared_ptr<const net::HTTPURLResponse> response,
                            std::function<void(net::ResponseDisposition)> completion) override {
        if (auto op = find(task, Callback::dataTaskDidReceiveResponse)) op->didReceiveResponse(session, task, std::move(response), std::move(completion));
        else completion(net::ResponseDisposition::allow);
    }
    void didReceiveData(const Session& session, const DataTask& task, const core::Bytes& data) override {
        if (auto op = find(task, Callback::dataTaskDidReceiveData)) op->didReceiveData(session, task, data);
    }
    void willCacheResponse(const Session& session, const DataTask& task, std::shared_ptr<const net::CachedURLResponse> proposed,
                           std::function<void(std::shared_ptr<const net::CachedURLResponse>)> completion) override {
        if (auto op = find(task, Callback::dataTaskWillCacheResponse)) op->willCacheResponse(session, task, std::move(proposed), std::move(completion));
        else completion(std::move(proposed));
    }
    void didCompleteWithError(const Session& session, const Task& task, const std::optional<core::Error>& error) override {
        if (auto op = find(task, Callback::taskDidComplete)) op->didCompleteWithError(session, task, error);
    }
    void willPerformHTTPRedirection(const Session& session, const Task& task, std::shared_ptr<const net::HTTPURLResponse> response,
                                    net::URLRequest newRequest, std::function<void(std::optional<net::URLRequest>)> completion) override {
        if (auto op = find(task, Callback::taskWillPerformHTTPRedirection))
            op->willPerformHTTPRedirection(session, task, std::move(response), std::move(newRequest), std::move(completion));
        else completion(std::move(newRequest));
    }
    void didReceiveChallenge(const Session& session, const Task& task, const net::URLAuthenticationChallenge& challenge,
                             net::ChallengeCompletion completion) override {
        if (auto op = find(task, Callback::taskDidReceiveChallenge)) op->didReceiveChallenge(session, task, challenge, std::move(completion));
        else completion(net::AuthChallengeDisposition::performDefaultHandling, std::nullopt);
    }
    bool wantsServerTrustChallenge(const Session& session, const Task& task, const std::string& host) override {
        auto op = find(task, Callback::taskDidReceiveChallenge);
        return op && op->wantsServerTrustChallenge(session, task, host);
    }

private:
    std::shared_ptr<RIImageDownloaderOperationInterface> find(const std::shared_ptr<net::URLSessionTask>& task, Callback callback) const {
        auto op = task ? lookup_(*task) : nullptr;
        return op && op->respondsTo(callback) ? op : nullptr;
    }
    Lookup lookup_;
};

bool isServerTrust(const net::URLAuthenticationChallenge& challenge) {
    return challenge.protectionSpace.authenticationMethod == net::kAuthenticationMethodServerTrust;
}

// Who registered for the downloader's start and stop notifications on behalf of the network
// activity indicator; replaced whenever the hook runs again.
struct ActivityHook {
    std::mutex mutex;
    core::NotificationCenter::Token start;  // guarded by mutex
    core::NotificationCenter::Token stop;   // guarded by mutex
};

ActivityHook& activityHook() {
    static auto* hook = new ActivityHook;  // kept for the process: observers may fire during exit
    return *hook;
}
} // namespace

// The operation.

RIImageDownloaderOperation::RIImageDownloaderOperation(net::URLRequest request, std::shared_ptr<net::URLSession> session, std::uint64_t options)
    : request_(std::move(request)), unownedSession_(session), options_(options),
      coderQueue_(dispatch::Queue::serial("com.tarnwick.RIImageDownloaderOperationCoderQueue")) {}

RIImageDownloaderOperation::~RIImageDownloaderOperation() {
    // An operation let go before it ended still lets its own session go.
    if (ownedSession_) ownedSession_->invalidateAndCancel();
}

std::shared_ptr<RIImageDownloaderCallbacks> RIImageDownloaderOperation::addHandlersForProgress(RIImageDownloaderProgressBlock progress,
                                                                                               RIImageDownloaderCompletedBlock completed) {
    auto record = std::make_shared<RIImageDownloaderCallbacks>(RIImageDownloaderCallbacks{std::move(progress), std::move(completed)});
    std::lock_guard lock(lock_);
    if (answered_) return nullptr;
    callbackBlocks_.push_back(record);
    return record;
}

bool RIImageDownloaderOperation::canJoin() const {
    if (isFinished() || isCancelled()) return false;
    std::lock_guard lock(lock_);
    return !answered_;
}

bool RIImageDownloaderOperation::cancel(const std::shared_ptr<RIImageDownloaderCallbacks>& token) {
    bool none;
    {
        std::lock_guard lock(lock_);
        std::erase(callbackBlocks_, token);
        none = callbackBlocks_.empty();
    }
    if (none) cancel();
    return none;
}

std::shared_ptr<net::URLSessionDataTask> RIImageDownloaderOperation::dataTask() const {
    std::lock_guard lock(lock_);
    return dataTask_;
}

std::vector<RIImageDownloaderCallbacks> RIImageDownloaderOperation::callbacks() const {
    std::lock_guard lock(lock_);
    std::vector<RIImageDownloaderCallbacks> out;
    for (const auto& record : callbackBlocks_) out.push_back(*record);
    return out;
}

void RIImageDownloaderOperation::callProgress(std::int64_t received, std::int64_t expected) {
    for (const auto& c : callbacks())
        if (c.progress) c.progress(received, expected, request_.url);
}

void RIImageDownloaderOperation::completeCallers(ImagePtr image, Data data, std::optional<core::Error> error, bool finished) {
    std::vector<RIImageDownloaderCompletedBlock> blocks;
    {
        // The final answer closes the operation to new callers in the same step.
        std::lock_guard lock(lock_);
        if (finished && answered_) return;  // a cancel answered first
        if (finished) answered_ = true;
        for (const auto& record : callbackBlocks_)
            if (record->completed) blocks.push_back(record->completed);
    }
    if (blocks.empty()) return;
    dispatch::Queue::main()->async([blocks = std::move(blocks), image, data = std::move(data), error = std::move(error), finished] {
        for (const auto& block : blocks) block(image, data, error, finished);
    });
}

void RIImageDownloaderOperation::post(const char* name) {
    // Notification senders are core objects; an operation is not one, so the post has no sender.
    dispatch::Queue::main()->async([name] { core::NotificationCenter::defaultCenter().post(name); });
}

void RIImageDownloaderOperation::main() {
    auto& app = ui::Application::shared();
    auto backgroundTask = std::make_shared<std::atomic<ui::Application::BackgroundTaskIdentifier>>(ui::Application::kBackgroundTaskInvalid);
    if (options_ & RIImageDownloaderContinueInBackground) {
        std::weak_ptr<Operation> weak = weak_from_this();
        backgroundTask->store(app.beginBackgroundTask([weak, backgroundTask] {
            if (auto self = weak.lock()) self->cancel();
            auto id = backgroundTask->exchange(ui::Application::kBackgroundTaskInvalid);
            if (id != ui::Application::kBackgroundTaskInvalid) ui::Application::shared().endBackgroundTask(id);
        }));
    }
    auto session = unownedSession_.lock();
    if (!session) {
        // The downloader's session is gone: one of our own, for this transfer only.
        auto configuration = net::URLSessionConfiguration::defaultConfiguration();
        configuration.timeoutIntervalForRequest = std::max(kOwnedSessionTimeout, request_.timeoutInterval);
        configuration.maximumBodyLength = RIImageDownloader::kDefaultMaximumBodyLength;
        std::weak_ptr<Operation> weak = weak_from_this();
        session = net::URLSession::create(std::move(configuration), std::make_shared<OperationForwarder>([weak](const net::URLSessionTask&) {
            return std::static_pointer_cast<RIImageDownloaderOperationInterface>(weak.lock());
        }));
    }
    if (options_ & RIImageDownloaderIgnoreCachedResponse) {
        // What the URL cache holds now: a body equal to it brings nothing new.
        auto cache = session->configuration().urlCache ? session->configuration().urlCache : net::URLCache::shared();
        std::lock_guard cacheLock(*cache);
        if (auto stored = cache->cachedResponse(request_)) {
            std::lock_guard lock(lock_);
            cachedData_ = std::string(stored->data.begin(), stored->data.end());
        }
    }
    std::shared_ptr<net::URLSessionDataTask> task = session->dataTask(request_);
    {
        std::lock_guard lock(lock_);
        dataTask_ = task;
        if (session != unownedSession_.lock()) ownedSession_ = session;
    }
    if (!task) {
        completeCallers(nullptr, std::nullopt, core::Error{std::string(net::kURLErrorDomain), -1, "Task can't be initialized", {}}, true);
        done();
    } else {
        // Callers hear of the start before any event of the transfer can reach them.
        callProgress(0, -1);
        if (options_ & RIImageDownloaderHighPriority) task->setPriority(net::URLSessionTask::kPriorityHigh);
        else if (options_ & RIImageDownloaderLowPriority) task->setPriority(net::URLSessionTask::kPriorityLow);
        task->resume();
        post(kRIImageDownloadStartNotification);
    }
    auto id = backgroundTask->exchange(ui::Application::kBackgroundTaskInvalid);
    if (id != ui::Application::kBackgroundTaskInvalid) app.endBackgroundTask(id);
}

bool RIImageDownloaderOperation::respondsTo(Callback callback) const {
    switch (callback) {
    case Callback::dataTaskDidReceiveResponse:
    case Callback::dataTaskDidReceiveData:
    case Callback::dataTaskWillCacheResponse:
    case Callback::taskDidComplete:
    case Callback::taskDidReceiveChallenge: return true;
    default: return false;
    }
}

bool RIImageDownloaderOperation::wantsServerTrustChallenge(const Session&, const Task&, const std::string&) {
    return (options_ & RIImageDownloaderAllowInvalidCertificates) != 0;
}

void RIImageDownloaderOperation::didReceiveChallenge(const Session&, const Task&, const net::URLAuthenticationChallenge& challenge,
                                                     net::ChallengeCompletion completion) {
    using D = net::AuthChallengeDisposition;
    if (isServerTrust(challenge)) {
        if ((options_ & RIImageDownloaderAllowInvalidCertificates) && challenge.serverTrust)
            completion(D::useCredential, net::URLChallengeCredential{std::nullopt, challenge.serverTrust});
        else
            completion(D::performDefaultHandling, std::nullopt);
        return;
    }
    // Without a credential of its own the session's default handling (its stored default
    // credential, else the 401 as the answer); a credential goes once, so a wrong one ends the
    // transfer instead of asking again and again.
    if (!credential) completion(D::performDefaultHandling, std::nullopt);
    else if (challenge.previousFailureCount == 0) completion(D::useCredential, net::URLChallengeCredential{credential, nullptr});
    else completion(D::cancelAuthenticationChallenge, std::nullopt);
}

void RIImageDownloaderOperation::didReceiveResponse(const Session&, const DataTask&, std::shared_ptr<const net::HTTPURLResponse> response,
                                                    std::function<void(net::ResponseDisposition)> completion) {
    std::int64_t expected = response ? std::max<std::int64_t>(0, response->expectedContentLength()) : 0;
    int status = response ? response->statusCode() : 0;
    bool valid;
    {
        std::lock_guard lock(lock_);
        // A 304 stands for the cached body, so it is an answer only when there is one.
        valid = !response || (status < 400 && (status != 304 || cachedData_));
        expectedSize_ = expected;
        if (!valid) refusedStatus_ = status;
    }
    if (valid) callProgress(0, expected);
    post(kRIImageDownloadReceiveResponseNotification);
    completion(valid ? net::ResponseDisposition::allow : net::ResponseDisposition::cancel);
}

void RIImageDownloaderOperation::didReceiveData(const Session&, const DataTask&, const core::Bytes& data) {
    std::int64_t expected, received;
    bool decodePartial = false;
    {
        std::lock_guard lock(lock_);
        if (!receivedData_) {
            // The announced length is only a hint: a huge one must not reserve memory up front.
            imageData_.reserve(std::min<std::size_t>(static_cast<std::size_t>(std::max<std::int64_t>(0, expectedSize_)), kMaxInitialCapacity));
            receivedData_ = true;
        }
        imageData_.append(reinterpret_cast<const char*>(data.data()), data.size());
        expected = expectedSize_;
        received = static_cast<std::int64_t>(imageData_.size());
        if ((options_ & RIImageDownloaderProgressiveLoad) && expected > 0) {
            // Pending partial decodes coalesce: the coder queue takes the newest bytes.
            decodePartial = !pendingPartial_.has_value();
            pendingPartial_ = imageData_;
        }
    }
    if (decodePartial) {
        std::weak_ptr<Operation> weak = weak_from_this();
        coderQueue_->async([weak, expected] {
            auto self = std::static_pointer_cast<RIImageDownloaderOperation>(weak.lock());
            if (!self) return;
            Data bytes;
            {
                std::lock_guard lock(self->lock_);
                bytes = std::move(self->pendingPartial_);
                self->pendingPartial_.reset();
            }
            if (!bytes || self->isFinished()) return;
            bool finished = static_cast<std::int64_t>(bytes->size()) >= expected;
            if (!self->progressiveCoder_) {
                for (const auto& coder : RIImageCodersManager::sharedInstance()->coders()) {
                    if (std::dynamic_pointer_cast<RIImageImageIOCoder>(coder) && coder->canDecodeFromData(bytes)) {
                        self->progressiveCoder_ = std::make_shared<RIImageImageIOCoder>();
                        break;
                    }
                }
            }
            if (!self->progressiveCoder_) return;
            ImagePtr image = self->progressiveCoder_->incrementallyDecodedImageWithData(bytes, finished);
            if (!image) return;
            image = scaledImageForKey(keyFor(self->request_), image);
            if (self->shouldDecompressImages) {
                Data none;
                image = RIImageCodersManager::sharedInstance()->decompressedImageWithImage(image, none, {false});
            }
            self->completeCallers(image, std::nullopt, std::nullopt, false);
        });
    }
    callProgress(received, expected);
}

void RIImageDownloaderOperation::willCacheResponse(const Session&, const DataTask&, std::shared_ptr<const net::CachedURLResponse> proposed,
                                                   std::function<void(std::shared_ptr<const net::CachedURLResponse>)> completion) {
    completion((options_ & RIImageDownloaderUseURLCache) ? std::move(proposed) : nullptr);
}

void RIImageDownloaderOperation::didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& sessionError) {
    std::optional<core::Error> error = sessionError;
    std::string data;
    bool anyCompletion = false;
    bool unchanged = false;
    {
        std::lock_guard lock(lock_);
        dataTask_.reset();
        if (refusedStatus_ != 0) {
            core::Dictionary info;
            info.set("statusCode", static_cast<std::int64_t>(refusedStatus_));
            error = core::Error{std::string(net::kURLErrorDomain), static_cast<long long>(net::URLErrorCode::badServerResponse),
                                "The server refused the request with status " + std::to_string(refusedStatus_) + ".", info};
        }
        data = std::move(imageData_);  // nothing arrives after the end
        unchanged = (options_ & RIImageDownloaderIgnoreCachedResponse) && cachedData_ && !data.empty() && data == *cachedData_;
        for (const auto& record : callbackBlocks_) anyCompletion = anyCompletion || static_cast<bool>(record->completed);
        stopPosted_ = true;
    }
    post(kRIImageDownloadStopNotification);
    if (!error) post(kRIImageDownloadFinishNotification);
    // Every answer goes through the coder queue, behind any partial decode already queued.
    auto self = std::static_pointer_cast<RIImageDownloaderOperation>(shared_from_this());
    coderQueue_->async([self, error, data = std::move(data), anyCompletion, unchanged]() mutable {
        if (error) {
            self->completeCallers(nullptr, std::nullopt, error, true);
        } else if (anyCompletion) {
            if (unchanged) {
                // The picture the caller has already: nothing new to report.
                self->completeCallers(nullptr, std::nullopt, std::nullopt, true);
            } else if (data.empty()) {
                self->completeCallers(nullptr, std::nullopt, imageError("Image data is nil"), true);
            } else {
                Data bytes = std::move(data);
                auto manager = RIImageCodersManager::sharedInstance();
                const RIImageCoderOptions decoding{(self->options_ & RIImageDownloaderScaleDownLargeImages) != 0};
                ImagePtr image = scaledImageForKey(keyFor(self->request_), manager->decodedImageWithData(bytes, decoding));
                if (image && image->images().empty() && self->shouldDecompressImages)
                    image = manager->decompressedImageWithImage(image, bytes, decoding);
                if (!image || image->pixelWidth() == 0 || image->pixelHeight() == 0)
                    self->completeCallers(nullptr, std::nullopt, imageError("Downloaded image has 0 pixels"), true);
                else
                    self->completeCallers(image, bytes, std::nullopt, true);
            }
        }
        self->done();
    });
}

void RIImageDownloaderOperation::cancel() {
    if (isFinished()) return;
    dispatch::Operation::cancel();
    std::shared_ptr<net::URLSessionDataTask> task;
    bool postStop = false;
    {
        std::lock_guard lock(lock_);
        task = std::move(dataTask_);
        dataTask_.reset();
        postStop = task && !stopPosted_;
        stopPosted_ = stopPosted_ || postStop;
    }
    if (task) task->cancel();
    if (postStop) post(kRIImageDownloadStopNotification);
    // Callers that cancelled their tokens are gone from the list and hear nothing. Any still
    // listed did not ask for this (the downloader cancelled its downloads or replaced its
    // session, or the background time ran out): they hear that it was cancelled, once.
    completeCallers(nullptr, std::nullopt, net::makeURLError(net::URLErrorCode::cancelled, request_.url), true);
    reset();
    if (isExecuting()) done();
}

void RIImageDownloaderOperation::done() {
    finish();
    reset();
}

void RIImageDownloaderOperation::reset() {
    std::shared_ptr<net::URLSession> owned;
    {
        std::lock_guard lock(lock_);
        callbackBlocks_.clear();
        dataTask_.reset();
        owned = std::move(ownedSession_);
        ownedSession_.reset();
    }
    if (owned) owned->invalidateAndCancel();
}

void RIImageDownloadToken::cancel() {
    if (auto op = downloadOperation.lock(); op && downloadOperationCancelToken) op->cancel(downloadOperationCancelToken);
}

// The downloader.

std::shared_ptr<RIImageDownloader> RIImageDownloader::sharedDownloader() {
    static const auto* downloader = [] {
        auto* shared = new std::shared_ptr<RIImageDownloader>(create());  // kept for the whole process
        (*shared)->isShared_ = true;
        return shared;
    }();
    return *downloader;
}

void RIImageDownloader::initialize() {
    auto indicator = std::dynamic_pointer_cast<RINetworkActivityIndicatorInterface>(
        core::ClassRegistry::create(kRINetworkActivityIndicatorClassName));
    auto& hook = activityHook();
    core::NotificationCenter::Token start, stop;
    if (indicator) {
        auto& center = core::NotificationCenter::defaultCenter();
        start = center.addObserver(kRIImageDownloadStartNotification, [indicator](const core::Notification&) { indicator->startActivity(); });
        stop = center.addObserver(kRIImageDownloadStopNotification, [indicator](const core::Notification&) { indicator->stopActivity(); });
    }
    std::lock_guard lock(hook.mutex);
    // The tokens replaced here go at the end of the scope, with the lock already released.
    std::swap(hook.start, start);
    std::swap(hook.stop, stop);
}

std::shared_ptr<RIImageDownloader> RIImageDownloader::create(net::URLSessionConfiguration configuration) {
    static std::once_flag initialized;
    std::call_once(initialized, &RIImageDownloader::initialize);
    std::shared_ptr<RIImageDownloader> downloader(new RIImageDownloader());
    downloader->downloadQueue_ = dispatch::OperationQueue::create("com.tarnwick.RIImageDownloader");
    downloader->downloadQueue_->setMaxConcurrentOperationCount(6);
    auto session = downloader->makeSession(std::move(configuration));
    std::lock_guard lock(downloader->sessionLock_);
    downloader->session_ = std::move(session);
    return downloader;
}

RIImageDownloader::~RIImageDownloader() {
    if (downloadQueue_) downloadQueue_->cancelAllOperations();
    if (session_) session_->invalidateAndCancel();
}

std::shared_ptr<net::URLSession> RIImageDownloader::makeSession(net::URLSessionConfiguration configuration) {
    if (configuration.maximumBodyLength < 0) configuration.maximumBodyLength = kDefaultMaximumBodyLength;
    {
        std::lock_guard lock(sessionLock_);
        configuration_ = configuration;
    }
    std::weak_ptr<RIImageDownloader> weak = weak_from_this();
    return net::URLSession::create(std::move(configuration), std::make_shared<OperationForwarder>([weak](const net::URLSessionTask& task) {
        auto self = weak.lock();
        return self ? self->operationWithTask(task.taskIdentifier()) : nullptr;
    }));
}

std::shared_ptr<net::URLSession> RIImageDownloader::currentSession() const {
    std::lock_guard lock(sessionLock_);
    return session_;
}

net::URLSessionConfiguration RIImageDownloader::sessionConfiguration() const {
    std::lock_guard lock(sessionLock_);
    return session_ ? session_->configuration() : configuration_;
}

void RIImageDownloader::createNewSessionWithConfiguration(net::URLSessionConfiguration configuration) {
    cancelAllDownloads();
    std::shared_ptr<net::URLSession> old;
    {
        std::lock_guard lock(sessionLock_);
        old = std::move(session_);
        session_.reset();
    }
    if (old) old->invalidateAndCancel();
    configuration.timeoutIntervalForRequest = downloadTimeout;
    auto session = makeSession(std::move(configuration));
    std::lock_guard lock(sessionLock_);
    session_ = std::move(session);
}

void RIImageDownloader::invalidateSessionAndCancel(bool cancelPendingOperations) {
    if (isShared_) return;
    std::shared_ptr<net::URLSession> session;
    {
        std::lock_guard lock(sessionLock_);
        session = std::move(session_);
        session_.reset();
    }
    if (!session) return;
    // Running tasks hold the session until they end.
    if (cancelPendingOperations) session->invalidateAndCancel();
    else session->finishTasksAndInvalidate();
}

void RIImageDownloader::setOperationClass(std::optional<RIImageDownloaderOperationClass> operationClass) {
    std::lock_guard lock(operationsLock_);
    if (operationClass && operationClass->make) operationClass_ = std::move(operationClass);
    else operationClass_.reset();
}

RIImageDownloaderOperationClass RIImageDownloader::operationClass() const {
    std::lock_guard lock(operationsLock_);
    return operationClass_ ? *operationClass_ : RIImageDownloaderOperationClass::of<RIImageDownloaderOperation>();
}

// Steps 3 and 4 of starting a download: the request and its operation. Called without operationsLock_.
std::shared_ptr<RIImageDownloaderOperationInterface> RIImageDownloader::makeOperation(const net::URL& url, std::uint64_t options) {
    double timeout = downloadTimeout == 0 ? 15.0 : downloadTimeout;
    net::URLRequest request(url,
                            (options & RIImageDownloaderUseURLCache) ? net::CachePolicy::useProtocolCachePolicy
                                                                      : net::CachePolicy::reloadIgnoringLocalCacheData,
                            timeout);
    request.httpShouldHandleCookies = (options & RIImageDownloaderHandleCookies) != 0;
    auto headers = allHTTPHeaderFields();
    if (headersFilter) headers = headersFilter(url, headers);
    for (const auto& [field, value] : headers) request.setValue(value, field);
    auto operation = operationClass().make(std::move(request), currentSession(), options);
    operation->shouldDecompressImages = shouldDecompressImages;
    if (urlCredential) operation->credential = urlCredential;
    else if (username && password) operation->credential = net::URLCredential{*username, *password};
    return operation;
}

std::shared_ptr<RIImageDownloadToken> RIImageDownloader::downloadImageWithURL(const std::optional<net::URL>& url, std::uint64_t options,
                                                                              RIImageDownloaderProgressBlock progress,
                                                                              RIImageDownloaderCompletedBlock completed) {
    if (!url) {
        if (completed) completed(nullptr, std::nullopt, std::nullopt, false);
        return nullptr;
    }
    const std::string key = url->absoluteString();
    std::shared_ptr<RIImageDownloaderOperationInterface> operation;
    bool created = false;
    // An operation that finished or was cancelled but is still listed would never answer.
    const auto joinable = [this, &key]() -> std::shared_ptr<RIImageDownloaderOperationInterface> {
        auto it = URLOperations_.find(key);
        return it != URLOperations_.end() && it->second->canJoin() ? it->second : nullptr;
    };
    {
        std::lock_guard lock(operationsLock_);
        operation = joinable();
    }
    if (!operation) {
        // Made without the lock: the header filter and the operation class are the caller's code.
        auto made = makeOperation(*url, options);
        std::lock_guard lock(operationsLock_);
        operation = joinable();  // another caller may have listed one meanwhile
        if (!operation) {
            operation = std::move(made);
            if (options & RIImageDownloaderHighPriority) operation->setQueuePriority(dispatch::Operation::high);
            else if (options & RIImageDownloaderLowPriority) operation->setQueuePriority(dispatch::Operation::low);
            std::weak_ptr<RIImageDownloader> weak = weak_from_this();
            std::weak_ptr<RIImageDownloaderOperationInterface> weakOp = operation;
            operation->setCompletionBlock([weak, weakOp, key] {
                auto self = weak.lock();
                if (!self) return;
                std::lock_guard inner(self->operationsLock_);
                auto found = self->URLOperations_.find(key);
                if (found != self->URLOperations_.end() && found->second == weakOp.lock()) self->URLOperations_.erase(found);
            });
            URLOperations_[key] = operation;
            created = true;
            std::erase_if(made_, [](const auto& w) { return w.expired(); });
            made_.push_back(operation);
            if (executionOrder == RIImageExecutionOrder::lastInFirstOut) {
                if (auto last = lastAddedOperation_.lock()) last->addDependency(operation);
                lastAddedOperation_ = operation;
            }
        }
    }
    auto record = operation->addHandlersForProgress(progress, completed);
    if (!record) {
        // It answered its callers between the lookup and now: this caller gets a new transfer.
        {
            std::lock_guard lock(operationsLock_);
            if (auto it = URLOperations_.find(key); it != URLOperations_.end() && it->second == operation) URLOperations_.erase(it);
        }
        return downloadImageWithURL(url, options, std::move(progress), std::move(completed));
    }
    // Queued only once the first caller listens, so it hears every event from the start.
    if (created) downloadQueue_->addOperation(operation);
    auto token = std::make_shared<RIImageDownloadToken>();
    token->url = url;
    token->downloadOperationCancelToken = record;
    token->downloadOperation = operation;
    return token;
}

void RIImageDownloader::cancel(const std::shared_ptr<RIImageDownloadToken>& token) {
    if (!token || !token->url) return;
    const std::string key = token->url->absoluteString();
    // The token's own operation: the one listed under the URL may already be a newer one.
    auto operation = token->downloadOperation.lock();
    if (!operation) return;
    // Cancelling finishes the operation, whose completion action takes the lock itself.
    if (!operation->cancel(token->downloadOperationCancelToken)) return;
    std::lock_guard lock(operationsLock_);
    if (auto it = URLOperations_.find(key); it != URLOperations_.end() && it->second == operation) URLOperations_.erase(it);
}

void RIImageDownloader::setValue(std::optional<std::string> value, const std::string& field) {
    std::lock_guard lock(headersLock_);
    if (value) HTTPHeaders_[field] = *value;
    else HTTPHeaders_.erase(field);
}

std::optional<std::string> RIImageDownloader::valueForHTTPHeaderField(const std::optional<std::string>& field) const {
    if (!field) return std::nullopt;
    std::lock_guard lock(headersLock_);
    auto it = HTTPHeaders_.find(*field);
    if (it == HTTPHeaders_.end()) return std::nullopt;
    return it->second;
}

std::map<std::string, std::string> RIImageDownloader::allHTTPHeaderFields() const {
    std::lock_guard lock(headersLock_);
    return HTTPHeaders_;
}

std::shared_ptr<RIImageDownloaderOperationInterface> RIImageDownloader::operationWithTask(std::uint64_t taskIdentifier) const {
    std::lock_guard lock(operationsLock_);
    for (const auto& weak : made_) {
        auto op = weak.lock();
        if (!op) continue;
        auto task = op->dataTask();
        if (task && task->taskIdentifier() == taskIdentifier) return op;
    }
    return nullptr;
}

} // namespace image_cache
