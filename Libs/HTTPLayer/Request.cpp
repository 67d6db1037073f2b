#include "Libs/HTTPLayer/Request.h"

#include "Libs/HTTPLayer/DataTaskDelegate.h"
#include "Libs/HTTPLayer/DownloadTaskDelegate.h"
#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/Notifications.h"
#include "Libs/HTTPLayer/UploadTaskDelegate.h"

#include "platform/core/NotificationCenter.h"
#include "platform/core/TextEncoding.h"

namespace http {

namespace detail {
Result<net::URLRequest> adapt(const net::URLRequest& urlRequest, const std::shared_ptr<RequestAdapter>& adapter) {
    if (!adapter) return urlRequest;
    auto adapted = adapter->adaptRequest(urlRequest);
    if (adapted.isFailure()) return Result<net::URLRequest>::failure(Error(AdaptError{adapted.failureError()}));
    return adapted;
}
} // namespace detail

namespace {
std::shared_ptr<TaskDelegate> makeTaskDelegate(Request::RequestTask::Kind kind, std::shared_ptr<net::URLSessionTask> task) {
    using Kind = Request::RequestTask::Kind;
    switch (kind) {
    case Kind::data: return std::make_shared<DataTaskDelegate>(std::move(task));
    case Kind::download: return std::make_shared<DownloadTaskDelegate>(std::move(task));
    case Kind::upload: return std::make_shared<UploadTaskDelegate>(std::move(task));
    case Kind::stream: break;
    }
    return std::make_shared<TaskDelegate>(std::move(task));
}

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    if (i < bytes.size()) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}
} // namespace

Request::Request(std::shared_ptr<net::URLSession> session, RequestTask requestTask, std::optional<Error> error)
    : session_(std::move(session)), originalTask_(std::move(requestTask.taskConvertible)),
      taskDelegate_(makeTaskDelegate(requestTask.kind, std::move(requestTask.task))) {
    taskDelegate_->error = std::move(error);
}

void Request::init() {
    core::Object::init();
    // The first operation of the delegate's queue: it runs as soon as the task has completed,
    // before any response handler, so it marks the end of the task.
    std::weak_ptr<Request> weakSelf = self<Request>();
    taskDelegate_->queue()->addOperation([weakSelf] {
        if (auto request = weakSelf.lock()) request->setEndTime(now());
    });
}

std::shared_ptr<TaskDelegate> Request::delegate() const {
    std::lock_guard lock(taskDelegateLock_);
    return taskDelegate_;
}

void Request::setDelegate(std::shared_ptr<TaskDelegate> delegate) {
    std::lock_guard lock(taskDelegateLock_);
    taskDelegate_ = std::move(delegate);
}

std::shared_ptr<net::URLSessionTask> Request::task() const { return delegate()->task(); }

std::optional<net::URLRequest> Request::request() const {
    auto t = task();
    return t ? t->originalRequest() : std::nullopt;
}

std::shared_ptr<const net::HTTPURLResponse> Request::response() const {
    auto t = task();
    return t ? t->response() : nullptr;
}

std::optional<double> Request::startTime() const {
    std::lock_guard lock(timesLock_);
    return startTime_;
}
void Request::setStartTime(std::optional<double> time) {
    std::lock_guard lock(timesLock_);
    startTime_ = time;
}
std::optional<double> Request::endTime() const {
    std::lock_guard lock(timesLock_);
    return endTime_;
}
void Request::setEndTime(std::optional<double> time) {
    std::lock_guard lock(timesLock_);
    endTime_ = time;
}

void Request::appendValidation(std::function<void()> validation) {
    std::lock_guard lock(timesLock_);
    validations_.push_back(std::move(validation));
}
std::vector<std::function<void()>> Request::validations() const {
    std::lock_guard lock(timesLock_);
    return validations_;
}

std::shared_ptr<Request> Request::setCredential(const std::string& user, const std::string& password) {
    return setCredential(net::URLCredential{user, password});
}

std::shared_ptr<Request> Request::setCredential(net::URLCredential credential) {
    delegate()->setCredential(std::move(credential));
    return self<Request>();
}

std::optional<std::pair<std::string, std::string>> Request::basicAuthorizationHeader(const std::string& user,
                                                                                      const std::string& password) {
    // Our text is UTF-8 already, so the encoding step cannot fail.
    return std::pair<std::string, std::string>{"Authorization", "Basic " + base64(user + ":" + password)};
}

