#include "Libs/HTTPLayer/SessionManager.h"

#include "platform/core/Digest.h"
#include "platform/core/ProcessInfo.h"

#include <charconv>

namespace http {

namespace {

// 1.0 - 0.1 * i in its shortest exact form, always with a fractional digit ("1.0", "0.9").
std::string qualityText(std::size_t index) {
    double quality = 1.0 - 0.1 * static_cast<double>(index);
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, quality);
    std::string text(buffer, end);
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::string acceptLanguage() {
    auto languages = core::ProcessInfo::preferredLanguages();
    std::string text;
    for (std::size_t i = 0; i < languages.size() && i < 6; ++i) {
        if (i) text += ", ";
        text += languages[i] + ";q=" + qualityText(i);
    }
    return text;
}

std::string userAgent() {
    auto info = core::Bundle::infoDictionary();
    if (!info) return "HTTPLayer";
    auto text = [&](const char* key) -> std::string {
        const core::Value* value = info->find(key);
        return value && value->isString() ? value->asString() : "Unknown";
    };
    auto os = core::ProcessInfo::operatingSystemVersion();
    std::string osPart = "iOS " + std::to_string(os.major) + "." + std::to_string(os.minor) + "." + std::to_string(os.patch);
    // The layer is built into the program, so its bundle is the program's.
    std::string libraryPart = "HTTPLayer/" + text(core::Bundle::kShortVersion);
    return text(core::Bundle::kExecutable) + "/" + text(core::Bundle::kShortVersion) + " (" + text(core::Bundle::kIdentifier) +
           "; build:" + text(core::Bundle::kVersion) + "; " + osPart + ") " + libraryPart;
}

} // namespace

const HTTPHeaders& SessionManager::defaultHTTPHeaders() {
    static const HTTPHeaders headers{
        {"Accept-Encoding", "gzip;q=1.0, compress;q=0.5"},
        {"Accept-Language", acceptLanguage()},
        {"User-Agent", userAgent()},
    };
    return headers;
}

const std::shared_ptr<SessionManager>& SessionManager::default_() {
    // Never destroyed: its network thread must not be joined during static destruction.
    static const auto* shared = new std::shared_ptr<SessionManager>([] {
        auto configuration = net::URLSessionConfiguration::defaultConfiguration();
        configuration.httpAdditionalHeaders = defaultHTTPHeaders();
        return create(std::move(configuration));
    }());
    return *shared;
}

SessionManager::SessionManager(std::shared_ptr<net::URLSession> session, std::shared_ptr<SessionDelegate> delegate)
    : queue_(dispatch::Queue::serial("org.httplayer.session-manager." + core::makeUuidString())),
      delegate_(std::move(delegate)), session_(std::move(session)) {}

std::shared_ptr<SessionManager> SessionManager::create(net::URLSessionConfiguration configuration,
                                                       std::shared_ptr<SessionDelegate> delegate,
                                                       std::shared_ptr<ServerTrustPolicyManager> serverTrustPolicyManager) {
    auto session = net::URLSession::create(std::move(configuration), delegate);
    std::shared_ptr<SessionManager> manager(new SessionManager(std::move(session), std::move(delegate)));
    manager->finishInit(std::move(serverTrustPolicyManager));
    return manager;
}

std::shared_ptr<SessionManager> SessionManager::create(std::shared_ptr<net::URLSession> session,
                                                       std::shared_ptr<SessionDelegate> delegate,
                                                       std::shared_ptr<ServerTrustPolicyManager> serverTrustPolicyManager) {
    if (!session || !delegate || session->delegate() != std::static_pointer_cast<net::URLSessionDelegate>(delegate))
        return nullptr;
    std::shared_ptr<SessionManager> manager(new SessionManager(std::move(session), std::move(delegate)));
    manager->finishInit(std::move(serverTrustPolicyManager));
    return manager;
}

void SessionManager::finishInit(std::shared_ptr<ServerTrustPolicyManager> serverTrustPolicyManager) {
    setServerTrustPolicyManager(*session_, std::move(serverTrustPolicyManager));
    delegate_->sessionManager = weak_from_this();
    std::weak_ptr<SessionManager> weakSelf = weak_from_this();
    delegate_->sessionDidFinishEventsForBackgroundURLSession = [weakSelf](const SessionDelegate::Session&) {
        if (!weakSelf.lock()) return;
        dispatch::Queue::main()->async([weakSelf] {
            auto self = weakSelf.lock();
            if (!self) return;
            if (auto handler = self->backgroundCompletionHandler()) handler();
        });
    };
}

SessionManager::~SessionManager() {
    if (session_) session_->invalidateAndCancel();
}

std::shared_ptr<RequestAdapter> SessionManager::adapter() const {
    std::lock_guard lock(hooksLock_);
    return adapter_;
}
void SessionManager::setAdapter(std::shared_ptr<RequestAdapter> adapter) {
    std::lock_guard lock(hooksLock_);
    adapter_ = std::move(adapter);
}
std::function<void()> SessionManager::backgroundCompletionHandler() const {
    std::lock_guard lock(hooksLock_);
    return backgroundCompletionHandler_;
}
void SessionManager::setBackgroundCompletionHandler(std::function<void()> handler) {
    std::lock_guard lock(hooksLock_);
    backgroundCompletionHandler_ = std::move(handler);
}

// ---- data requests ----

std::shared_ptr<DataRequest> SessionManager::request(const URLConvertible& url, HTTPMethod method,
                                                     const std::optional<Parameters>& parameters,
                                                     const ParameterEncoding& encoding, const std::optional<HTTPHeaders>& headers) {
    auto originalRequest = makeURLRequest(url, method, headers);
    if (originalRequest.isFailure()) return request(std::nullopt, originalRequest.failureError());
    auto encoded = encoding.encode(originalRequest.successValue(), parameters);
    if (encoded.isFailure()) return request(originalRequest.successValue(), encoded.failureError());
    return request(URLRequestConvertible(encoded.successValue()));
}

std::shared_ptr<DataRequest> SessionManager::request(const URLRequestConvertible& urlRequest) {
    auto converted = urlRequest.asURLRequest();
    if (converted.isFailure()) return request(std::nullopt, converted.failureError());
    auto original = std::make_shared<const DataRequest::Requestable>(converted.successValue());
    auto task = original->makeTask(session_, adapter(), queue_);
    if (task.isFailure()) return request(converted.successValue(), task.failureError());
    auto dataRequest = Request::create<DataRequest>(session_, Request::RequestTask::data(original, task.successValue()));
    delegate_->setRequestForTask(*task.successValue(), dataRequest);
    if (startRequestsImmediately()) dataRequest->resume();
    return dataRequest;
}

std::shared_ptr<DataRequest> SessionManager::request(const std::optional<net::URLRequest>& urlRequest, const Error& error) {
    std::shared_ptr<const TaskConvertible> original;
    if (urlRequest) original = std::make_shared<const DataRequest::Requestable>(*urlRequest);
    auto underlying = SessionDelegate::underlyingAdaptError(error);
    auto dataRequest = Request::create<DataRequest>(session_, Request::RequestTask::data(original, nullptr),
                                                    underlying ? *underlying : error);
    if (auto currentRetrier = retrier(); currentRetrier && underlying) {
        passToRetrier(currentRetrier, dataRequest, *underlying);
        return dataRequest;
    }
    if (startRequestsImmediately()) dataRequest->resume();
    return dataRequest;
}

// ---- retry ----

bool SessionManager::retry(const std::shared_ptr<Request>& request) {
    const auto& original = request->originalTask();
    if (!original) return false;
    auto made = original->makeTask(session_, adapter(), queue_);
    if (made.isFailure()) {
        auto underlying = SessionDelegate::underlyingAdaptError(made.failureError());
        request->delegate()->error = underlying ? *underlying : made.failureError();
        return false;
    }
    const auto& task = made.successValue();
    if (auto oldTask = request->task()) delegate_->setRequestForTask(*oldTask, nullptr);
    request->delegate()->setTask(task);
    request->setRetryCount(request->retryCount() + 1);
    request->setStartTime(now());
    request->setEndTime(std::nullopt);
    // Registered before it starts: a task that fails at once must find its request, or the
    // request's handlers would wait for ever.
    delegate_->setRequestForTask(*task, request);
    task->resume();
    return true;
}

void SessionManager::passToRetrier(const std::shared_ptr<RequestRetrier>& retrier, const std::shared_ptr<Request>& request,
                                   const Error& error) {
    std::weak_ptr<SessionManager> weakSelf = weak_from_this();
    dispatch::Queue::global(dispatch::QoS::utility)->async([weakSelf, retrier, request, error] {
        auto self = weakSelf.lock();
        if (!self) return;
        retrier->shouldRetryRequest(self, request, error, [weakSelf, request](bool shouldRetry, double delay) {
            auto manager = weakSelf.lock();
            if (!manager) return;
            if (!shouldRetry) {
                if (manager->startRequestsImmediately()) request->resume();
                return;
            }
            after(dispatch::Queue::global(dispatch::QoS::utility), delay, [weakSelf, request] {
                auto later = weakSelf.lock();
                if (!later) return;
                // A successful retry has registered and started the new task already.
                if (later->retry(request) && request->task()) return;
                if (later->startRequestsImmediately()) request->resume();
            });
        });
    });
}

// ---- the shared manager's free functions ----

std::shared_ptr<DataRequest> request(const URLConvertible& url, HTTPMethod method, const std::optional<Parameters>& parameters,
                                     const ParameterEncoding& encoding, const std::optional<HTTPHeaders>& headers) {
    return SessionManager::default_()->request(url, method, parameters, encoding, headers);
}

std::shared_ptr<DataRequest> request(const URLRequestConvertible& urlRequest) {
    return SessionManager::default_()->request(urlRequest);
}

} // namespace http
