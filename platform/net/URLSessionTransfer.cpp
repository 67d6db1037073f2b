// One leg of a URL session task over libcurl: a request and its response (a redirect or an
// authentication retry starts another leg). The easy handle's options, the header lines, what
// libcurl's callbacks receive, and how the leg ends.

#include "platform/net/URLSessionEngine.h"

#include "platform/core/Ascii.h"
#include "platform/dispatch/Clock.h"
#include "platform/net/BodyLimit.h"
#include "platform/net/HTTPCaching.h"
#include "platform/net/ServerTrust.h"
#include "platform/net/URLError.h"

#include <cstdlib>

namespace net {

using core::ascii::equalsIgnoringCase;
using session::authOffer;
using session::errorCodeFor;
using session::hostKey;
using session::isRedirectStatus;
using session::Origin;
using session::originOf;

void SessionEngine::startLeg(const std::shared_ptr<URLSessionTask>& task, URLRequest request, int redirects,
                             std::shared_ptr<URLSessionTaskMetrics> metrics, double resourceDeadline,
                             LegAuth auth, std::shared_ptr<core::InputStream> bodyStream) {
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
    std::shared_ptr<const CachedURLResponse> revalidating;
    if (answerFromCache(task, request, redirects, auth, metrics, revalidating)) return;

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
    t.requestWallTime = dispatch::Clock::current().wallTime();
    t.revalidating = std::move(revalidating);
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
void SessionEngine::askForBodyStream(const std::shared_ptr<URLSessionTask>& task, URLRequest request, int redirects,
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
void SessionEngine::continueUpload(CURL* easy, const std::shared_ptr<URLSessionTask>& task) {
    auto it = transfers_.find(easy);
    if (!task || it == transfers_.end() || it->second->task != task || it->second->suspended || !it->second->inMulti) return;
    curl_easy_pause(easy, CURLPAUSE_CONT);
}

void SessionEngine::configure(Transfer& t) {
    CURL* easy = t.easy;
    const URLRequest& r = t.request;
    curl_easy_setopt(easy, CURLOPT_URL, r.url->absoluteString().c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.curlMessage);
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
            // libcurl copies the bytes into its upload buffer and sends one buffer a loop turn.
            // Larger than its 64 KiB, a large body takes half the turns (and system calls); kept
            // below the allocator's mmap threshold, the buffer is heap memory the next leg
            // reuses rather than a fresh mapping that faults in page by page.
            if (t.sentBody().size() > kBytesUploadBuffer)
                curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, static_cast<long>(kBytesUploadBuffer));
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

// The header list of a transfer (see session::headerLines). Accept-Encoding is left to libcurl,
// which sends exactly that value (set in `acceptEncoding`) and decodes what it names.
//
// Most requests of a session carry the same fields, so the lists are kept and shared by every
// transfer with the same lines, up to kSharedHeaderLists of them; building one costs the
// network thread more than a small request's whole exchange with libcurl's engine.
curl_slist* SessionEngine::headerList(Transfer& t, const std::string*& acceptEncoding) {
    std::string& lines = headerLines_; // one line after another, each ended by a NUL
    session::headerLines(configuration_.httpAdditionalHeaders, t.request.allHTTPHeaderFields, defaultUserAgent_, lines,
                         acceptEncoding);
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

void SessionEngine::cleanup(Transfer& t) {
    if (t.easy) curl_easy_cleanup(t.easy);
    t.easy = nullptr;
    if (t.headerList) curl_slist_free_all(t.headerList);
    t.headerList = nullptr;
    if (t.file) std::fclose(t.file);
    t.file = nullptr;
}

std::size_t SessionEngine::onHeader(char* data, std::size_t size, std::size_t count, void* user) {
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

std::size_t SessionEngine::onData(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    std::size_t n = size * count;
    t.lastActivity = now();
    return t.engine->received(t, data, n) ? n : CURL_WRITEFUNC_ERROR;
}

int SessionEngine::onProgress(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
    auto& t = *static_cast<Transfer*>(user);
    if (ulnow > t.uploaded) {
        ++t.engine->piecesSent_;
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
            // Sending a large body takes a loop turn per piece: the delegate queue hears a few
            // pieces' progress at once instead of being woken for each.
            session::Event* event = session::makeEvent([engine = engine->shared_from_this(), task, sent, ulnow, total] {
                if (auto d = engine->delegate()) d->didSendBodyData(task->session(), task, sent, ulnow, total);
            });
            event->mayWait = true;
            engine->holdOrDeliver(task, event);
        }
    }
    return 0;
}

void SessionEngine::headComplete(Transfer& t) {
    if (t.headComplete) return;
    t.headComplete = true;
    // The fields move into the response; from here on they are read there.
    auto response = session::makeReturned<const HTTPURLResponse>(home_, *t.request.url, t.status, std::move(t.httpVersion),
                                                                 std::move(t.headers));
    t.response = response;
    t.responseWallTime = dispatch::Clock::current().wallTime();
    if (t.revalidating && t.status == 304) {
        // The stored response holds: it is the answer, with the fields the server refreshed.
        const HTTPURLResponse& stored = *t.revalidating->response;
        t.response = std::make_shared<const HTTPURLResponse>(stored.url(), stored.statusCode(), stored.httpVersion(),
                                                             caching::mergedFields(stored.allHeaderFields(), response->allHeaderFields()));
        t.notModified = true;
        presentResponse(t, t.response);
        return;
    }
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
    decideStoring(t);
    presentResponse(t, response);
}

void SessionEngine::presentResponse(Transfer& t, const std::shared_ptr<const HTTPURLResponse>& response) {
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
            self->releaseHeld(dataTask->held_, /*onlyKept=*/false);
        };
        if (auto d = self->delegate()) {
            d->didReceiveResponse(dataTask->session(), dataTask, response, completion);
        } else {
            completion(ResponseDisposition::allow);
        }
    });
}

bool SessionEngine::received(Transfer& t, const char* data, std::size_t n) {
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
    if (t.storing) {
        if (t.cacheBody.size() + n > t.cacheLimit) {
            t.storing = false; // too large to keep
            core::Bytes().swap(t.cacheBody);
        } else {
            t.cacheBody.insert(t.cacheBody.end(), data, data + n);
        }
    }
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
        deliverAfterResponse(
            task,
            [self = shared_from_this(), dataTask](const core::Bytes& bytes) {
                if (auto d = self->delegate()) d->didReceiveData(dataTask->session(), dataTask, bytes);
            },
            /*keepOnCancel=*/false, std::move(chunk));
    }
    return true;
}

void SessionEngine::transferDone(CURL* easy, CURLcode code) {
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
        if (endWithCaching(t)) return;
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
    if (!t.headComplete && session::headerTooLarge(code, t.curlMessage)) {
        core::Error error = makeURLError(URLErrorCode::cannotParseResponse, t.request.url);
        error.description = session::kHeaderTooLargeDescription;
        finish(t.task, &t, std::move(error));
        return;
    }
    long verify = 0;
    curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
    finish(t.task, &t, makeURLError(errorCodeFor(code, verify), t.request.url));
}

// A redirect the delegate refused, or a challenge answered with no credential: the held
// response is the task's answer.
void SessionEngine::endWithHeldResponse(const std::shared_ptr<URLSessionTask>& task, std::shared_ptr<const HTTPURLResponse> response,
                                        const core::Bytes& body, std::shared_ptr<URLSessionTaskMetrics> metrics) {
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
void SessionEngine::recordLegMetrics(Transfer& t) {
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
void SessionEngine::handOverRequest(Transfer& t) {
    if (t.legMetrics > 0) t.metrics->transactionMetrics[t.legMetrics - 1].request = std::move(t.request);
}

} // namespace net