void Request::post(std::string_view name, const std::shared_ptr<net::URLSessionTask>& task) {
    core::NotificationCenter::defaultCenter().post(std::string(name), shared_from_this(),
                                                   core::Dictionary{{std::string(Notification::Key::Task), core::Value(task)}});
}

void Request::resume() {
    auto t = task();
    if (!t) {
        // A request without a task carries an error: release its handlers so they report it.
        delegate()->queue()->setSuspended(false);
        return;
    }
    {
        std::lock_guard lock(timesLock_);
        if (!startTime_) startTime_ = now();
    }
    t->resume();
    post(Notification::Name::Task::DidResume, t);
}

void Request::suspend() {
    auto t = task();
    if (!t) return;
    t->suspend();
    post(Notification::Name::Task::DidSuspend, t);
}

void Request::cancel() {
    auto t = task();
    if (!t) return;
    t->cancel();
    post(Notification::Name::Task::DidCancel, t);
}

std::string Request::description() const {
    std::vector<std::string> parts;
    auto urlRequest = request();
    if (urlRequest && urlRequest->httpMethod) parts.push_back(*urlRequest->httpMethod);
    if (urlRequest && urlRequest->url) parts.push_back(urlRequest->url->absoluteString());
    if (auto r = response()) parts.push_back("(" + std::to_string(r->statusCode()) + ")");
    std::string text;
    for (const auto& part : parts) text += (text.empty() ? "" : " ") + part;
    return text;
}

std::string Request::debugDescription() const {
    auto urlRequest = request();
    if (!urlRequest || !urlRequest->url || !urlRequest->url->host()) return "$ curl command could not be created";
    const net::URL& url = *urlRequest->url;
    const auto& configuration = session_->configuration();
    std::vector<std::string> parts{"$ curl -v"};

    if (urlRequest->httpMethod && *urlRequest->httpMethod != "GET") parts.push_back("-X " + *urlRequest->httpMethod);

    if (const auto& storage = configuration.urlCredentialStorage) {
        net::URLProtectionSpace space{*url.host(), url.port().value_or(0), url.scheme().value_or(""), *url.host(), "basic"};
        auto stored = storage->credentials(space);
        if (!stored.empty()) {
            for (const auto& c : stored) {
                if (!c.user.empty() && !c.password.empty()) parts.push_back("-u " + c.user + ":" + c.password);
            }
        } else if (const auto c = delegate()->credential(); c && !c->user.empty() && !c->password.empty()) {
            parts.push_back("-u " + c->user + ":" + c->password);
        }
    }

    if (configuration.httpShouldSetCookies && configuration.httpCookieStorage) {
        auto cookies = configuration.httpCookieStorage->cookies(url);
        if (!cookies.empty()) {
            std::string text;
            for (const auto& cookie : cookies) text += cookie.name + "=" + cookie.value + ";";
            text.pop_back();
            parts.push_back("-b \"" + text + "\"");
        }
    }

    // The configuration's fields, then the request's, which replace those of the same name.
    // "Cookie" is left out: cookies come from the cookie storage above.
    std::vector<std::pair<std::string, std::string>> headers;
    auto merge = [&headers](const net::HTTPHeaders& fields) {
        for (const auto& [name, value] : fields) {
            if (name == "Cookie") continue;
            // Clang does not let a lambda capture a structured binding; a plain reference it can.
            const std::string& field = name;
            auto it = std::find_if(headers.begin(), headers.end(), [&field](const auto& h) { return h.first == field; });
            if (it != headers.end()) it->second = value; else headers.emplace_back(name, value);
        }
    };
    merge(configuration.httpAdditionalHeaders);
    merge(urlRequest->allHTTPHeaderFields);
    for (const auto& [name, value] : headers) parts.push_back("-H \"" + name + ": " + replaceAll(value, "\"", "\\\"") + "\"");

    if (urlRequest->httpBody) {
        if (auto body = core::decode(*urlRequest->httpBody, core::TextEncoding::utf8)) {
            std::string escaped = replaceAll(replaceAll(*body, "\\\"", "\\\\\""), "\"", "\\\"");
            parts.push_back("-d \"" + escaped + "\"");
        }
    }

    parts.push_back("\"" + url.absoluteString() + "\"");
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? " \\\n\t" : "") + parts[i];
    return text;
}

Timeline Request::timeline() const {
    double start = startTime().value_or(now());
    double completed = endTime().value_or(now());
    double initialResponse = delegate()->initialResponseTime.value_or(completed);
    return Timeline(start, initialResponse, completed, now());
}

} // namespace http
