#include "platform/net/URLSession.h"

#include "platform/core/Ascii.h"
#include "platform/core/Digest.h"
#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/PropertyList.h"
#include "platform/core/ProcessInfo.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/net/BodyLimit.h"
#include "platform/net/ServerTrust.h"
#include "platform/net/StreamConnections.h"
#include "platform/net/URLError.h"
#include "platform/net/UploadBody.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <deque>
#include <limits>
#include <thread>
#include <unordered_map>

namespace net {

namespace {

using Callback = URLSessionDelegate::Callback;

void initCurlOnce() {
    static const bool initialised = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        // Bodies of up to several MiB grow on the network and delegate threads. glibc raises its
        // mmap threshold to the largest block freed (up to 32 MiB), after which such buffers are
        // carved from the threads' arenas, whose freed pages stay resident (malloc_trim does not
        // shrink an arena's top): each big body left 10-20 MiB behind. Fixing the threshold at its
        // default keeps them mapped on their own and handed back when freed.
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        return true;
    }();
    (void)initialised;
}

using core::ascii::equalsIgnoringCase;

URLErrorCode errorCodeFor(CURLcode code, long verifyResult) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT: return URLErrorCode::timedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return URLErrorCode::cannotFindHost;
    case CURLE_COULDNT_CONNECT: return URLErrorCode::cannotConnectToHost;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: return URLErrorCode::networkConnectionLost;
    case CURLE_UNSUPPORTED_PROTOCOL: return URLErrorCode::unsupportedURL;
    case CURLE_URL_MALFORMAT: return URLErrorCode::badURL;
    case CURLE_TOO_MANY_REDIRECTS: return URLErrorCode::httpTooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY: return URLErrorCode::badServerResponse;
    case CURLE_BAD_CONTENT_ENCODING: return URLErrorCode::cannotDecodeContentData;
    case CURLE_ABORTED_BY_CALLBACK: return URLErrorCode::cancelled;
    case CURLE_SSL_CERTPROBLEM: return URLErrorCode::clientCertificateRejected;
    case CURLE_PEER_FAILED_VERIFICATION:
        switch (verifyResult) {
        case X509_V_ERR_CERT_HAS_EXPIRED: return URLErrorCode::serverCertificateHasBadDate;
        case X509_V_ERR_CERT_NOT_YET_VALID: return URLErrorCode::serverCertificateNotYetValid;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT: return URLErrorCode::serverCertificateHasUnknownRoot;
        default: return URLErrorCode::serverCertificateUntrusted;
        }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND: return URLErrorCode::secureConnectionFailed;
    case CURLE_WRITE_ERROR: return URLErrorCode::cannotWriteToFile;
    default: return URLErrorCode::unknown;
    }
}

// The request a redirect leads to, with the usual method rules: 303 turns anything but HEAD
// into a GET without body; 301 and 302 do so for POST; 307 and 308 keep method and body.
std::optional<URLRequest> redirectedRequest(const URLRequest& current, int status, const std::string& location) {
    if (!current.url) return std::nullopt;
    auto target = current.url->resolve(location);
    if (!target) return std::nullopt;
    URLRequest next = current;
    next.url = *target;
    std::string method = current.method();
    bool toGet = (status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST");
    if (toGet) {
        next.httpMethod = "GET";
        next.httpBody.reset();
        next.allHTTPHeaderFields.remove("Content-Type");
        next.allHTTPHeaderFields.remove("Content-Length");
    }
    return next;
}

std::optional<URL> urlOf(const URLSessionTask& task) {
    auto request = task.currentRequest();
    return request ? request->url : std::nullopt;
}

// The authentication a 401 or 407 response asks for, read from its WWW-Authenticate or
// Proxy-Authenticate field (repeated fields arrive joined with ", "): the strongest scheme the
// session answers (Negotiate, then Digest, then Basic) and that scheme's realm; nothing when it
// offers none of them.
struct AuthOffer {
    std::string method; // kAuthenticationMethodNegotiate, ...HTTPDigest or ...HTTPBasic
    std::optional<std::string> realm;
};

std::optional<AuthOffer> authOffer(const std::string& field) {
    const auto isTokenChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    };
    std::vector<AuthOffer> offers;
    std::size_t i = 0;
    const std::size_t n = field.size();
    while (i < n) {
        if (field[i] == ' ' || field[i] == '\t' || field[i] == ',') {
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < n && isTokenChar(field[i])) ++i;
        if (i == start) { // not a token: skip a stray character
            ++i;
            continue;
        }
        std::string token = core::ascii::lowered(field.substr(start, i - start));
        std::size_t j = i;
        while (j < n && (field[j] == ' ' || field[j] == '\t')) ++j;
        if (j < n && field[j] == '=') {
            // A parameter of the scheme before it: a quoted string or a token.
            i = j + 1;
            while (i < n && (field[i] == ' ' || field[i] == '\t')) ++i;
            std::string value;
            if (i < n && field[i] == '"') {
                for (++i; i < n && field[i] != '"'; ++i) {
                    if (field[i] == '\\' && i + 1 < n) ++i;
                    value += field[i];
                }
                ++i;
            } else {
                std::size_t v = i;
                while (i < n && field[i] != ',' && field[i] != ' ' && field[i] != '\t') ++i;
                value = field.substr(v, i - v);
            }
            if (token == "realm" && !offers.empty() && !offers.back().realm) offers.back().realm = std::move(value);
            continue;
        }
        offers.push_back({std::move(token), std::nullopt});
    }
    for (const char* method : {kAuthenticationMethodNegotiate, kAuthenticationMethodHTTPDigest, kAuthenticationMethodHTTPBasic}) {
        for (auto& offer : offers) {
            if (offer.method == method) return offer;
        }
    }
    return std::nullopt;
}

// The credentials a leg sends, to the server and to the proxy, each with its scheme (a
// CURLAUTH_ value), and how many challenges of each the task has answered with one.
struct LegAuth {
    std::optional<URLCredential> credential;
    long scheme = CURLAUTH_BASIC;
    int failures = 0;
    std::optional<URLCredential> proxyCredential;
    long proxyScheme = CURLAUTH_BASIC;
    int proxyFailures = 0;
};

long curlAuthScheme(const std::string& method) {
    if (method == kAuthenticationMethodNegotiate) return static_cast<long>(CURLAUTH_NEGOTIATE);
    if (method == kAuthenticationMethodHTTPDigest) return static_cast<long>(CURLAUTH_DIGEST);
    return static_cast<long>(CURLAUTH_BASIC);
}

// Where a URL's requests go: its scheme and host in lower case, and its port (the scheme's
// default when it names none). The URL has a scheme and a host.
struct Origin {
    std::string scheme;
    std::string host;
    int port;
};

Origin originOf(const URL& url) {
    Origin origin{core::ascii::lowered(*url.scheme()), core::ascii::lowered(*url.host()), 0};
    origin.port = url.port().value_or(origin.scheme == "https" ? 443 : 80);
    return origin;
}

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

constexpr int kMaximumRedirects = 16;

