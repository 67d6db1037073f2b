// Per-host server-trust policies over real TLS: each policy against each kind of certificate, the
// delegates' lookup of the host, and certificates read from a bundle folder.
#include "Libs/HTTPLayer/ServerTrustPolicy.h"
#include "Libs/HTTPLayer/tests/HTTPTestSupport.h"

#include "platform/core/Files.h"
#include "platform/net/URLError.h"
#include "platform/net/testing/TrustEnvironment.h"

#include <filesystem>

using namespace http;
using namespace http::testkit;
using net::testkit::TestIdentity;
using net::testkit::TlsIdentity;
using net::testkit::certificate;
using net::testkit::certs;

namespace {

std::shared_ptr<const net::PublicKey> key(const TestIdentity& id) { return certificate(id)->publicKey(); }

TlsIdentity served(const TestIdentity& id) { return {id.certificatePEM, id.keyPEM}; }
// The leaf without its issuer: the chain then holds the authority only once it is built.
TlsIdentity leafOnly(const TestIdentity& id) {
    const std::string end = "-----END CERTIFICATE-----\n";
    return {id.certificatePEM.substr(0, id.certificatePEM.find(end) + end.size()), id.keyPEM};
}

struct Outcome {
    long code = 0; // 0: success
    std::size_t requests = 0;
    std::size_t connections = 0;
};

// One GET of `path` on a server with `identity` through a manager with `policies` (none: no
// trust-policy manager at all).
Outcome fetch(const TlsIdentity& identity, std::optional<std::map<std::string, ServerTrustPolicy>> policies,
              const std::string& host = "127.0.0.1") {
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); }, identity);
    auto configuration = net::URLSessionConfiguration::ephemeralConfiguration();
    auto manager = SessionManager::create(
        configuration, SessionDelegate::create(),
        policies ? std::make_shared<ServerTrustPolicyManager>(std::move(*policies)) : nullptr);
    std::optional<DefaultDataResponse> answer;
    manager->request("https://" + host + ":" + std::to_string(server.port()) + "/")->response(nullptr, [&](const DefaultDataResponse& r) {
        answer = r;
    });
    const auto& r = ManagerFixture::await(answer);
    Outcome outcome;
    if (r.error()) outcome.code = r.error()->as<core::Error>() ? r.error()->as<core::Error>()->code : -1;
    outcome.requests = server.requestCount();
    outcome.connections = server.connectionCount();
    return outcome;
}

constexpr long kCancelled = static_cast<long>(net::URLErrorCode::cancelled);
constexpr long kUnknownRoot = static_cast<long>(net::URLErrorCode::serverCertificateHasUnknownRoot);

} // namespace

