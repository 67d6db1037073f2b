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

// The session holds its delegate strongly; this one reaches the downloader weakly.
class SessionDelegate final : public net::URLSessionDelegate {
public:
    explicit SessionDelegate(std::weak_ptr<RIImageDownloader> downloader) : downloader_(std::move(downloader)) {}

    void didReceiveResponse(const Session&, const DataTask& task, std::shared_ptr<const net::HTTPURLResponse> response,
                            std::function<void(net::ResponseDisposition)> completion) override {
        if (auto op = find(task)) op->didReceiveResponse(std::move(response), std::move(completion));
        else completion(net::ResponseDisposition::allow);
    }
    void didReceiveData(const Session&, const DataTask& task, const core::Bytes& data) override {
        if (auto op = find(task)) op->didReceiveData(data);
    }
    void didCompleteWithError(const Session&, const Task& task, const std::optional<core::Error>& error) override {
        if (auto op = find(task)) op->didCompleteWithError(error);
    }

private:
    std::shared_ptr<RIImageDownloaderOperation> find(const std::shared_ptr<net::URLSessionTask>& task) const {
        auto downloader = downloader_.lock();
        return downloader && task ? downloader->operationWithTask(task->taskIdentifier()) : nullptr;
    }
    std::weak_ptr<RIImageDownloader> downloader_;
};

} // namespace

// The operation.

RIImageDownloaderOperation::RIImageDownloaderOperation(net::URLRequest request, std::shared_ptr<net::URLSession> session, std::uint64_t options)
    : request_(std::move(request)), unownedSession_(session), options_(options),
      coderQueue_(dispatch::Queue::serial("com.tarnwick.RIImageDownloaderOperationCoderQueue")) {}

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
    std::shared_ptr<net::URLSessionDataTask> task;
    if (auto session = unownedSession_.lock()) task = session->dataTask(request_);
    {
        std::lock_guard lock(lock_);
        dataTask_ = task;
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

void RIImageDownloaderOperation::didReceiveResponse(std::shared_ptr<const net::HTTPURLResponse> response,
                                                    std::function<void(net::ResponseDisposition)> completion) {
    std::int64_t expected = response ? std::max<std::int64_t>(0, response->expectedContentLength()) : 0;
    int status = response ? response->statusCode() : 0;
    // No URL cache exists, so a 304 never has a cached body to stand for.
    bool valid = !response || (status < 400 && status != 304);
    {
        std::lock_guard lock(lock_);
        expectedSize_ = expected;
        if (!valid) refusedStatus_ = status;
    }
    if (valid) callProgress(0, expected);
    post(kRIImageDownloadReceiveResponseNotification);
    completion(valid ? net::ResponseDisposition::allow : net::ResponseDisposition::cancel);
}

void RIImageDownloaderOperation::didReceiveData(const core::Bytes& data) {
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

void RIImageDownloaderOperation::didCompleteWithError(const std::optional<core::Error>& sessionError) {
    std::optional<core::Error> error = sessionError;
    std::string data;
    bool anyCompletion = false;
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
        for (const auto& record : callbackBlocks_) anyCompletion = anyCompletion || static_cast<bool>(record->completed);
        stopPosted_ = true;
    }
    post(kRIImageDownloadStopNotification);
    if (!error) post(kRIImageDownloadFinishNotification);
    // Every answer goes through the coder queue, behind any partial decode already queued.
    auto self = std::static_pointer_cast<RIImageDownloaderOperation>(shared_from_this());
    coderQueue_->async([self, error, data = std::move(data), anyCompletion]() mutable {
        if (error) {
            self->completeCallers(nullptr, std::nullopt, error, true);
        } else if (anyCompletion) {
            if (data.empty()) {
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
        callbackBlocks_.clear();  // cancelled callers are not called
    }
    if (task) task->cancel();
    if (postStop) post(kRIImageDownloadStopNotification);
    if (isExecuting()) done();
}

void RIImageDownloaderOperation::done() {
    finish();
    reset();
}

void RIImageDownloaderOperation::reset() {
    std::lock_guard lock(lock_);
    callbackBlocks_.clear();
    dataTask_.reset();
}

void RIImageDownloadToken::cancel() {
    if (auto op = downloadOperation.lock(); op && downloadOperationCancelToken) op->cancel(downloadOperationCancelToken);
}

// The downloader.

std::shared_ptr<RIImageDownloader> RIImageDownloader::sharedDownloader() {
    static const auto* downloader = new std::shared_ptr<RIImageDownloader>(create());  // kept for the whole process
    return *downloader;
}

std::shared_ptr<RIImageDownloader> RIImageDownloader::create(net::URLSessionConfiguration configuration) {
    std::shared_ptr<RIImageDownloader> downloader(new RIImageDownloader());
    downloader->downloadQueue_ = dispatch::OperationQueue::create("com.tarnwick.RIImageDownloader");
    downloader->downloadQueue_->setMaxConcurrentOperationCount(6);
    configuration.timeoutIntervalForRequest = downloader->downloadTimeout;
    downloader->session_ = net::URLSession::create(std::move(configuration), std::make_shared<SessionDelegate>(downloader));
    return downloader;
}

RIImageDownloader::~RIImageDownloader() {
    if (downloadQueue_) downloadQueue_->cancelAllOperations();
    if (session_) session_->invalidateAndCancel();
}

std::shared_ptr<RIImageDownloadToken> RIImageDownloader::downloadImageWithURL(const std::optional<net::URL>& url, std::uint64_t options,
                                                                              RIImageDownloaderProgressBlock progress,
                                                                              RIImageDownloaderCompletedBlock completed) {
    if (!url) {
        if (completed) completed(nullptr, std::nullopt, std::nullopt, false);
        return nullptr;
    }
    const std::string key = url->absoluteString();
    std::shared_ptr<RIImageDownloaderOperation> operation;
    bool created = false;
    {
        std::lock_guard lock(operationsLock_);
        auto it = URLOperations_.find(key);
        // An operation that finished or was cancelled but is still listed would never answer.
        if (it != URLOperations_.end() && it->second->canJoin()) operation = it->second;
        if (!operation) {
            double timeout = downloadTimeout == 0 ? 15.0 : downloadTimeout;
            net::URLRequest request(*url,
                                    (options & RIImageDownloaderUseURLCache) ? net::CachePolicy::useProtocolCachePolicy
                                                                              : net::CachePolicy::reloadIgnoringLocalCacheData,
                                    timeout);
            request.httpShouldHandleCookies = (options & RIImageDownloaderHandleCookies) != 0;
            for (const auto& [field, value] : allHTTPHeaderFields()) request.setValue(value, field);
            operation = std::make_shared<RIImageDownloaderOperation>(std::move(request), session_, options);
            operation->shouldDecompressImages = shouldDecompressImages;
            if (options & RIImageDownloaderHighPriority) operation->setQueuePriority(dispatch::Operation::high);
            else if (options & RIImageDownloaderLowPriority) operation->setQueuePriority(dispatch::Operation::low);
            std::weak_ptr<RIImageDownloader> weak = weak_from_this();
            std::weak_ptr<RIImageDownloaderOperation> weakOp = operation;
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

std::shared_ptr<RIImageDownloaderOperation> RIImageDownloader::operationWithTask(std::uint64_t taskIdentifier) const {
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