// The User-Agent of a request that names none.
std::string defaultUserAgent() {
    auto info = core::Bundle::infoDictionary();
    const core::Value* name = info ? info->find(core::Bundle::kExecutable) : nullptr;
    return (name && name->isString() ? name->asString() : "quillora") + " (Linux) libcurl";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The engine: the network thread, its libcurl multi handle and every transfer in flight.

class SessionEngine : public std::enable_shared_from_this<SessionEngine> {
public:
    SessionEngine(const URLSessionConfiguration& configuration, std::shared_ptr<URLSessionDelegate> delegate,
                  std::shared_ptr<dispatch::OperationQueue> queue)
        : configuration_(configuration), defaultUserAgent_(defaultUserAgent()), delegate_(std::move(delegate)),
          queue_(std::move(queue)) {
        initCurlOnce();
        multi_ = curl_multi_init();
        // The limit of connections per host is kept by the engine itself (see attach()), not by
        // libcurl: a transfer libcurl holds back for want of a connection is not always resumed
        // when one comes free, and would then wait for the next unrelated event.
        //
        // libcurl sizes its cache of idle connections by the transfers it holds; as the engine
        // hands it only a few at a time, the cache is given room for the connections of a few
        // hosts instead, so that a burst of requests does not close connections the next burst
        // would reuse.
        if (configuration_.httpMaximumConnectionsPerHost > 0)
            curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, 4L * configuration_.httpMaximumConnectionsPerHost);
    }

    ~SessionEngine() {
        for (auto& [easy, transfer] : transfers_) {
            if (transfer->inMulti) curl_multi_remove_handle(multi_, easy);
            cleanup(*transfer);
        }
        curl_multi_cleanup(multi_);
        for (auto& [lines, list] : headerLists_) curl_slist_free_all(list);
    }

    void startThread() {
        auto self = shared_from_this();
        streams_ = std::make_shared<StreamConnections>(streamHost());
        thread_ = std::thread([self] { self->run(); });
    }

    void setSession(std::weak_ptr<URLSession> session) { session_ = std::move(session); }

    std::shared_ptr<URLSessionDelegate> delegate() const {
        std::lock_guard lock(delegateMutex_);
        return delegate_;
    }

    // Runs `command` on the network thread.
    void post(std::function<void()> command) {
        bool wake;
        {
            std::lock_guard lock(mutex_);
            // Whoever queued the first waiting command has woken the thread already, and the
            // thread takes all waiting commands at once: one wake-up per batch is enough.
            wake = commands_.empty();
            commands_.push_back(std::move(command));
        }
        if (wake) curl_multi_wakeup(multi_);
    }

    void resume(const std::shared_ptr<URLSessionTask>& task) {
        auto self = shared_from_this();
        post([self, task] { self->resumeOnThread(task); });
    }
    void suspend(const std::shared_ptr<URLSessionTask>& task) {
        auto self = shared_from_this();
        post([self, task] { self->suspendOnThread(task); });
    }
    void cancel(const std::shared_ptr<URLSessionTask>& task, std::function<void(std::optional<core::Bytes>)> resumeData) {
        {
            // From now on nothing more of this task reaches the delegate but its completion.
            std::lock_guard lock(task->mutex_);
            if (task->state_ == URLSessionTask::State::completed) {
                if (!task->responseDecided_) {
                    // The transfer is over but the delegate refused its response: the data held
                    // back is dropped, and the metrics and the completion (now "cancelled") go on.
                    task->error_ = makeURLError(URLErrorCode::cancelled, task->currentRequest_ ? task->currentRequest_->url : std::nullopt);
                    for (auto& [keep, event] : task->held_) {
                        if (keep) queue_->addOperation(std::move(event));
                    }
                    task->held_.clear();
                    task->responseDecided_ = true;
                }
                if (resumeData) queue_->addOperation([resumeData] { resumeData(std::nullopt); });
                return;
            }
            task->state_ = URLSessionTask::State::canceling;
            task->held_.clear();
            task->responseDecided_ = true;
        }
        auto self = shared_from_this();
        post([self, task, resumeData = std::move(resumeData)] { self->cancelOnThread(task, resumeData); });
    }

    void invalidate(bool cancelTasks) {
        {
            std::lock_guard lock(mutex_);
            if (invalidated_) return;
            invalidated_ = true;
        }
        auto self = shared_from_this();
        post([self, cancelTasks] {
            self->invalidating_ = true;
            if (cancelTasks) {
                std::vector<std::shared_ptr<URLSessionTask>> tasks;
                for (auto& [easy, t] : self->transfers_) tasks.push_back(t->task);
                for (auto& [id, t] : self->parked_) tasks.push_back(t);
                for (auto& t : self->streams_->tasks()) tasks.push_back(t);
                for (auto& t : tasks) self->cancel(t, nullptr);
            }
            self->finishInvalidationIfIdle();
        });
    }

    void shutdown() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        curl_multi_wakeup(multi_);
        if (thread_.joinable()) {
            if (thread_.get_id() == std::this_thread::get_id()) {
                thread_.detach();
            } else {
                thread_.join();
            }
        }
    }