TEST(ServerTrustPolicyTest, EachPolicyAgainstEachCertificate) {
    using P = ServerTrustPolicy;
    const auto& c = certs();
    const unsigned long anyMethod = net::TrustPolicy::kRevocationUseAnyAvailableMethod;
    struct Case {
        const char* name;
        P policy;
        TlsIdentity server;
        bool trusted; // else cancelled before any request
    };
    const std::vector<Case> cases = {
        {"default, right host", P::performDefaultEvaluation(true), served(c.localhost), true},
        {"default, other host", P::performDefaultEvaluation(true), served(c.otherHost), false},
        {"default, other host, no host check", P::performDefaultEvaluation(false), served(c.otherHost), true},
        {"default, expired", P::performDefaultEvaluation(false), served(c.expired), false},
        {"default, revoked", P::performDefaultEvaluation(true), served(c.revoked), true},
        {"revocation, revoked", P::performRevokedEvaluation(true, anyMethod), served(c.revoked), false},
        {"revocation, good", P::performRevokedEvaluation(true, anyMethod), served(c.localhost), true},
        {"pinned leaf, chain", P::pinCertificates({certificate(c.localhost)}, true, true), served(c.localhost), true},
        {"pinned authority, chain", P::pinCertificates({certificate(c.authority)}, true, true), served(c.localhost), true},
        {"pinned other leaf, chain", P::pinCertificates({certificate(c.otherHost)}, true, true), served(c.localhost), false},
        {"pinned self-signed, chain", P::pinCertificates({certificate(c.selfSigned)}, true, true), served(c.selfSigned), true},
        {"pinned expired, chain", P::pinCertificates({certificate(c.expired)}, true, false), served(c.expired), false},
        {"pinned expired, no chain", P::pinCertificates({certificate(c.expired)}, false, true), served(c.expired), true},
        {"pinned authority, no chain, other host", P::pinCertificates({certificate(c.authority)}, false, true), served(c.otherHost),
         true},
        {"no pins, no chain", P::pinCertificates({}, false, false), served(c.localhost), false},
        {"authority key, chain, leaf sent alone", P::pinPublicKeys({key(c.authority)}, true, true), leafOnly(c.localhost), true},
        {"authority key, no chain, leaf sent alone", P::pinPublicKeys({key(c.authority)}, false, false), leafOnly(c.localhost),
         false},
        {"leaf key, no chain, self-signed", P::pinPublicKeys({key(c.selfSigned)}, false, false), served(c.selfSigned), true},
        {"authority key, chain, expired", P::pinPublicKeys({key(c.authority)}, true, false), served(c.expired), false},
        {"other key", P::pinPublicKeys({key(c.otherHost)}, false, false), served(c.localhost), false},
        {"custom yes", P::customEvaluation([](const auto& trust, const std::string& host) {
             return trust && trust->certificateCount() == 1 && host == "127.0.0.1";
         }),
         served(c.selfSigned), true},
        {"custom no", P::customEvaluation([](const auto&, const std::string&) { return false; }), served(c.localhost), false},
        {"disabled, self-signed", P::disableEvaluation(), served(c.selfSigned), true},
        {"disabled, expired", P::disableEvaluation(), served(c.expired), true},
    };
    for (const auto& k : cases) {
        const Outcome outcome = fetch(k.server, std::map<std::string, ServerTrustPolicy>{{"127.0.0.1", k.policy}});
        EXPECT_EQ(outcome.code, k.trusted ? 0 : kCancelled) << k.name;
        EXPECT_EQ(outcome.requests, k.trusted ? 1u : 0u) << k.name;
    }
}

TEST(ServerTrustPolicyTest, AHostWithoutAPolicyGetsTheDefaultCheck) {
    const auto& c = certs();
    const auto refuse = [] { return ServerTrustPolicy::pinCertificates({}, false, false); };
    // No manager, or a manager without a policy for the host: no challenge, one connection.
    for (const auto& policies : {std::optional<std::map<std::string, ServerTrustPolicy>>(),
                                 std::optional(std::map<std::string, ServerTrustPolicy>{{"other.test", refuse()}})}) {
        Outcome good = fetch(served(c.localhost), policies);
        EXPECT_EQ(good.code, 0);
        EXPECT_EQ(good.connections, 1u);
        Outcome bad = fetch(served(c.selfSigned), policies);
        EXPECT_EQ(bad.code, kUnknownRoot);
        EXPECT_EQ(bad.requests, 0u);
    }
    // The lookup is exact: a policy under another case does not apply.
    Outcome otherCase = fetch(served(c.localhost), std::map<std::string, ServerTrustPolicy>{{"LOCALHOST", refuse()}}, "localhost");
    EXPECT_EQ(otherCase.code, static_cast<long>(net::URLErrorCode::serverCertificateUntrusted)); // issued for 127.0.0.1 only
    EXPECT_EQ(otherCase.requests, 0u);
    Outcome sameCase = fetch(served(c.localhost), std::map<std::string, ServerTrustPolicy>{{"localhost", refuse()}}, "localhost");
    EXPECT_EQ(sameCase.code, kCancelled);
}

