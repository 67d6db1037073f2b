#include "platform/net/URLSession.h"

#include "platform/core/PropertyList.h"
#include "platform/dispatch/Queue.h"
#include "platform/net/URLSessionEngine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

namespace net {

URLSession::URLSession(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
                       std::shared_ptr<dispatch::OperationQueue> delegateQueue)
    : configuration_(std::move(configuration)),
      delegateQueue_(delegateQueue ? std::move(delegateQueue) : [] {
          auto q = dispatch::OperationQueue::create("URL session delegate queue");
          q->setMaxConcurrentOperationCount(1);
          return q;
      }()) {
    engine_ = std::make_shared<SessionEngine>(configuration_, std::move(delegate), delegateQueue_);
    engine_->startThread();
}

URLSession::~URLSession() { engine_->shutdown(); }

std::shared_ptr<URLSession> URLSession::create(URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
                                               std::shared_ptr<dispatch::OperationQueue> delegateQueue) {
    auto session = core::make<URLSession>(std::move(configuration), std::move(delegate), std::move(delegateQueue));
    session->engine_->setSession(session);
    return session;
}

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const { return engine_->delegate(); }

void URLSession::setAttachedObject(const void* key, std::shared_ptr<void> object) {
    std::shared_ptr<void> previous; // let go outside the lock
    std::lock_guard lock(attachedMutex_);
    auto& slot = attached_[key];
    previous = std::move(slot);
    slot = std::move(object);
}

std::shared_ptr<void> URLSession::attachedObject(const void* key) const {
    std::lock_guard lock(attachedMutex_);
    auto it = attached_.find(key);
    return it == attached_.end() ? nullptr : it->second;
}

std::uint64_t URLSession::nextIdentifier() {
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

namespace {
template <class Task, class... Args>
std::shared_ptr<Task> makeTask(URLSession& session, Args&&... args) {
    auto self = std::static_pointer_cast<URLSession>(session.shared_from_this());
    return core::make<Task>(self, std::forward<Args>(args)...);
}
} // namespace

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(const URLRequest& request) {
    return makeTask<URLSessionDataTask>(*this, nextIdentifier(), request);
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTask(const URLRequest& request, core::Bytes body) {
    return makeTask<URLSessionUploadTask>(*this, nextIdentifier(), request, std::move(body), std::nullopt);
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTask(const URLRequest& request, const URL& file) {
    return makeTask<URLSessionUploadTask>(*this, nextIdentifier(), request, std::nullopt, file);
}

std::shared_ptr<URLSessionUploadTask> URLSession::streamedUploadTask(const URLRequest& request) {
    return makeTask<URLSessionUploadTask>(*this, nextIdentifier(), request, std::nullopt, std::nullopt, true);
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTask(const URLRequest& request) {
    return makeTask<URLSessionDownloadTask>(*this, nextIdentifier(), request);
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTask(const core::Bytes& resumeData) {
    std::optional<URLRequest> request;
    if (auto parsed = core::plist::read(resumeData)) {
        if (const core::Value* url = parsed->value.find("url"); url && url->isString()) {
            if (auto u = URL::parse(url->asString())) request = URLRequest(*u);
        }
    }
    return makeTask<URLSessionDownloadTask>(*this, nextIdentifier(), request, resumeData);
}

std::shared_ptr<URLSessionStreamTask> URLSession::streamTask(const std::string& host, int port) {
    return makeTask<URLSessionStreamTask>(*this, nextIdentifier(), host, port, engine_->streams());
}

std::shared_ptr<URLSessionStreamTask> URLSession::streamTask(std::shared_ptr<const NetService> service) {
    return makeTask<URLSessionStreamTask>(*this, nextIdentifier(), std::move(service), engine_->streams());
}

void URLSession::finishTasksAndInvalidate() { engine_->invalidate(false); }
void URLSession::invalidateAndCancel() { engine_->invalidate(true); }

// ---------------------------------------------------------------------------------------------

URLSessionTask::URLSessionTask(std::shared_ptr<URLSession> session, std::uint64_t identifier, std::optional<URLRequest> request)
    : originalRequest_(request), currentRequest_(std::move(request)), session_(std::move(session)), identifier_(identifier) {
    responseDecided_ = true;
}

// A large body is a mapping of its own (see kMmapThreshold): unmapping it makes every core the
// process has run on drop its address translations, which costs the thread letting the task go
// (often the main thread, after the response) a tenth of a millisecond on a quiet machine and
// several times that on a busy one. The body is let go on a utility queue instead.
URLSessionUploadTask::~URLSessionUploadTask() {
    if (body_ && body_->capacity() >= kMmapThreshold)
        dispatch::Queue::global(dispatch::QoS::utility)->async([body = std::move(*body_)] { (void)body; });
}

URLSessionTask::~URLSessionTask() {
    for (session::Event* event : held_) delete event;
}

std::optional<URLRequest> URLSessionTask::originalRequest() const {
    std::lock_guard lock(mutex_);
    return originalRequest_;
}
std::optional<URLRequest> URLSessionTask::currentRequest() const {
    std::lock_guard lock(mutex_);
    return currentRequest_;
}
std::shared_ptr<const HTTPURLResponse> URLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}
URLSessionTask::State URLSessionTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}
std::optional<core::Error> URLSessionTask::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}
std::int64_t URLSessionTask::countOfBytesReceived() const {
    std::lock_guard lock(mutex_);
    return bytesReceived_;
}
std::int64_t URLSessionTask::countOfBytesSent() const {
    std::lock_guard lock(mutex_);
    return bytesSent_;
}
std::int64_t URLSessionTask::countOfBytesExpectedToSend() const {
    std::lock_guard lock(mutex_);
    return bytesExpectedToSend_;
}
std::int64_t URLSessionTask::countOfBytesExpectedToReceive() const {
    std::lock_guard lock(mutex_);
    return response_ ? response_->expectedContentLength() : -1;
}
std::optional<std::string> URLSessionTask::taskDescription() const {
    std::lock_guard lock(mutex_);
    return description_;
}
void URLSessionTask::setTaskDescription(std::optional<std::string> text) {
    std::lock_guard lock(mutex_);
    description_ = std::move(text);
}

void URLSessionTask::setPriority(float priority) {
    priority_.store(std::isnan(priority) ? kPriorityDefault : std::clamp(priority, 0.0f, 1.0f), std::memory_order_relaxed);
}

URLSessionTask::Resumption URLSessionTask::markRunning() {
    std::lock_guard lock(mutex_);
    if (state_ == State::completed || state_ == State::canceling) return Resumption::ended;
    state_ = State::running;
    return std::exchange(started_, true) ? Resumption::again : Resumption::first;
}

void URLSessionTask::resume() {
    session_->engine_->resume(std::static_pointer_cast<URLSessionTask>(shared_from_this()));
}

void URLSessionTask::suspend() { session_->engine_->suspend(std::static_pointer_cast<URLSessionTask>(shared_from_this())); }

void URLSessionTask::cancel() { session_->engine_->cancel(std::static_pointer_cast<URLSessionTask>(shared_from_this()), nullptr); }

void URLSessionDownloadTask::cancelByProducingResumeData(std::function<void(std::optional<core::Bytes>)> completion) {
    session()->engine_->cancel(std::static_pointer_cast<URLSessionTask>(shared_from_this()),
                               completion ? std::move(completion) : [](std::optional<core::Bytes>) {});
}

} // namespace net

namespace net {

URLSessionConfiguration URLSessionConfiguration::defaultConfiguration() {
    URLSessionConfiguration c;
    c.httpCookieStorage = HTTPCookieStorage::shared();
    c.urlCredentialStorage = URLCredentialStorage::shared();
    c.urlCache = URLCache::shared();
    return c;
}

URLSessionConfiguration URLSessionConfiguration::ephemeralConfiguration() {
    URLSessionConfiguration c;
    c.httpCookieStorage = HTTPCookieStorage::create();
    c.urlCredentialStorage = URLCredentialStorage::create();
    c.urlCache = URLCache::create(URLCache::kSharedMemoryCapacity, 0);
    return c;
}

} // namespace net
