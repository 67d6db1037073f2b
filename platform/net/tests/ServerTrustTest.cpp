// Server trusts over certificates made when the tests run, and the URL session's server-trust
// challenges against a TLS loopback server.
#include "platform/net/ServerTrust.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/net/testing/TrustEnvironment.h"

#include <gtest/gtest.h>

#include <condition_variable>

using namespace net;
using net::testkit::LoopbackServer;
using net::testkit::RecordedRequest;
using net::testkit::Reply;
using net::testkit::TestIdentity;
using net::testkit::certificate;
using net::testkit::certs;

namespace {

// The chain a server with this identity presents: its certificate, then its issuer's.
CertificateList chainOf(const TestIdentity& id) {
    CertificateList chain{certificate(id)};
    if (&id != &certs().selfSigned) chain.push_back(certificate(certs().authority));
    return chain;
}

bool valid(ServerTrust& trust) {
    auto evaluation = trust.evaluate();
    return evaluation.status == 0 &&
           (evaluation.result == ServerTrust::Result::unspecified || evaluation.result == ServerTrust::Result::proceed);
}

TEST(ServerTrustTest, EvaluatesChainsUnderPolicies) {
    const auto ssl = [](std::optional<std::string> host) { return TrustPolicy::ssl(true, std::move(host)); };
    const auto revocation = TrustPolicy::revocation;
    struct Case {
        const char* name;
        const TestIdentity* server;
        std::vector<TrustPolicy> policies;
        const TestIdentity* anchor; // replaces the default anchors when set
        bool valid;
    };
    const auto& c = certs();
    const std::vector<Case> cases = {
        {"leaf for the host", &c.localhost, {ssl("127.0.0.1")}, nullptr, true},
        {"leaf for another host", &c.otherHost, {ssl("127.0.0.1")}, nullptr, false},
        {"another host, no host check", &c.otherHost, {ssl(std::nullopt)}, nullptr, true},
        {"named host", &c.otherHost, {ssl("other.test")}, nullptr, true},
        {"expired", &c.expired, {ssl("127.0.0.1")}, nullptr, false},
        {"self-signed", &c.selfSigned, {ssl("127.0.0.1")}, nullptr, false},
        {"self-signed as its own anchor", &c.selfSigned, {ssl("127.0.0.1")}, &c.selfSigned, true},
        {"pinned leaf as the only anchor", &c.localhost, {ssl("127.0.0.1")}, &c.localhost, true},
        {"anchor of another chain only", &c.localhost, {ssl("127.0.0.1")}, &c.otherHost, false},
        {"revoked, no revocation policy", &c.revoked, {ssl("127.0.0.1")}, nullptr, true},
        {"revoked", &c.revoked, {ssl("127.0.0.1"), revocation(TrustPolicy::kRevocationUseAnyAvailableMethod)}, nullptr, false},
        {"not revoked", &c.localhost, {ssl("127.0.0.1"), revocation(TrustPolicy::kRevocationUseAnyAvailableMethod)}, nullptr, true},
        {"no CRL for the issuer", &c.selfSigned, {ssl("127.0.0.1"), revocation(TrustPolicy::kRevocationUseAnyAvailableMethod)},
         &c.selfSigned, true},
        {"no CRL, positive answer required", &c.selfSigned,
         {ssl("127.0.0.1"), revocation(TrustPolicy::kRevocationRequirePositiveResponse)}, &c.selfSigned, false},
        {"basic X.509 of an expired leaf", &c.expired, {TrustPolicy::basicX509()}, nullptr, false},
        {"basic X.509 of another host's leaf", &c.otherHost, {TrustPolicy::basicX509()}, nullptr, true},
    };
    for (const auto& k : cases) {
        auto trust = ServerTrust::create(chainOf(*k.server), k.policies);
        ASSERT_TRUE(trust) << k.name;
        if (k.anchor) trust->setAnchorCertificates({certificate(*k.anchor)});
        EXPECT_EQ(valid(*trust), k.valid) << k.name;
    }
}

TEST(ServerTrustTest, ChainsKeysAndDER) {
    const auto& c = certs();
    // The server sends only its leaf; the evaluation builds the chain up to the anchor.
    auto trust = ServerTrust::create({certificate(c.localhost)}, {TrustPolicy::ssl(true, "127.0.0.1")});
    ASSERT_TRUE(trust);
    EXPECT_EQ(trust->certificateCount(), 1u);
    const std::string digest = trust->presentedChainDigest();
    ASSERT_TRUE(valid(*trust));
    ASSERT_EQ(trust->certificateCount(), 2u);
    EXPECT_EQ(trust->certificateAtIndex(0)->der(), c.localhost.der);
    EXPECT_EQ(trust->certificateAtIndex(1)->der(), c.authority.der);
    EXPECT_EQ(trust->certificateAtIndex(2), nullptr);
    EXPECT_EQ(trust->presentedChainDigest(), digest); // the presented chain is unchanged
    EXPECT_NE(ServerTrust::create(chainOf(c.localhost), {})->presentedChainDigest(), digest);

    // Keys: equal for the same certificate, different across certificates.
    EXPECT_TRUE(*trust->publicKey() == *certificate(c.localhost)->publicKey());
    EXPECT_FALSE(*trust->publicKey() == *certificate(c.authority)->publicKey());

    // DER only: PEM text, junk, trailing bytes and nothing are not certificates.
    const auto& pem = c.localhost.certificatePEM;
    EXPECT_EQ(Certificate::fromDER(core::Bytes(pem.begin(), pem.end())), nullptr);
    EXPECT_EQ(Certificate::fromDER(core::Bytes{0x30, 0x03, 0x01, 0x01, 0xff}), nullptr);
    core::Bytes trailing = c.localhost.der;
    trailing.push_back(0);
    EXPECT_EQ(Certificate::fromDER(trailing), nullptr);
    EXPECT_EQ(Certificate::fromDER({}), nullptr);
    EXPECT_EQ(ServerTrust::create({}, {}), nullptr);
}

} // namespace