private:
    // What a leg's handshake found of a chain the session has no answer for yet.
    struct TrustSlot {
        std::string host;
        int port = 0;
        bool challenged = false;
        std::vector<core::Bytes> chain; // DER, leaf first, as presented
        std::string key;                // of the answer: host, port and the chain's digest
    };

    struct Transfer {
        SessionEngine* engine = nullptr;
        std::shared_ptr<URLSessionTask> task;
        CURL* easy = nullptr;
        curl_slist* headerList = nullptr;      // a header list of its own, when not a shared one
        std::string hostKey; // the host whose connections it shares: scheme, host and port
        bool inMulti = false; // false while it waits for a connection of its host to come free
        URLRequest request;
        core::Bytes body;
        std::unique_ptr<UploadBody> uploadBody; // a file's or stream's body, read as it is sent
        const core::Bytes* borrowedBody = nullptr; // an upload task's bytes, sent without a copy
        const core::Bytes& sentBody() const { return borrowedBody ? *borrowedBody : body; }
        int redirects = 0;
        double timeout = 60;
        double lastActivity = 0;
        double resourceDeadline = 0; // monotonic time by which the whole task must be done
        double legStart = 0;
        bool suspended = false;
        bool legRecorded = false;
        std::size_t legMetrics = 0; // 1 + the index of this leg's entry in the metrics, once recorded
        // The response being read.
        int status = 0;
        std::string httpVersion;
        HTTPHeaders headers;
        bool headComplete = false;
        bool holdingRedirect = false;
        bool holdingChallenge = false;          // a 401 (or a proxy's 407) offering authentication
        std::optional<AuthOffer> challengeOffer;
        bool challengeFromProxy = false;
        core::Bytes heldBody;                   // of a held redirect or challenge
        // Server trust: set on a leg that raises a challenge for a chain the session has no answer for.
        std::shared_ptr<TrustSlot> trustSlot;
        LegAuth auth;
        std::shared_ptr<const HTTPURLResponse> response;
        std::int64_t uploaded = 0;
        // Downloads.
        bool isDownload = false;
        std::FILE* file = nullptr;
        std::string filePath;
        std::int64_t resumeOffset = 0;
        // Metrics of finished legs (redirects) and of this one.
        std::shared_ptr<URLSessionTaskMetrics> metrics; // shared by all legs; set when the leg starts
    };

    // ---- delivery to the delegate ----

    // Queues a delegate event now.
    // On the network thread, events are gathered and handed to the delegate queue as one
    // operation per turn of the loop: a queue hand-off per event would cost a thread wake-up each.
    // The order of events is kept either way.
    void deliver(std::function<void()> event) {
        if (std::this_thread::get_id() == networkThread_) {
            batch_.push_back(std::move(event));
            return;
        }
        queue_->addOperation(std::move(event));
    }

    void flushBatch() {
        if (batch_.empty()) return;
        // Each event is let go once it has run: a turn that reads a big body hands over many
        // chunks, which would otherwise all stay held until the last one had been delivered.
        queue_->addOperation([events = std::move(batch_)]() mutable {
            for (auto& event : events) {
                event();
                event = nullptr;
            }
        });
        batch_.clear();
    }

    // Queues an event that must come after the delegate's answer to the response.
    void deliverAfterResponse(const std::shared_ptr<URLSessionTask>& task, std::function<void()> event,
                              bool keepOnCancel = false) {
        std::lock_guard lock(task->mutex_);
        if (task->state_ == URLSessionTask::State::canceling && !keepOnCancel) return;
        if (!task->responseDecided_) {
            task->held_.emplace_back(keepOnCancel, std::move(event));
            return;
        }
        deliver(std::move(event));
    }

    bool responds(Callback c) const {
        auto d = delegate();
        return d && d->respondsTo(c);
    }

    // ---- the thread ----

    void run() {
        networkThread_ = std::this_thread::get_id();
        // Named so that a profiler or debugger can tell it from the queues' workers.
        pthread_setname_np(pthread_self(), "url-session");
        for (;;) {
            std::deque<std::function<void()>> commands;
            {
                std::lock_guard lock(mutex_);
                if (stopping_) break;
                commands.swap(commands_);
            }
            for (auto& c : commands) c();
            int running = 0;
            curl_multi_perform(multi_, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
                if (msg->msg == CURLMSG_DONE) transferDone(msg->easy_handle, msg->data.result);
            }
            flushBatch();
            // Sleeps until a socket is ready, libcurl's next timer is due or post() wakes the
            // thread; nothing else can give it work, so there is no periodic turn to hide a missed
            // wake-up behind.
            // Stream tasks' sockets are waited on with libcurl's.
            waitFds_.clear();
            streams_->addWaitFds(waitFds_);
            curl_multi_poll(multi_, waitFds_.data(), unsigned(waitFds_.size()), std::numeric_limits<int>::max(), nullptr);
            streams_->afterPoll(waitFds_);
        }
        // Commands that never ran are dropped: each holds the engine, so keeping them would keep
        // the engine, and its delegate, alive for ever.
        std::deque<std::function<void()>> dropped;
        {
            std::lock_guard lock(mutex_);
            dropped.swap(commands_);
        }
        dropped.clear();
        // Whatever is still running ends with the session.
        for (auto& [easy, transfer] : transfers_) {
            std::lock_guard lock(transfer->task->mutex_);
            transfer->task->state_ = URLSessionTask::State::completed;
            transfer->task->error_ = makeURLError(URLErrorCode::cancelled, transfer->request.url);
        }
        streams_->shutdown();
    }

    void resumeOnThread(const std::shared_ptr<URLSessionTask>& task) {
        if (auto stream = std::dynamic_pointer_cast<URLSessionStreamTask>(task)) return streams_->resume(stream, invalidating_);
        {
            std::lock_guard lock(task->mutex_);
            if (task->state_ == URLSessionTask::State::completed || task->state_ == URLSessionTask::State::canceling) return;
            task->state_ = URLSessionTask::State::running;
            if (task->started_) {
                // Continue a paused transfer.
                std::vector<std::string> hosts;
                for (auto& [easy, t] : transfers_) {
                    if (t->task == task && t->suspended) {
                        t->suspended = false;
                        t->lastActivity = now();
                        if (t->inMulti) curl_easy_pause(easy, CURLPAUSE_CONT); else hosts.push_back(t->hostKey);
                    }
                }
                for (const auto& host : hosts) attachWaiting(host);
                armTimeoutCheck();
                return;
            }
            task->started_ = true;
        }
        if (invalidating_) {
            finish(task, nullptr, makeURLError(URLErrorCode::cancelled, urlOf(*task)));
            return;
        }
        auto request = task->currentRequest();
        if (!request) {
            finish(task, nullptr, makeURLError(URLErrorCode::badURL));
            return;
        }
        startLeg(task, std::move(*request), 0, std::make_shared<URLSessionTaskMetrics>());
    }

    void suspendOnThread(const std::shared_ptr<URLSessionTask>& task) {
        if (auto stream = std::dynamic_pointer_cast<URLSessionStreamTask>(task)) return streams_->suspend(stream);
        {
            std::lock_guard lock(task->mutex_);
            if (task->state_ != URLSessionTask::State::running) return;
            task->state_ = URLSessionTask::State::suspended;
        }
        for (auto& [easy, t] : transfers_) {
            if (t->task == task) {
                t->suspended = true;
                // One still waiting for a connection just stays back until it is resumed.
                if (t->inMulti) curl_easy_pause(easy, CURLPAUSE_ALL);
            }
        }
    }

    void cancelOnThread(const std::shared_ptr<URLSessionTask>& task, const std::function<void(std::optional<core::Bytes>)>& resumeData) {
        if (auto stream = std::dynamic_pointer_cast<URLSessionStreamTask>(task)) return streams_->cancel(stream);
        Transfer* transfer = findTransfer(task);
        std::optional<core::Bytes> data;
        if (transfer && resumeData) data = makeResumeData(*transfer);
        if (transfer) {
            if (data) transfer->filePath.clear(); // keep the partial file for the continuation
            finish(task, transfer, makeURLError(URLErrorCode::cancelled, transfer->request.url,
                                                data ? core::Dictionary{{kDownloadTaskResumeDataKey, *data}} : core::Dictionary{}));
        } else if (parked_.erase(task->taskIdentifier()) || !task->started_) {
            finish(task, nullptr, makeURLError(URLErrorCode::cancelled, urlOf(*task)));
        }
        if (resumeData) deliver([resumeData, data] { resumeData(data); });
    }

    Transfer* findTransfer(const std::shared_ptr<URLSessionTask>& task) {
        for (auto& [easy, t] : transfers_) {
            if (t->task == task) return t.get();
        }
        return nullptr;
    }

    static double now() { return dispatch::Clock::current().monotonicTime(); }

    // ---- one leg: a request and its response (a redirect starts another leg) ----

    void startLeg(const std::shared_ptr<URLSessionTask>& task, URLRequest request, int redirects,
                  std::shared_ptr<URLSessionTaskMetrics> metrics, double resourceDeadline = 0,
                  LegAuth auth = {}, std::shared_ptr<core::InputStream> bodyStream = nullptr) {
        if (redirects > 0) {
            // The first leg's request is the task's current request already.
            std::lock_guard lock(task->mutex_);
            task->currentRequest_ = request;
        }
        const auto& requested = request.url;
        bool supported = requested && requested->scheme() && requested->host() && !requested->host()->empty() &&
                         (equalsIgnoringCase(*requested->scheme(), "http") || equalsIgnoringCase(*requested->scheme(), "https"));
        if (!supported) {
            finish(task, nullptr, makeURLError(URLErrorCode::unsupportedURL, requested));
            return;
        }

        auto transfer = std::make_unique<Transfer>();
        Transfer& t = *transfer;
        t.engine = this;
        t.task = task;
        t.request = std::move(request);
        const auto& url = t.request.url;
        t.redirects = redirects;
        t.auth = std::move(auth);
        t.metrics = std::move(metrics);
        t.timeout = std::min(t.request.timeoutInterval, configuration_.timeoutIntervalForRequest);
        t.lastActivity = now();
        t.resourceDeadline = resourceDeadline > 0 ? resourceDeadline : t.lastActivity + configuration_.timeoutIntervalForResource;
        t.legStart = dispatch::absoluteTime();
        if (t.metrics->transactionMetrics.empty()) t.metrics->taskInterval.startDate = t.legStart; // the task's first leg
        t.isDownload = dynamic_cast<URLSessionDownloadTask*>(task.get()) != nullptr;

        // An upload's body goes on every leg that keeps the task's method (a 307 or 308 redirect,
        // an authentication retry), not on one a redirect turned into a GET.
        auto* upload = dynamic_cast<URLSessionUploadTask*>(task.get());
        if (upload && (redirects == 0 || task->originalRequest()->method() == t.request.method())) {
            if (upload->bodyData()) {
                t.borrowedBody = &*upload->bodyData(); // the task keeps its bytes for as long as the transfer
            } else if (upload->isStreamed() && !bodyStream) {
                askForBodyStream(task, std::move(t.request), redirects, std::move(t.metrics), t.resourceDeadline, std::move(t.auth));
                return;
            } else {
                t.uploadBody = std::make_unique<UploadBody>(bodyStream ? std::move(bodyStream)
                                                                       : core::InputStream::withFile(upload->bodyFile()->path()));
                if (t.uploadBody->openError()) {
                    finish(task, nullptr, makeURLError(upload->isStreamed() ? URLErrorCode::requestBodyStreamExhausted
                                                                            : URLErrorCode::unknown, url));
                    return;
                }
            }
        } else if (t.request.httpBody && !upload) {
            t.body = *t.request.httpBody;
        }
        {
            std::lock_guard lock(task->mutex_);
            task->bytesExpectedToSend_ = t.uploadBody ? t.uploadBody->length() : static_cast<std::int64_t>(t.sentBody().size());
        }
        if (t.isDownload && !openDownloadFile(t)) {
            finish(task, nullptr, makeURLError(URLErrorCode::cannotCreateFile, url));
            return;
        }

        if (equalsIgnoringCase(*url->scheme(), "https")) {
            Origin origin = originOf(*url);
            auto session = session_.lock();
            auto d = delegate();
            if (session && d && d->wantsServerTrustChallenge(session, task, origin.host))
                t.trustSlot = std::make_shared<TrustSlot>(TrustSlot{std::move(origin.host), origin.port, false, {}, {}});
        }

        CURL* easy = curl_easy_init();
        t.easy = easy;
        t.hostKey = hostKey(*url);
        configure(t);
        transfers_[easy] = std::move(transfer);
        if (t.uploadBody) {
            t.uploadBody->setWakeUp([weak = weak_from_this(), easy, weakTask = std::weak_ptr(task)] {
                if (auto self = weak.lock()) self->post([self, easy, weakTask] { self->continueUpload(easy, weakTask.lock()); });
            });
        }
        attach(t);
        armTimeoutCheck();
    }

    // A streamed upload's body for the leg about to start comes from the delegate; the leg starts
    // once it answers, and no stream ends the task.
    void askForBodyStream(const std::shared_ptr<URLSessionTask>& task, URLRequest request, int redirects,
                          std::shared_ptr<URLSessionTaskMetrics> metrics, double deadline,
                          LegAuth auth) {
        parked_[task->taskIdentifier()] = task;
        auto proceed = [self = shared_from_this(), task, request = std::move(request), redirects, metrics, deadline,
                        auth = std::move(auth)](std::shared_ptr<core::InputStream> stream) {
            self->post([=] {
                if (!self->parked_.erase(task->taskIdentifier())) return; // cancelled meanwhile
                if (task->state() == URLSessionTask::State::completed) return;
                if (!stream) {
                    self->finish(task, nullptr, makeURLError(URLErrorCode::requestBodyStreamExhausted, request.url));
                    return;
                }
                self->startLeg(task, request, redirects, metrics, deadline, auth, stream);
            });
        };
        if (!responds(Callback::taskNeedNewBodyStream)) {
            proceed(nullptr);
            return;
        }
        deliver([self = shared_from_this(), task, proceed] {
            auto answered = std::make_shared<std::atomic<bool>>(false);
            auto completion = [proceed, answered](std::shared_ptr<core::InputStream> stream) {
                if (!answered->exchange(true)) proceed(std::move(stream));
            };
            if (auto d = self->delegate()) {
                d->needNewBodyStream(task->session(), task, completion);
            } else {
                completion(nullptr);
            }
        });
    }

    // A stream whose read paused the upload has bytes (or its end) now.
    void continueUpload(CURL* easy, const std::shared_ptr<URLSessionTask>& task) {
        auto it = transfers_.find(easy);
        if (!task || it == transfers_.end() || it->second->task != task || it->second->suspended || !it->second->inMulti) return;
        curl_easy_pause(easy, CURLPAUSE_CONT);
    }

    // ---- connections per host ----
    //
    // At most httpMaximumConnectionsPerHost transfers of one host are in libcurl at a time (a
    // value below 1 means no limit); the others wait here in the order they started, and a free
    // connection goes to the waiting one of highest task priority, the earliest among equals. Each
    // transfer in libcurl has a connection of its own, and one that ends hands its connection to
    // the next, which libcurl then reuses.

    static std::string hostKey(const URL& url) {
        const Origin origin = originOf(url);
        return origin.scheme + "://" + origin.host + ":" + std::to_string(origin.port);
    }

    void attach(Transfer& t) {
        HostSlots& slots = hosts_[t.hostKey];
        const int limit = configuration_.httpMaximumConnectionsPerHost;
        if (limit > 0 && slots.active >= limit) {
            slots.waiting.push_back(&t);
            return;
        }
        ++slots.active;
        t.inMulti = true;
        curl_multi_add_handle(multi_, t.easy);
    }

    // Takes a transfer out of libcurl, or out of the line, and lets the next one of its host in.
    void detach(Transfer& t) {
        auto it = hosts_.find(t.hostKey);
        if (t.inMulti) {
            curl_multi_remove_handle(multi_, t.easy);
            t.inMulti = false;
            if (it != hosts_.end()) --it->second.active;
        } else if (it != hosts_.end()) {
            std::erase(it->second.waiting, &t);
        }
        if (it != hosts_.end()) attachWaiting(t.hostKey);
    }

    // Takes a finished transfer out of libcurl and out of the table; the caller keeps what is
    // returned for as long as it still reads the transfer.
    std::unique_ptr<Transfer> takeOut(Transfer& t) {
        auto it = transfers_.find(t.easy);
        detach(t);
        cleanup(t);
        auto out = std::move(it->second);
        transfers_.erase(it);
        return out;
    }

    // Lets waiting transfers of `host` into libcurl while the host has connections to spare.
    void attachWaiting(const std::string& host) {
        auto it = hosts_.find(host);
        if (it == hosts_.end()) return;
        HostSlots& slots = it->second;
        const int limit = configuration_.httpMaximumConnectionsPerHost;
        while (limit <= 0 || slots.active < limit) {
            // Priorities may change while waiting, so the line is searched rather than kept sorted.
            auto best = slots.waiting.end();
            for (auto w = slots.waiting.begin(); w != slots.waiting.end(); ++w) {
                if (!(*w)->suspended && (best == slots.waiting.end() || (*w)->task->priority() > (*best)->task->priority())) best = w;
            }
            if (best == slots.waiting.end()) break;
            Transfer* next = *best;
            slots.waiting.erase(best);
            ++slots.active;
            next->inMulti = true;
            curl_multi_add_handle(multi_, next->easy);
        }
        if (slots.active == 0 && slots.waiting.empty()) hosts_.erase(it);
    }

    void configure(Transfer& t) {
        CURL* easy = t.easy;
        const URLRequest& r = t.request;
        curl_easy_setopt(easy, CURLOPT_URL, r.url->absoluteString().c_str());
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &SessionEngine::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &SessionEngine::onData);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &SessionEngine::onProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);

        std::string method = r.method();
        if (t.uploadBody) {
            t.uploadBody->install(easy);
            if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
        } else if (method == "HEAD") {
            curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        } else if (method != "GET" || !t.sentBody().empty()) {
            if (!t.sentBody().empty() || method == "POST" || method == "PUT" || method == "PATCH") {
                curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.sentBody().size()));
                curl_easy_setopt(easy, CURLOPT_POSTFIELDS, t.sentBody().empty() ? "" : reinterpret_cast<const char*>(t.sentBody().data()));
            }
            if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
        }

        const std::string* acceptEncoding = nullptr;
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList(t, acceptEncoding));
        // libcurl sends exactly this Accept-Encoding and decodes what it names.
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, acceptEncoding ? acceptEncoding->c_str() : "gzip, deflate");

        if (configuration_.httpCookieStorage && configuration_.httpShouldSetCookies && t.request.httpShouldHandleCookies) {
            curl_easy_setopt(easy, CURLOPT_SHARE, configuration_.httpCookieStorage->shareHandle());
            curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        }
        if (t.auth.credential) {
            // The server has asked for this scheme already: Basic goes with the request itself,
            // Digest and Negotiate answer the server's next 401 within the leg.
            curl_easy_setopt(easy, CURLOPT_HTTPAUTH, t.auth.scheme);
            curl_easy_setopt(easy, CURLOPT_USERNAME, t.auth.credential->user.c_str());
            curl_easy_setopt(easy, CURLOPT_PASSWORD, t.auth.credential->password.c_str());
        }
        if (configuration_.proxy) {
            curl_easy_setopt(easy, CURLOPT_PROXY, configuration_.proxy->absoluteString().c_str());
            // The head of a tunnel's CONNECT is the proxy's, not the response's.
            curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
            if (t.auth.proxyCredential) {
                curl_easy_setopt(easy, CURLOPT_PROXYAUTH, t.auth.proxyScheme);
                curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, t.auth.proxyCredential->user.c_str());
                curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, t.auth.proxyCredential->password.c_str());
            }
        }
        if (t.isDownload && t.resumeOffset > 0) {
            curl_easy_setopt(easy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(t.resumeOffset));
        }
        if (ServerTrust::defaultAnchorsReplaced()) {
            curl_easy_setopt(easy, CURLOPT_CAINFO, ServerTrust::defaultAnchorsFile().c_str());
            curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
        }
        if (t.trustSlot) {
            // The chain goes through onVerifyChain, which also checks the host unless the chain
            // was accepted. Connections of such legs are never shared with legs libcurl checks
            // alone (their host settings differ), and every new one shows its chain.
            curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
            curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
            curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &SessionEngine::onSSLContext);
            curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &t);
        }
    }

    // ---- server trust (network thread) ----
    //
    // A leg whose delegate wants server-trust challenges verifies the server's chain in
    // onVerifyChain, during the handshake, by the session's answer for (host, port, chain): an
    // accepted chain passes; one to get the default check is verified with the host; a chain
    // without an answer is kept, the handshake fails, and the task waits for the delegate's
    // answer before the leg starts again (raiseTrustChallenge). No request byte leaves first.

    struct TrustProbe {
        SessionEngine* engine; // the connection lives in the engine's multi handle, so no longer than the engine
        std::shared_ptr<TrustSlot> slot;
    };

    static int trustProbeIndex() {
        static const int index = SSL_CTX_get_ex_new_index(
            0, nullptr, nullptr, nullptr, [](void*, void* probe, CRYPTO_EX_DATA*, int, long, void*) { delete static_cast<TrustProbe*>(probe); });
        return index;
    }

    static CURLcode onSSLContext(CURL*, void* sslContext, void* user) {
        auto& t = *static_cast<Transfer*>(user);
        auto* context = static_cast<SSL_CTX*>(sslContext);
        auto* probe = new TrustProbe{t.engine, t.trustSlot};
        if (SSL_CTX_set_ex_data(context, trustProbeIndex(), probe) != 1) {
            delete probe;
            return CURLE_SSL_CONNECT_ERROR;
        }
        SSL_CTX_set_cert_verify_callback(context, &SessionEngine::onVerifyChain, probe);
        return CURLE_OK;
    }

    static int onVerifyChain(X509_STORE_CTX* ctx, void* user) {
        auto* probe = static_cast<TrustProbe*>(user);
        TrustSlot& slot = *probe->slot;
        std::vector<core::Bytes> chain;
        const auto add = [&chain](X509* certificate) {
            unsigned char* out = nullptr;
            const int n = i2d_X509(certificate, &out);
            if (n > 0) chain.emplace_back(out, out + n);
            OPENSSL_free(out);
        };
        STACK_OF(X509)* presented = X509_STORE_CTX_get0_untrusted(ctx);
        if (presented && sk_X509_num(presented) > 0) {
            for (int i = 0; i < sk_X509_num(presented); ++i) add(sk_X509_value(presented, i));
        } else if (X509* leaf = X509_STORE_CTX_get0_cert(ctx)) {
            add(leaf);
        }
        std::vector<const core::Bytes*> ders;
        for (const auto& der : chain) ders.push_back(&der);
        std::string key = slot.host + ":" + std::to_string(slot.port) + "/" + ServerTrust::chainDigest(ders);
        const auto& answers = probe->engine->trustAnswers_;
        if (auto answer = answers.find(key); answer != answers.end()) {
            if (answer->second) return 1;
            if (!ServerTrust::expectHost(X509_STORE_CTX_get0_param(ctx), slot.host)) return 0;
            return X509_verify_cert(ctx);
        }
        slot.challenged = true;
        slot.chain = std::move(chain);
        slot.key = std::move(key);
        X509_STORE_CTX_set_error(ctx, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }

    // The handshake met a chain without an answer: the leg is dropped and the delegate asked. A
    // trust holding that very chain accepts it; any other answer (default handling, a rejected
    // space, a credential without that trust) gets the default check; cancel ends the task.
    // Either way the answer holds for the session, and the leg starts again.
    void raiseTrustChallenge(Transfer& t) {
        auto task = t.task;
        const TrustSlot slot = *t.trustSlot;
        CertificateList chain;
        for (const auto& der : slot.chain) {
            if (auto certificate = Certificate::fromDER(der)) chain.push_back(std::move(certificate));
        }
        auto trust = ServerTrust::create(std::move(chain), {TrustPolicy::ssl(true, slot.host)});
        URLAuthenticationChallenge challenge;
        challenge.protectionSpace = URLProtectionSpace{slot.host, slot.port, "https", std::nullopt, kAuthenticationMethodServerTrust, std::nullopt};
        challenge.serverTrust = trust;
        // A fresh download's file goes; the leg makes a new one. A continued one keeps its part.
        if (t.isDownload && t.resumeOffset == 0 && !t.filePath.empty()) {
            if (t.file) std::fclose(t.file);
            t.file = nullptr;
            (void)core::files::remove(t.filePath);
        }
        auto proceed = [self = shared_from_this(), task, request = t.request, redirects = t.redirects, metrics = t.metrics,
                        deadline = t.resourceDeadline, auth = t.auth, key = slot.key,
                        digest = trust ? trust->presentedChainDigest() : std::string()](AuthChallengeDisposition disposition,
                                                                                          std::optional<URLChallengeCredential> answer) {
            const bool accepted = disposition == AuthChallengeDisposition::useCredential && answer && answer->trust &&
                                  !digest.empty() && answer->trust->presentedChainDigest() == digest;
            self->trustAnswers_.emplace(key, accepted); // the first answer for a chain stands
            self->startLeg(task, request, redirects, metrics, deadline, auth);
        };
        auto url = t.request.url;
        auto finished = takeOut(t);
        askChallenge(task, std::move(challenge), std::move(url), std::move(proceed));
    }

    // The header lines of a transfer: the session's fields, then the request's (which win; a
    // field of both keeps the session's place and spelling), User-Agent and Accept where neither
    // names them, and nothing the request did not ask for (no Expect, no default form
    // Content-Type). Accept-Encoding is left to libcurl, which sends exactly that value (set in
    // `acceptEncoding`) and decodes what it names.
    //
    // Most requests of a session carry the same fields, so the lists are kept and shared by every
    // transfer with the same lines, up to kSharedHeaderLists of them; building one costs the
    // network thread more than a small request's whole exchange with libcurl's engine.
    curl_slist* headerList(Transfer& t, const std::string*& acceptEncoding) {
        const HTTPHeaders& session = configuration_.httpAdditionalHeaders;
        const HTTPHeaders& own = t.request.allHTTPHeaderFields;
        std::string& lines = headerLines_; // one line after another, each ended by a NUL
        lines.clear();
        bool userAgent = false, accept = false, contentType = false;
        const auto line = [&](const std::string& name, const std::string& value) {
            if (equalsIgnoringCase(name, "Accept-Encoding")) {
                acceptEncoding = &value;
                return;
            }
            userAgent = userAgent || equalsIgnoringCase(name, "User-Agent");
            accept = accept || equalsIgnoringCase(name, "Accept");
            contentType = contentType || equalsIgnoringCase(name, "Content-Type");
            // Each text ends at its first NUL, as libcurl would read it: what follows a NUL never
            // becomes a line of its own.
            const std::string_view text(value.c_str());
            lines += std::string_view(name.c_str());
            lines += text.empty() ? ";" : ": "; // "Name;" is libcurl's way of sending an empty field
            lines += text;
            lines += '\0';
        };
        for (const auto& [name, value] : session) {
            const std::string* mine = own.find(name);
            line(name, mine ? *mine : value);
        }
        for (const auto& [name, value] : own) {
            if (!session.contains(name)) line(name, value);
        }
        static const std::string kUserAgent = "User-Agent", kAccept = "Accept", kAnyType = "*/*";
        if (!userAgent) line(kUserAgent, defaultUserAgent_);
        if (!accept) line(kAccept, kAnyType);
        lines += "Expect:";
        lines += '\0';
        if (!contentType) {
            lines += "Content-Type:";
            lines += '\0';
        }

        if (auto shared = headerLists_.find(lines); shared != headerLists_.end()) return shared->second;
        curl_slist* list = nullptr;
        for (std::size_t at = 0; at < lines.size(); at = lines.find('\0', at) + 1) list = curl_slist_append(list, lines.c_str() + at);
        if (headerLists_.size() < kSharedHeaderLists) {
            headerLists_.emplace(lines, list);
        } else {
            t.headerList = list; // the transfer's own, freed with it
        }
        return list;
    }

    void cleanup(Transfer& t) {
        if (t.easy) curl_easy_cleanup(t.easy);
        t.easy = nullptr;
        if (t.headerList) curl_slist_free_all(t.headerList);
        t.headerList = nullptr;
        if (t.file) std::fclose(t.file);
        t.file = nullptr;
    }

    // ---- libcurl callbacks (network thread) ----

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
        auto& t = *static_cast<Transfer*>(user);
        std::size_t n = size * count;
        std::string_view line(data, n);
        t.lastActivity = now();
        if (line.rfind("HTTP/", 0) == 0) {
            // A new response head (an interim 1xx one is followed by the real one; a 401 that
            // libcurl answers itself with Digest or Negotiate, by its next try).
            t.headers = HTTPHeaders();
            t.headComplete = false;
            t.holdingRedirect = t.holdingChallenge = false;
            t.heldBody.clear();
            auto space = line.find(' ');
            t.httpVersion = core::ascii::trimmed(line.substr(0, space));
            t.status = space == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
        } else if (core::ascii::trimmed(line).empty()) {
            if (t.status >= 200) t.engine->headComplete(t);
        } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
            t.headers.add(core::ascii::trimmed(line.substr(0, colon)), core::ascii::trimmed(line.substr(colon + 1)));
        }
        return n;
    }

    static std::size_t onData(char* data, std::size_t size, std::size_t count, void* user) {
        auto& t = *static_cast<Transfer*>(user);
        std::size_t n = size * count;
        t.lastActivity = now();
        return t.engine->received(t, data, n) ? n : CURL_WRITEFUNC_ERROR;
    }

    static int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
        auto& t = *static_cast<Transfer*>(user);
        if (ulnow > t.uploaded) {
            std::int64_t sent = ulnow - t.uploaded;
            t.uploaded = ulnow;
            t.lastActivity = now();
            {
                std::lock_guard lock(t.task->mutex_);
                t.task->bytesSent_ = ulnow;
            }
            SessionEngine* engine = t.engine;
            if (engine->responds(Callback::taskDidSendBodyData)) {
                auto task = t.task;
                std::int64_t total = ultotal > 0 ? ultotal
                                     : t.uploadBody ? t.uploadBody->length()
                                                    : static_cast<std::int64_t>(t.sentBody().size());
                engine->deliverAfterResponse(task, [engine = engine->shared_from_this(), task, sent, ulnow, total] {
                    if (auto d = engine->delegate()) d->didSendBodyData(task->session(), task, sent, ulnow, total);
                });
            }
        }
        return 0;
    }

    void headComplete(Transfer& t) {
        if (t.headComplete) return;
        t.headComplete = true;
        // The fields move into the response; from here on they are read there.
        auto response = std::make_shared<const HTTPURLResponse>(*t.request.url, t.status, std::move(t.httpVersion), std::move(t.headers));
        t.response = response;
        const HTTPHeaders& fields = response->allHeaderFields();
        if (isRedirectStatus(t.status) && fields.contains("Location") && !t.isDownload) {
            // Whether this response is followed is decided when it is complete.
            t.holdingRedirect = true;
            return;
        }
        const bool fromProxy = t.status == 407 && configuration_.proxy;
        if ((t.status == 401 || fromProxy) && !t.isDownload) {
            const auto field = fields.value(fromProxy ? "Proxy-Authenticate" : "WWW-Authenticate");
            if (auto offer = field ? authOffer(*field) : std::nullopt) {
                // Whether the request is sent again with a credential is decided when it is complete.
                t.holdingChallenge = true;
                t.challengeOffer = std::move(offer);
                t.challengeFromProxy = fromProxy;
                return;
            }
        }
        presentResponse(t, response);
    }

    void presentResponse(Transfer& t, const std::shared_ptr<const HTTPURLResponse>& response) {
        auto task = t.task;
        {
            std::lock_guard lock(task->mutex_);
            task->response_ = response;
        }
        if (t.isDownload) {
            if (t.resumeOffset > 0 && t.status != 206) {
                // The server sent the whole body again: start the file over.
                if (t.file && std::freopen(t.filePath.c_str(), "wb", t.file) == nullptr) t.file = nullptr;
                t.resumeOffset = 0;
            } else if (t.resumeOffset > 0 && responds(Callback::downloadTaskDidResume)) {
                auto downloadTask = std::static_pointer_cast<URLSessionDownloadTask>(task);
                std::int64_t offset = t.resumeOffset;
                std::int64_t total = response->expectedContentLength() >= 0 ? offset + response->expectedContentLength() : -1;
                deliver([self = shared_from_this(), downloadTask, offset, total] {
                    if (auto d = self->delegate()) d->didResumeAtOffset(downloadTask->session(), downloadTask, offset, total);
                });
            }
            return;
        }
        if (!responds(Callback::dataTaskDidReceiveResponse)) return;
        {
            std::lock_guard lock(task->mutex_);
            if (task->state_ == URLSessionTask::State::canceling) return;
            task->responseDecided_ = false;
        }
        auto dataTask = std::static_pointer_cast<URLSessionDataTask>(task);
        auto self = shared_from_this();
        deliver([self, dataTask, response] {
            auto answered = std::make_shared<std::atomic<bool>>(false);
            auto completion = [self, dataTask, answered](ResponseDisposition disposition) {
                if (answered->exchange(true)) return;
                if (disposition == ResponseDisposition::cancel) {
                    self->cancel(dataTask, nullptr);
                    return;
                }
                std::lock_guard lock(dataTask->mutex_);
                dataTask->responseDecided_ = true;
                for (auto& [keep, event] : dataTask->held_) self->queue_->addOperation(std::move(event));
                dataTask->held_.clear();
            };
            if (auto d = self->delegate()) {
                d->didReceiveResponse(dataTask->session(), dataTask, response, completion);
            } else {
                completion(ResponseDisposition::allow);
            }
        });
    }

    bool received(Transfer& t, const char* data, std::size_t n) {
        if (t.holdingRedirect || t.holdingChallenge) {
            if (passesBodyLimit(configuration_, t.isDownload, static_cast<std::int64_t>(t.heldBody.size() + n))) return false;
            t.heldBody.insert(t.heldBody.end(), data, data + n);
            return true;
        }
        auto task = t.task;
        std::int64_t total;
        {
            std::lock_guard lock(task->mutex_);
            task->bytesReceived_ += static_cast<std::int64_t>(n);
            total = task->bytesReceived_;
        }
        if (passesBodyLimit(configuration_, t.isDownload, total)) return false;
        if (t.isDownload) {
            if (!t.file || std::fwrite(data, 1, n, t.file) != n) return false;
            if (responds(Callback::downloadTaskDidWriteData)) {
                auto downloadTask = std::static_pointer_cast<URLSessionDownloadTask>(task);
                std::int64_t expected = t.response && t.response->expectedContentLength() >= 0
                                            ? t.resumeOffset + t.response->expectedContentLength() : -1;
                std::int64_t written = t.resumeOffset + total;
                std::int64_t chunk = static_cast<std::int64_t>(n);
                deliver([self = shared_from_this(), downloadTask, chunk, written, expected] {
                    if (auto d = self->delegate()) d->didWriteData(downloadTask->session(), downloadTask, chunk, written, expected);
                });
            }
            return true;
        }
        if (responds(Callback::dataTaskDidReceiveData)) {
            auto dataTask = std::static_pointer_cast<URLSessionDataTask>(task);
            core::Bytes chunk(reinterpret_cast<const std::uint8_t*>(data), reinterpret_cast<const std::uint8_t*>(data) + n);
            deliverAfterResponse(task, [self = shared_from_this(), dataTask, chunk = std::move(chunk)] {
                if (auto d = self->delegate()) d->didReceiveData(dataTask->session(), dataTask, chunk);
            });
        }
        return true;
    }

    void transferDone(CURL* easy, CURLcode code) {
        auto it = transfers_.find(easy);
        if (it == transfers_.end()) return;
        Transfer& t = *it->second;
        if (t.trustSlot && t.trustSlot->challenged) {
            raiseTrustChallenge(t);
            return;
        }
        recordLegMetrics(t);
        t.legRecorded = true;
        if (code == CURLE_OK && t.holdingRedirect) {
            redirect(t);
            return;
        }
        if (code == CURLE_OK && t.holdingChallenge) {
            challenge(t);
            return;
        }
        if (code == CURLE_OK) {
            if (!t.response) {
                finish(t.task, &t, makeURLError(URLErrorCode::badServerResponse, t.request.url));
                return;
            }
            if (t.isDownload) {
                finishDownload(t);
                return;
            }
            finish(t.task, &t, std::nullopt);
            return;
        }
        if (code == CURLE_WRITE_ERROR && !t.isDownload) {
            // Only the body limit refuses a data task's bytes.
            finish(t.task, &t, makeURLError(URLErrorCode::dataLengthExceedsMaximum, t.request.url));
            return;
        }
        if (t.uploadBody && t.uploadBody->readFailed()) {
            finish(t.task, &t, makeURLError(URLErrorCode::requestBodyStreamExhausted, t.request.url));
            return;
        }
        long verify = 0;
        curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
        finish(t.task, &t, makeURLError(errorCodeFor(code, verify), t.request.url));
    }

    void redirect(Transfer& t) {
        auto task = t.task;
        auto response = t.response;
        auto next = redirectedRequest(t.request, t.status, *response->allHeaderFields().value("Location"));
        int redirects = t.redirects + 1;
        if (next && redirects > kMaximumRedirects) {
            finish(task, &t, makeURLError(URLErrorCode::httpTooManyRedirects, t.request.url));
            return;
        }
        // Take the finished leg out; its body is kept in case the redirect is not followed.
        auto metrics = t.metrics;
        double deadline = t.resourceDeadline;
        core::Bytes body = std::move(t.heldBody);
        handOverRequest(t);
        auto finished = takeOut(t);

        // A redirect keeps the proxy's credential, not the server's.
        LegAuth proxyAuth{std::nullopt, CURLAUTH_BASIC, 0, t.auth.proxyCredential, t.auth.proxyScheme, t.auth.proxyFailures};
        auto proceed = [self = shared_from_this(), task, response, body, redirects, metrics, deadline, proxyAuth](std::optional<URLRequest> chosen) {
            self->post([self, task, response, body, redirects, metrics, deadline, proxyAuth, chosen] {
                if (task->state() == URLSessionTask::State::completed) return;
                if (chosen) {
                    self->startLeg(task, *chosen, redirects, metrics, deadline, proxyAuth);
                } else {
                    self->endWithHeldResponse(task, response, body, metrics);
                }
            });
        };
        if (!next) {
            proceed(std::nullopt);
            return;
        }
        if (!responds(Callback::taskWillPerformHTTPRedirection)) {
            proceed(next);
            return;
        }
        parked_[task->taskIdentifier()] = task;
        deliver([self = shared_from_this(), task, response, request = *next, proceed] {
            auto answered = std::make_shared<std::atomic<bool>>(false);
            auto completion = [self, task, proceed, answered](std::optional<URLRequest> chosen) {
                if (answered->exchange(true)) return;
                self->post([self, task] { self->parked_.erase(task->taskIdentifier()); });
                proceed(std::move(chosen));
            };
            if (auto d = self->delegate()) {
                d->willPerformHTTPRedirection(task->session(), task, response, request, completion);
            } else {
                completion(request);
            }
        });
    }

    // A 401 (or the proxy's 407) offering Basic, Digest or Negotiate authentication. The delegate
    // is asked for a credential (a delegate that does not take the event gets the default
    // handling): with one the request goes again with it in the offered scheme (Negotiate needs
    // none of its own: an answer without one still tries); the default handling takes the
    // credential storage's default credential for the protection space, once; otherwise the 401
    // or 407 is the task's answer, and a cancel ends the task as cancelled.
    void challenge(Transfer& t) {
        auto task = t.task;
        URLAuthenticationChallenge challenge;
        URLProtectionSpace& space = challenge.protectionSpace;
        const bool proxy = t.challengeFromProxy;
        if (proxy) {
            Origin origin = originOf(*configuration_.proxy);
            space.protocol = origin.scheme;
            space.proxyType = std::move(origin.scheme);
            space.host = std::move(origin.host);
            space.port = origin.port;
        } else {
            Origin origin = originOf(*t.request.url);
            space.protocol = std::move(origin.scheme);
            space.host = std::move(origin.host);
            space.port = origin.port;
        }
        space.realm = t.challengeOffer->realm;
        space.authenticationMethod = t.challengeOffer->method;
        const int failures = proxy ? t.auth.proxyFailures : t.auth.failures;
        challenge.previousFailureCount = failures;
        challenge.failureResponse = t.response;

        // Take the finished leg out; its response and body are kept in case no credential comes.
        auto proceed = [self = shared_from_this(), task, request = t.request, response = t.response, body = std::move(t.heldBody),
                        metrics = t.metrics, deadline = t.resourceDeadline, redirects = t.redirects, auth = t.auth, failures,
                        proxy, space](AuthChallengeDisposition disposition, std::optional<URLChallengeCredential> answer) {
            std::optional<URLCredential> credential;
            if (disposition == AuthChallengeDisposition::useCredential && answer) {
                credential = answer->userCredential;
                if (!credential && space.authenticationMethod == kAuthenticationMethodNegotiate) credential = URLCredential{};
            } else if (disposition == AuthChallengeDisposition::performDefaultHandling && failures == 0 &&
                       self->configuration_.urlCredentialStorage) {
                credential = self->configuration_.urlCredentialStorage->defaultCredential(space);
            }
            if (!credential) {
                self->endWithHeldResponse(task, response, body, metrics);
                return;
            }
            LegAuth next = auth;
            if (proxy) {
                next.proxyCredential = std::move(credential);
                next.proxyScheme = curlAuthScheme(space.authenticationMethod);
                next.proxyFailures = failures + 1;
            } else {
                next.credential = std::move(credential);
                next.scheme = curlAuthScheme(space.authenticationMethod);
                next.failures = failures + 1;
            }
            self->startLeg(task, request, redirects, metrics, deadline, std::move(next));
        };
        auto url = t.request.url;
        handOverRequest(t);
        auto finished = takeOut(t);
        askChallenge(task, std::move(challenge), std::move(url), std::move(proceed));
    }

    // Parks the task and asks the delegate to answer a challenge; a delegate that does not take
    // the event gets the default handling. The first answer comes back on the network thread:
    // cancel ends the task as cancelled, any other goes to `proceed` unless the task has ended
    // meanwhile.
    void askChallenge(const std::shared_ptr<URLSessionTask>& task, URLAuthenticationChallenge challenge, std::optional<URL> url,
                      ChallengeCompletion proceed) {
        parked_[task->taskIdentifier()] = task;
        auto answer = [self = shared_from_this(), task, url = std::move(url), proceed = std::move(proceed)](
                          AuthChallengeDisposition disposition, std::optional<URLChallengeCredential> credential) {
            self->post([=] {
                self->parked_.erase(task->taskIdentifier());
                if (task->state() == URLSessionTask::State::completed) return;
                if (disposition == AuthChallengeDisposition::cancelAuthenticationChallenge) {
                    self->finish(task, nullptr, makeURLError(URLErrorCode::cancelled, url));
                    return;
                }
                proceed(disposition, credential);
            });
        };
        if (!responds(Callback::taskDidReceiveChallenge)) {
            answer(AuthChallengeDisposition::performDefaultHandling, std::nullopt);
            return;
        }
        deliver([self = shared_from_this(), task, challenge = std::move(challenge), answer = std::move(answer)] {
            auto answered = std::make_shared<std::atomic<bool>>(false);
            auto completion = [answer, answered](AuthChallengeDisposition disposition, std::optional<URLChallengeCredential> credential) {
                if (!answered->exchange(true)) answer(disposition, std::move(credential));
            };
            if (auto d = self->delegate()) {
                d->didReceiveChallenge(task->session(), task, challenge, completion);
            } else {
                completion(AuthChallengeDisposition::performDefaultHandling, std::nullopt);
            }
        });
    }

    // A redirect the delegate refused, or a challenge answered with no credential: the held
    // response is the task's answer.
    void endWithHeldResponse(const std::shared_ptr<URLSessionTask>& task, std::shared_ptr<const HTTPURLResponse> response,
                                 core::Bytes body, std::shared_ptr<URLSessionTaskMetrics> metrics) {
        Transfer t;
        t.engine = this;
        t.task = task;
        t.request = *task->currentRequest();
        t.metrics = std::move(metrics);
        t.status = response->statusCode();
        t.response = response;
        presentResponse(t, response);
        if (!body.empty()) received(t, reinterpret_cast<const char*>(body.data()), body.size());
        finish(task, &t, std::nullopt, /*attached=*/false);
    }

    // Records the timings of the leg that has just ended. Its request joins them when the transfer
    // is done with it (handOverRequest): a copy of every request would cost the network thread
    // more than the timings themselves.
    void recordLegMetrics(Transfer& t) {
        URLSessionTaskTransactionMetrics m;
        auto at = [&](CURLINFO info) -> std::optional<double> {
            curl_off_t micros = 0;
            if (curl_easy_getinfo(t.easy, info, &micros) != CURLE_OK || micros <= 0) return std::nullopt;
            return t.legStart + static_cast<double>(micros) / 1e6;
        };
        m.fetchStartDate = t.legStart;
        m.domainLookupStartDate = t.legStart;
        m.domainLookupEndDate = at(CURLINFO_NAMELOOKUP_TIME_T);
        m.connectStartDate = m.domainLookupEndDate;
        m.connectEndDate = at(CURLINFO_CONNECT_TIME_T);
        if (auto tls = at(CURLINFO_APPCONNECT_TIME_T)) {
            m.secureConnectionStartDate = m.connectEndDate;
            m.connectEndDate = tls;
        }
        m.requestStartDate = at(CURLINFO_PRETRANSFER_TIME_T);
        m.responseStartDate = at(CURLINFO_STARTTRANSFER_TIME_T);
        m.responseEndDate = at(CURLINFO_TOTAL_TIME_T);
        long connects = 0;
        curl_easy_getinfo(t.easy, CURLINFO_NUM_CONNECTS, &connects);
        m.reusedConnection = connects == 0;
        long version = 0;
        curl_easy_getinfo(t.easy, CURLINFO_HTTP_VERSION, &version);
        m.networkProtocolName = version == CURL_HTTP_VERSION_2_0 ? "h2" : version == CURL_HTTP_VERSION_1_0 ? "http/1.0" : "http/1.1";
        t.metrics->transactionMetrics.push_back(std::move(m));
        t.legMetrics = t.metrics->transactionMetrics.size();
        t.metrics->redirectCount = t.redirects;
    }

    // Moves a finished leg's request into its metrics; the transfer's request is empty afterwards.
    static void handOverRequest(Transfer& t) {
        if (t.legMetrics > 0) t.metrics->transactionMetrics[t.legMetrics - 1].request = std::move(t.request);
    }

    // ---- downloads ----

    static constexpr std::string_view kPartialPrefix = "quillora-download-";

    // Resume data names a file to append to and then remove, so only a partial file of the
    // session's own making is taken: in the temporary folder, named as the session names them,
    // a regular file (not a link) of exactly `offset` bytes. Anything else starts over.
    static int openOwnPartialFile(const std::string& path, std::int64_t offset) {
        const std::string folder = core::paths::temporary() + "/";
        if (path.rfind(folder, 0) != 0) return -1;
        const std::string name = path.substr(folder.size());
        const std::size_t uuidLength = 36;
        if (name.size() != kPartialPrefix.size() + uuidLength + 4 || name.rfind(kPartialPrefix, 0) != 0 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0 ||
            name.find_first_not_of("0123456789ABCDEF-", kPartialPrefix.size()) != name.size() - 4)
            return -1;
        int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        struct stat info{};
        if (fd < 0) return -1;
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != offset) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    bool openDownloadFile(Transfer& t) {
        auto* download = static_cast<URLSessionDownloadTask*>(t.task.get());
        if (download->resumeData()) {
            auto parsed = core::plist::read(*download->resumeData());
            const core::Value* path = parsed ? parsed->value.find("path") : nullptr;
            const core::Value* offset = parsed ? parsed->value.find("offset") : nullptr;
            const core::Value* validator = parsed ? parsed->value.find("validator") : nullptr;
            int fd = path && path->isString() && offset && offset->isInteger() ? openOwnPartialFile(path->asString(), offset->asInt()) : -1;
            if (fd >= 0) {
                t.filePath = path->asString();
                t.resumeOffset = offset->asInt();
                t.file = ::fdopen(fd, "ab");
                // The rest only if the resource is still the one the part came from.
                if (validator && validator->isString()) t.request.setValue(validator->asString(), "If-Range");
                return t.file != nullptr;
            }
        }
        std::string folder = core::paths::temporary();
        t.filePath = folder + "/quillora-download-" + core::makeUuidString() + ".tmp";
        t.file = std::fopen(t.filePath.c_str(), "wb");
        return t.file != nullptr;
    }

    std::optional<core::Bytes> makeResumeData(Transfer& t) {
        if (!t.isDownload || !t.file || !t.request.url) return std::nullopt;
        std::fflush(t.file);
        std::int64_t offset = t.resumeOffset + t.task->countOfBytesReceived();
        if (offset <= 0) return std::nullopt;
        core::Dictionary fields{{"url", t.request.url->absoluteString()},
                                {"path", t.filePath},
                                {"offset", static_cast<long long>(offset)}};
        // The response's strong validator, else its date, for If-Range when it goes on.
        if (t.response) {
            const HTTPHeaders& headers = t.response->allHeaderFields();
            auto etag = headers.value("ETag");
            if (etag && etag->rfind("W/", 0) != 0) fields.set("validator", *etag);
            else if (auto modified = headers.value("Last-Modified")) fields.set("validator", *modified);
        }
        auto bytes = core::plist::write(core::Value(std::move(fields)), core::plist::Format::Binary);
        if (!bytes) return std::nullopt;
        return *bytes;
    }

    void finishDownload(Transfer& t) {
        std::fflush(t.file);
        std::fclose(t.file);
        t.file = nullptr;
        auto downloadTask = std::static_pointer_cast<URLSessionDownloadTask>(t.task);
        std::string path = t.filePath;
        t.filePath.clear();
        if (responds(Callback::downloadTaskDidFinishDownloading)) {
            deliver([self = shared_from_this(), downloadTask, path] {
                if (auto d = self->delegate()) d->didFinishDownloadingToURL(downloadTask->session(), downloadTask, URL::fileURL(path));
                if (!downloadTask->keepsDownloadedFile()) (void)core::files::remove(path);
            });
        } else {
            (void)core::files::remove(path);
        }
        finish(t.task, &t, std::nullopt);
    }

    // ---- the end of a task ----

    void finish(const std::shared_ptr<URLSessionTask>& task, Transfer* transfer, std::optional<core::Error> error,
                bool attached = true) {
        std::shared_ptr<URLSessionTaskMetrics> metrics;
        if (transfer) {
            metrics = transfer->metrics;
            metrics->taskInterval.duration = dispatch::absoluteTime() - metrics->taskInterval.startDate;
            if (attached && transfer->easy) {
                if (!transfer->legRecorded) recordLegMetrics(*transfer); // cancelled or timed out mid-way
                handOverRequest(*transfer);
                if (!transfer->filePath.empty()) {
                    if (transfer->file) std::fclose(transfer->file);
                    transfer->file = nullptr;
                    (void)core::files::remove(transfer->filePath);
                }
                auto keep = takeOut(*transfer); // destroyed at the end of this call
                finishTask(task, std::move(metrics), std::move(error));
                return;
            }
        }
        finishTask(task, std::move(metrics), std::move(error));
    }

    void finishTask(const std::shared_ptr<URLSessionTask>& task, std::shared_ptr<URLSessionTaskMetrics> metrics,
                    std::optional<core::Error> error) {
        {
            std::lock_guard lock(task->mutex_);
            if (task->state_ == URLSessionTask::State::completed) return;
            // A task cancelled while its transfer was ending ends as cancelled.
            if (task->state_ == URLSessionTask::State::canceling && !(error && isURLError(*error, URLErrorCode::cancelled)))
                error = makeURLError(URLErrorCode::cancelled, task->currentRequest_ ? task->currentRequest_->url : std::nullopt);
            task->state_ = URLSessionTask::State::completed;
            task->error_ = error;
        }
        parked_.erase(task->taskIdentifier());
        auto self = shared_from_this();
        if (metrics && responds(Callback::taskDidFinishCollectingMetrics)) {
            deliverAfterResponse(
                task, [self, task, metrics] {
                    if (auto d = self->delegate()) d->didFinishCollectingMetrics(task->session(), task, metrics);
                },
                /*keepOnCancel=*/true);
        }
        ++pendingCompletions_;
        // The completion reads the task's error when it runs: a refusal of the response may still
        // turn it into "cancelled".
        deliverAfterResponse(task, [self, task] { self->completeOnQueue(task, task->error()); }, /*keepOnCancel=*/true);
        finishInvalidationIfIdle();
    }

    // The last event of a task, on the delegate queue.
    void completeOnQueue(const std::shared_ptr<URLSessionTask>& task, const std::optional<core::Error>& error) {
        if (auto d = delegate(); d && d->respondsTo(Callback::taskDidComplete)) d->didCompleteWithError(task->session(), task, error);
        if (--pendingCompletions_ == 0) deliverInvalidationWhenDue();
    }

    void finishInvalidationIfIdle() {
        if (!invalidating_ || !transfers_.empty() || !parked_.empty() || !streams_->empty()) return;
        invalidationReady_ = true;
        deliverInvalidationWhenDue();
    }

    // The delegate hears of the invalidation after the completion of every task.
    void deliverInvalidationWhenDue() {
        if (!invalidationReady_ || pendingCompletions_ > 0 || invalidationDelivered_.exchange(true)) return;
        auto self = shared_from_this();
        deliver([self] {
            std::shared_ptr<URLSessionDelegate> d;
            {
                std::lock_guard lock(self->delegateMutex_);
                d = std::move(self->delegate_); // the session lets its delegate go
            }
            auto session = self->session_.lock();
            if (d && session && d->respondsTo(Callback::sessionDidBecomeInvalid)) d->didBecomeInvalidWithError(session, std::nullopt);
        });
    }

    // ---- time-outs on the app's clock ----
    //
    // One delayed check per session, set for the earliest deadline of all transfers (idle time
    // of a running transfer, or the task's resource deadline). Activity only moves deadlines
    // later, so a check that comes early finds nothing due and sets the next one. Delays go
    // through the dispatch scheduler so that a virtual clock drives them in tests.

    void armTimeoutCheck() {
        double earliest = std::numeric_limits<double>::infinity();
        for (const auto& [easy, t] : transfers_) {
            if (!t->suspended) earliest = std::min(earliest, t->lastActivity + t->timeout);
            earliest = std::min(earliest, t->resourceDeadline);
        }
        if (!(earliest < scheduledCheck_)) return;
        scheduledCheck_ = earliest;
        const std::uint64_t generation = ++checkGeneration_;
        std::weak_ptr<SessionEngine> weakSelf = shared_from_this();
        dispatch::Queue::global(dispatch::QoS::utility)->after(std::max(earliest - now(), 0.001), [weakSelf, generation] {
            if (auto self = weakSelf.lock()) {
                self->post([self, generation] {
                    if (generation != self->checkGeneration_) return; // replaced by an earlier check
                    self->scheduledCheck_ = std::numeric_limits<double>::infinity();
                    self->checkTimeouts();
                });
            }
        });
    }

    void checkTimeouts() {
        const double t = now();
        std::vector<Transfer*> expired;
        for (const auto& [easy, transfer] : transfers_) {
            bool idle = !transfer->suspended && t - transfer->lastActivity >= transfer->timeout;
            if (idle || t >= transfer->resourceDeadline) expired.push_back(transfer.get());
        }
        for (Transfer* transfer : expired) {
            auto task = transfer->task;
            finish(task, transfer, makeURLError(URLErrorCode::timedOut, transfer->request.url));
        }
        armTimeoutCheck();
    }

    // What the stream tasks' part of the session may use of it.
    StreamConnections::Host streamHost() {
        std::weak_ptr<SessionEngine> weakSelf = shared_from_this();
        return {
            [weakSelf](std::function<void()> command) {
                if (auto self = weakSelf.lock()) self->post(std::move(command));
            },
            [this](std::function<void()> event) { deliver(std::move(event)); },
            [this](const std::shared_ptr<URLSessionTask>& task, std::optional<core::Error> error) {
                finish(task, nullptr, std::move(error));
            },
            [this] { return delegate(); },
        };
    }