TEST(ServerTrustPolicyTest, CertificatesInABundleAreItsDERFiles) {
    const auto& c = certs();
    const auto folder = std::filesystem::path(net::testkit::TrustEnvironment::certificates->folder()) / "bundle";
    std::filesystem::create_directories(folder);
    const auto write = [&](const std::string& name, const core::Bytes& bytes) {
        ASSERT_TRUE(core::files::writeAtomically((folder / name).string(), bytes));
    };
    const auto bytes = [](const std::string& text) { return core::Bytes(text.begin(), text.end()); };
    write("leaf.cer", c.localhost.der);
    write("leaf.DER", c.localhost.der);       // the same certificate under a second name counts twice
    write("authority.crt", c.authority.der);
    write("pem.cer", bytes(c.otherHost.certificatePEM)); // PEM text is no DER certificate
    write("junk.CRT", bytes("not a certificate"));
    write("other.pem", c.otherHost.der);       // not one of the six extensions
    write("other.Cer", c.otherHost.der);       // extensions are matched exactly
    std::filesystem::create_directories(folder / "nested");
    write("nested/deep.cer", c.otherHost.der); // only the bundle's own folder

    std::multiset<core::Bytes> found;
    for (const auto& certificate : ServerTrustPolicy::certificatesInBundle(folder.string())) found.insert(certificate->der());
    EXPECT_EQ(found, (std::multiset<core::Bytes>{c.localhost.der, c.localhost.der, c.authority.der}));

    const auto keys = ServerTrustPolicy::publicKeysInBundle(folder.string());
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(std::count_if(keys.begin(), keys.end(), [&](const auto& k) { return *k == *key(c.authority); }), 1);
    EXPECT_TRUE(ServerTrustPolicy::certificatesInBundle((folder / "missing").string()).empty());
}

TEST(ServerTrustPolicyTest, TheManagerLooksHostsUpExactlyAndRidesOnTheSession) {
    ServerTrustPolicyManager policies({{"api.example", ServerTrustPolicy::disableEvaluation()}});
    EXPECT_TRUE(policies.policy("api.example"));
    EXPECT_FALSE(policies.policy("API.example"));
    EXPECT_FALSE(policies.policy("api.example."));
    EXPECT_FALSE(policies.policy("other"));

    auto manager = std::make_shared<ServerTrustPolicyManager>(std::map<std::string, ServerTrustPolicy>{});
    auto withPolicies = SessionManager::create(net::URLSessionConfiguration::ephemeralConfiguration(), SessionDelegate::create(), manager);
    EXPECT_EQ(serverTrustPolicyManager(*withPolicies->session()), manager);
    auto delegate = SessionDelegate::create();
    auto session = net::URLSession::create(net::URLSessionConfiguration::ephemeralConfiguration(), delegate);
    auto overSession = SessionManager::create(session, delegate, manager);
    EXPECT_EQ(serverTrustPolicyManager(*session), manager);
    EXPECT_EQ(serverTrustPolicyManager(*SessionManager::create(net::URLSessionConfiguration::ephemeralConfiguration())->session()),
              nullptr);
}

TEST(ServerTrustPolicyTest, ARequestsOwnChallengeClosureIsAskedBeforeThePolicies) {
    // The request's closure accepts a chain no policy and no anchor would.
    LoopbackServer server([](const RecordedRequest&) { return Reply::text(200, "ok"); }, served(certs().selfSigned));
    auto manager = SessionManager::create(net::URLSessionConfiguration::ephemeralConfiguration(), SessionDelegate::create(),
                                          std::make_shared<ServerTrustPolicyManager>(std::map<std::string, ServerTrustPolicy>{
                                              {"127.0.0.1", ServerTrustPolicy::pinCertificates({}, false, false)}}));
    manager->setStartRequestsImmediately(false);
    auto request = manager->request(server.url());
    std::optional<std::string> method;
    request->delegate()->taskDidReceiveChallenge = [&method](const auto&, const auto&, const net::URLAuthenticationChallenge& c) {
        method = c.protectionSpace.authenticationMethod;
        return std::make_pair(net::AuthChallengeDisposition::useCredential, std::optional(net::URLChallengeCredential{std::nullopt, c.serverTrust}));
    };
    std::optional<DefaultDataResponse> answer;
    request->response(nullptr, [&](const DefaultDataResponse& r) { answer = r; });
    request->resume();
    const auto& r = ManagerFixture::await(answer);
    EXPECT_FALSE(r.error());
    EXPECT_EQ(method, net::kAuthenticationMethodServerTrust);
    EXPECT_EQ(server.requestCount(), 1u);
}