namespace {

// A delegate that may want server-trust challenges and answers them as told; tests wait on it.
class TrustDelegate : public URLSessionDelegate {
public:
    std::function<bool(const std::string& host)> wants = [](const std::string&) { return true; };
    std::function<void(const URLAuthenticationChallenge&, ChallengeCompletion)> answer = [](const URLAuthenticationChallenge& c,
                                                                                             ChallengeCompletion done) {
        done(AuthChallengeDisposition::useCredential, URLChallengeCredential{std::nullopt, c.serverTrust});
    };

    using URLSessionDelegate::didReceiveChallenge;
    bool wantsServerTrustChallenge(const Session&, const Task&, const std::string& host) override { return wants(host); }
    void didReceiveChallenge(const Session&, const Task&, const URLAuthenticationChallenge& challenge,
                             ChallengeCompletion completion) override {
        {
            std::lock_guard lock(mutex_);
            challenges_.push_back(challenge);
        }
        answer(challenge, std::move(completion));
    }
    void didCompleteWithError(const Session&, const Task&, const std::optional<core::Error>& error) override {
        {
            std::lock_guard lock(mutex_);
            errors_.push_back(error);
        }
        changed_.notify_all();
    }

    // The error of the next task to complete (nothing for success).
    std::optional<core::Error> run(const std::shared_ptr<URLSession>& session, const std::string& url) {
        std::size_t before;
        {
            std::lock_guard lock(mutex_);
            before = errors_.size();
        }
        session->dataTask(URLRequest(*URL::parse(url)))->resume();
        std::unique_lock lock(mutex_);
        EXPECT_TRUE(changed_.wait_for(lock, std::chrono::seconds(20), [&] { return errors_.size() > before; }));
        return errors_.size() > before ? errors_[before] : makeURLError(URLErrorCode::timedOut);
    }
    std::vector<URLAuthenticationChallenge> challenges() {
        std::lock_guard lock(mutex_);
        return challenges_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<URLAuthenticationChallenge> challenges_;
    std::vector<std::optional<core::Error>> errors_;
};

Reply ok(const RecordedRequest&) { return Reply::text(200, "ok"); }

long codeOf(const std::optional<core::Error>& error) { return error ? error->code : 0; }

TEST(ServerTrustChallengeTest, AnAcceptedChainIsAskedForOnceBeforeAnyRequestByte) {
    LoopbackServer server(ok, {certs().selfSigned.certificatePEM, certs().selfSigned.keyPEM});
    auto delegate = std::make_shared<TrustDelegate>();
    std::size_t requestsWhenAsked = 99;
    delegate->answer = [&](const URLAuthenticationChallenge& c, ChallengeCompletion done) {
        requestsWhenAsked = server.requestCount();
        done(AuthChallengeDisposition::useCredential, URLChallengeCredential{std::nullopt, c.serverTrust});
    };
    auto session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), delegate);

    EXPECT_EQ(codeOf(delegate->run(session, server.url("/one"))), 0);
    auto challenges = delegate->challenges();
    ASSERT_EQ(challenges.size(), 1u);
    EXPECT_EQ(requestsWhenAsked, 0u);
    const auto& space = challenges[0].protectionSpace;
    EXPECT_EQ(space.authenticationMethod, kAuthenticationMethodServerTrust);
    EXPECT_EQ(space.protocol, "https");
    EXPECT_EQ(space.host, "127.0.0.1");
    EXPECT_EQ(space.port, server.port());
    ASSERT_TRUE(challenges[0].serverTrust);
    ASSERT_EQ(challenges[0].serverTrust->certificateCount(), 1u);
    EXPECT_EQ(challenges[0].serverTrust->certificateAtIndex(0)->der(), certs().selfSigned.der);
    EXPECT_EQ(server.requestCount(), 1u);