public:
    const std::shared_ptr<StreamConnections>& streams() const { return streams_; }

private:
    const URLSessionConfiguration configuration_;
    const std::string defaultUserAgent_; // for requests that name none, made once: the bundle does not change
    // The delegate has a lock of its own: every event asks for it, on the network thread and on
    // the delegate queue, and should not wait behind callers queueing commands.
    mutable std::mutex delegateMutex_;
    std::shared_ptr<URLSessionDelegate> delegate_; // guarded by delegateMutex_; released on invalidation
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> commands_;   // guarded by mutex_
    bool stopping_ = false;                        // guarded by mutex_
    bool invalidated_ = false;                     // guarded by mutex_
    const std::shared_ptr<dispatch::OperationQueue> queue_;
    std::weak_ptr<URLSession> session_;
    CURLM* multi_ = nullptr;
    std::thread thread_;

    // Network thread only.
    std::atomic<std::thread::id> networkThread_{};
    std::vector<std::function<void()>> batch_; // events of this turn of the loop, in order
    std::unordered_map<CURL*, std::unique_ptr<Transfer>> transfers_; // in libcurl or waiting for a connection
    struct HostSlots {
        int active = 0;                 // transfers of the host in libcurl
        std::deque<Transfer*> waiting;  // in the order they came to wait
    };
    std::unordered_map<std::string, HostSlots> hosts_;
    std::unordered_map<std::uint64_t, std::shared_ptr<URLSessionTask>> parked_; // waiting on a redirect or challenge answer
    // The delegate's answers to server-trust challenges, by host, port and chain: accepted (true)
    // or checked by default (false).
    std::unordered_map<std::string, bool> trustAnswers_;
    static constexpr std::size_t kSharedHeaderLists = 32;
    std::unordered_map<std::string, curl_slist*> headerLists_; // by their lines (see headerList())
    std::string headerLines_;
    bool invalidating_ = false;
    double scheduledCheck_ = std::numeric_limits<double>::infinity(); // when the pending time-out check is due
    std::uint64_t checkGeneration_ = 0;
    std::shared_ptr<StreamConnections> streams_; // made before the thread starts
    std::vector<curl_waitfd> waitFds_;
    // Any thread.
    std::atomic<int> pendingCompletions_{0}; // completions queued or held, not yet delivered
    std::atomic<bool> invalidationReady_{false};
    std::atomic<bool> invalidationDelivered_{false};
};

// ---------------------------------------------------------------------------------------------

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
    return c;
}

URLSessionConfiguration URLSessionConfiguration::ephemeralConfiguration() {
    URLSessionConfiguration c;
    c.httpCookieStorage = HTTPCookieStorage::create();
    c.urlCredentialStorage = URLCredentialStorage::create();
    return c;
}

} // namespace net
