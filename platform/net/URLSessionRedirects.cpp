// Redirects of a URL session task: the delegate may follow, change or refuse each one; a refused
// redirect's response is the task's answer.

#include "platform/net/URLSessionEngine.h"

#include "platform/net/URLError.h"

namespace net {

using session::kMaximumRedirects;
using session::redirectedRequest;

void SessionEngine::redirect(Transfer& t) {
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

} // namespace net