    // The answer holds for the session: no second challenge.
    EXPECT_EQ(codeOf(delegate->run(session, server.url("/two"))), 0);
    EXPECT_EQ(delegate->challenges().size(), 1u);
    EXPECT_EQ(server.requestCount(), 2u);
    session->invalidateAndCancel();
}

TEST(ServerTrustChallengeTest, AnswersOtherThanTheSameTrustGetTheDefaultCheck) {
    using D = AuthChallengeDisposition;
    const auto otherTrust = ServerTrust::create(chainOf(certs().localhost), {});
    struct Case {
        const char* name;
        const TestIdentity* server;
        D disposition;
        std::shared_ptr<ServerTrust> trust; // answered; the challenge's own when `own`
        bool own;
        long code;
    };
    const auto& c = certs();
    const long unknownRoot = static_cast<long>(URLErrorCode::serverCertificateHasUnknownRoot);
    const long cancelled = static_cast<long>(URLErrorCode::cancelled);
    const std::vector<Case> cases = {
        {"own trust", &c.selfSigned, D::useCredential, nullptr, true, 0},
        {"trust of another chain", &c.selfSigned, D::useCredential, otherTrust, false, unknownRoot},
        {"no trust", &c.selfSigned, D::useCredential, nullptr, false, unknownRoot},
        {"default handling", &c.selfSigned, D::performDefaultHandling, nullptr, false, unknownRoot},
        {"rejected space", &c.selfSigned, D::rejectProtectionSpace, nullptr, false, unknownRoot},
        {"cancel", &c.localhost, D::cancelAuthenticationChallenge, nullptr, false, cancelled},
        {"default handling of a good chain", &c.localhost, D::performDefaultHandling, nullptr, false, 0},
        {"default handling of another host's chain", &c.otherHost, D::performDefaultHandling, nullptr, false,
         static_cast<long>(URLErrorCode::serverCertificateUntrusted)},
        {"default handling of an expired chain", &c.expired, D::performDefaultHandling, nullptr, false,
         static_cast<long>(URLErrorCode::serverCertificateHasBadDate)},
    };
    for (const auto& k : cases) {
        LoopbackServer server(ok, {k.server->certificatePEM, k.server->keyPEM});
        auto delegate = std::make_shared<TrustDelegate>();
        delegate->answer = [&k](const URLAuthenticationChallenge& challenge, ChallengeCompletion done) {
            done(k.disposition, URLChallengeCredential{std::nullopt, k.own ? challenge.serverTrust : k.trust});
        };
        auto session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), delegate);
        EXPECT_EQ(codeOf(delegate->run(session, server.url())), k.code) << k.name;
        EXPECT_EQ(delegate->challenges().size(), 1u) << k.name;
        EXPECT_EQ(server.requestCount(), k.code == 0 ? 1u : 0u) << k.name;
        session->invalidateAndCancel();
    }
}

TEST(ServerTrustChallengeTest, WithoutAWishLibcurlChecksAloneOnOneConnection) {
    for (const auto* identity : {&certs().localhost, &certs().selfSigned}) {
        LoopbackServer server(ok, {identity->certificatePEM, identity->keyPEM});
        auto delegate = std::make_shared<TrustDelegate>();
        delegate->wants = [](const std::string&) { return false; };
        auto session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), delegate);
        const bool good = identity == &certs().localhost;
        EXPECT_EQ(codeOf(delegate->run(session, server.url())),
                  good ? 0 : static_cast<long>(URLErrorCode::serverCertificateHasUnknownRoot));
        EXPECT_TRUE(delegate->challenges().empty());
        EXPECT_EQ(server.connectionCount(), 1u);
        EXPECT_EQ(server.requestCount(), good ? 1u : 0u);
        session->invalidateAndCancel();
    }
}

TEST(ServerTrustChallengeTest, ALegThatWantsAChallengeNeverReusesAConnectionCheckedWithout) {
    LoopbackServer server(ok, {certs().localhost.certificatePEM, certs().localhost.keyPEM});
    auto delegate = std::make_shared<TrustDelegate>();
    bool wanted = false;
    delegate->wants = [&wanted](const std::string&) { return wanted; };
    delegate->answer = [](const URLAuthenticationChallenge&, ChallengeCompletion done) {
        done(AuthChallengeDisposition::cancelAuthenticationChallenge, std::nullopt);
    };
    auto session = URLSession::create(URLSessionConfiguration::ephemeralConfiguration(), delegate);
    EXPECT_EQ(codeOf(delegate->run(session, server.url())), 0);
    wanted = true;
    EXPECT_EQ(codeOf(delegate->run(session, server.url())), static_cast<long>(URLErrorCode::cancelled));
    EXPECT_EQ(delegate->challenges().size(), 1u);
    EXPECT_EQ(server.requestCount(), 1u);
    session->invalidateAndCancel();
}

} // namespace
