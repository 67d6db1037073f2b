// The URL cache's part in a URL session's data tasks: a leg asks the cache first, as its cache
// policy says (the stored answer, a conditional request, or the network); a whole 2xx answer, or
// a stored one the server confirmed with 304, is offered to the delegate and stored as it
// answers; a success of an unsafe method drops what the cache holds for its URL. Download and
// upload tasks do not read the cache; an upload's success still invalidates.

#include "platform/net/URLSessionEngine.h"

#include "platform/dispatch/Clock.h"
#include "platform/net/HTTPCaching.h"
#include "platform/net/URLError.h"

#include <algorithm>

namespace net {

namespace {

// Data tasks read and fill the cache; uploads and downloads do not.
bool usesCache(const URLSessionTask& task) {
    return dynamic_cast<const URLSessionDataTask*>(&task) && !dynamic_cast<const URLSessionUploadTask*>(&task);
}

// A body larger than a twentieth of the cache's larger part is not kept: one response should not
// push out everything else.
constexpr std::size_t kEntryShare = 20;

} // namespace

URLRequest SessionEngine::cacheRequestOf(const URLSessionTask& task) const {
    URLRequest keyed = task.currentRequest().value_or(URLRequest());
    HTTPHeaders fields = configuration_.httpAdditionalHeaders;
    for (const auto& [name, value] : keyed.allHTTPHeaderFields) fields.set(name, value);
    keyed.allHTTPHeaderFields = std::move(fields);
    return keyed;
}

bool SessionEngine::carriesAuthorization(const Transfer& t) {
    return t.auth.credential.has_value() || t.request.allHTTPHeaderFields.contains("Authorization");
}

bool SessionEngine::answerFromCache(const std::shared_ptr<URLSessionTask>& task, URLRequest& request, int redirects,
                                    const LegAuth& auth, const std::shared_ptr<URLSessionTaskMetrics>& metrics,
                                    std::shared_ptr<const CachedURLResponse>& revalidating) {
    const auto& cache = configuration_.urlCache;
    if (!cache || !usesCache(*task) || request.method() != "GET" || auth.credential || auth.proxyCredential) return false;
    // A request that is conditional of its own handles the server's answer itself.
    if (caching::isOwnConditional(request.allHTTPHeaderFields)) return false;
    const CachePolicy policy =
        request.cachePolicy == CachePolicy::useProtocolCachePolicy ? configuration_.requestCachePolicy : request.cachePolicy;
    const URLRequest keyed = cacheRequestOf(*task);
    auto stored = policy == CachePolicy::reloadIgnoringLocalCacheData ? nullptr : cache->cachedResponse(keyed);
    switch (caching::decide(policy, keyed.allHTTPHeaderFields, stored.get(), dispatch::Clock::current().wallTime())) {
    case caching::Use::load: return false;
    case caching::Use::revalidate:
        for (const auto& [name, value] : caching::conditionalFields(stored->response->allHeaderFields())) request.setValue(value, name);
        revalidating = std::move(stored);
        return false;
    case caching::Use::fail:
        finish(task, nullptr, makeURLError(URLErrorCode::resourceUnavailable, request.url));
        return true;
    case caching::Use::stored:
        serveStored(task, request, redirects, *stored, metrics);
        return true;
    }
    return false;
}

// The stored response answers the leg at once: the delegate hears of it as of any response.
void SessionEngine::serveStored(const std::shared_ptr<URLSessionTask>& task, const URLRequest& request, int redirects,
                                const CachedURLResponse& stored, const std::shared_ptr<URLSessionTaskMetrics>& metrics) {
    const double at = dispatch::absoluteTime();
    if (metrics->transactionMetrics.empty()) metrics->taskInterval.startDate = at;
    URLSessionTaskTransactionMetrics m;
    m.request = request;
    m.fetchStartDate = at;
    m.responseEndDate = at;
    m.resourceFetchType = ResourceFetchType::localCache;
    metrics->transactionMetrics.push_back(std::move(m));
    metrics->redirectCount = redirects;
    endWithHeldResponse(task, stored.response, stored.data, metrics);
}

void SessionEngine::decideStoring(Transfer& t) {
    t.storing = false;
    const auto& cache = configuration_.urlCache;
    if (!cache || t.isDownload || !usesCache(*t.task) || t.request.method() != "GET") return;
    if (t.status < 200 || t.status >= 300 || t.status == 206) return;
    const HTTPHeaders& fields = t.response->allHeaderFields();
    const URLRequest keyed = cacheRequestOf(*t.task);
    if (!caching::mayStore(keyed.allHTTPHeaderFields, carriesAuthorization(t), t.status, fields)) return;
    if (!caching::isReusable(t.status, fields, t.responseWallTime)) return;
    t.cacheLimit = std::max(cache->memoryCapacity(), cache->diskCapacity()) / kEntryShare;
    if (t.response->expectedContentLength() > static_cast<std::int64_t>(t.cacheLimit)) return;
    t.storing = true;
}

bool SessionEngine::endWithCaching(Transfer& t) {
    const auto& cache = configuration_.urlCache;
    if (!cache) return false;
    if (caching::isUnsafeMethod(t.request.method()) && t.response && t.response->statusCode() < 400 && t.request.url)
        cache->removeCachedResponse(URLRequest(*t.request.url));
    std::shared_ptr<CachedURLResponse> proposed;
    if (t.notModified) {
        const CachedURLResponse& stored = *t.revalidating;
        if (!stored.data.empty()) received(t, reinterpret_cast<const char*>(stored.data.data()), stored.data.size());
        const URLRequest keyed = cacheRequestOf(*t.task);
        if (!caching::mayStore(keyed.allHTTPHeaderFields, carriesAuthorization(t), t.response->statusCode(), t.response->allHeaderFields()))
            return false;
        proposed = std::make_shared<CachedURLResponse>(stored);
    } else if (t.storing) {
        proposed = std::make_shared<CachedURLResponse>();
        proposed->data = std::move(t.cacheBody);
        t.storing = false;
    } else {
        return false;
    }
    proposed->response = t.response;
    proposed->requestDate = t.requestWallTime;
    proposed->responseDate = t.responseWallTime;
    offerToCache(t, std::move(proposed));
    return true;
}

void SessionEngine::offerToCache(Transfer& t, std::shared_ptr<const CachedURLResponse> proposed) {
    auto task = t.task;
    URLRequest keyed = cacheRequestOf(*task);
    const bool authorized = carriesAuthorization(t);
    if (!responds(Callback::dataTaskWillCacheResponse)) {
        storeAnswer(proposed, keyed, authorized);
        finish(task, &t, std::nullopt);
        return;
    }
    // The task completes once the delegate has answered; its connection goes back now.
    auto metrics = t.metrics;
    handOverRequest(t);
    auto keep = takeOut(t);
    parked_[task->taskIdentifier()] = task;
    auto dataTask = std::static_pointer_cast<URLSessionDataTask>(task);
    deliverAfterResponse(task, [self = shared_from_this(), dataTask, proposed, keyed, authorized, metrics] {
        auto answered = std::make_shared<std::atomic<bool>>(false);
        auto completion = [self, dataTask, keyed, authorized, metrics, answered](std::shared_ptr<const CachedURLResponse> answer) {
            if (answered->exchange(true)) return;
            self->post([self, dataTask, answer = std::move(answer), keyed, authorized, metrics] {
                self->cachingAnswered(dataTask, answer, keyed, authorized, metrics);
            });
        };
        if (auto d = self->delegate()) {
            d->willCacheResponse(dataTask->session(), dataTask, proposed, completion);
        } else {
            completion(proposed);
        }
    });
}

void SessionEngine::cachingAnswered(const std::shared_ptr<URLSessionDataTask>& task, const std::shared_ptr<const CachedURLResponse>& answer,
                                    const URLRequest& keyed, bool authorized, const std::shared_ptr<URLSessionTaskMetrics>& metrics) {
    if (!parked_.erase(task->taskIdentifier())) return; // cancelled meanwhile
    storeAnswer(answer, keyed, authorized);
    metrics->taskInterval.duration = dispatch::absoluteTime() - metrics->taskInterval.startDate;
    finishTask(task, metrics, std::nullopt);
}

// What the delegate hands back is stored, unless HTTP forbids keeping it (its own fields may say
// no-store, or lack what an answer to a request with credentials needs).
void SessionEngine::storeAnswer(const std::shared_ptr<const CachedURLResponse>& answer, const URLRequest& keyed, bool authorized) {
    const auto& cache = configuration_.urlCache;
    if (!cache || !answer || !answer->response) return;
    if (!caching::mayStore(keyed.allHTTPHeaderFields, authorized, answer->response->statusCode(), answer->response->allHeaderFields()))
        return;
    cache->storeCachedResponse(answer, keyed);
}

} // namespace net
