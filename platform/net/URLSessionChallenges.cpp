// Challenges of a URL session task: a server's or proxy's request for authentication, and the
// server-trust challenge raised during the handshake of an https leg whose delegate wants it.

#include "platform/net/URLSessionEngine.h"

#include "platform/core/Files.h"
#include "platform/net/ServerTrust.h"
#include "platform/net/URLError.h"

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace net {

using session::curlAuthScheme;
using session::Origin;
using session::originOf;

// A 401 (or the proxy's 407) offering Basic, Digest or Negotiate authentication. The delegate
// is asked for a credential (a delegate that does not take the event gets the default
// handling): with one the request goes again with it in the offered scheme (Negotiate needs
// none of its own: an answer without one still tries); the default handling takes the
// credential storage's default credential for the protection space, once; otherwise the 401
// or 407 is the task's answer, and a cancel ends the task as cancelled.
void SessionEngine::challenge(Transfer& t) {
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
void SessionEngine::askChallenge(const std::shared_ptr<URLSessionTask>& task, URLAuthenticationChallenge challenge, std::optional<URL> url,
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

// ---- server trust (network thread) ----
//
// A leg whose delegate wants server-trust challenges verifies the server's chain in
// onVerifyChain, during the handshake, by the session's answer for (host, port, chain): an
// accepted chain passes; one to get the default check is verified with the host; a chain
// without an answer is kept, the handshake fails, and the task waits for the delegate's
// answer before the leg starts again (raiseTrustChallenge). No request byte leaves first.


CURLcode SessionEngine::onSSLContext(CURL*, void* sslContext, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    // The probe goes with the transfer, not with the context: libcurl may keep the context in an
    // idle connection after the transfer, and free it after OpenSSL has forgotten how to free
    // what it was given to hold.
    auto* probe = t.trustProbes.emplace_back(std::make_unique<TrustProbe>(TrustProbe{t.engine, t.trustSlot})).get();
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(sslContext), &SessionEngine::onVerifyChain, probe);
    return CURLE_OK;
}

int SessionEngine::onVerifyChain(X509_STORE_CTX* ctx, void* user) {
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
void SessionEngine::raiseTrustChallenge(Transfer& t) {
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

} // namespace net
