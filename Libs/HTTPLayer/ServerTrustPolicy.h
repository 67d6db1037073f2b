#pragma once
// How a server's certificate chain is judged, host by host.
//
// A ServerTrustPolicyManager holds one ServerTrustPolicy per host name and is attached to a
// session manager's URL session (serverTrustPolicyManager()). When a server-trust challenge
// arrives, the session and task delegates look the challenge's host up exactly (case and all):
// a policy's evaluate() true answers with the server's trust, false cancels the request (-999)
// before any request byte is sent; a host without a policy gets the default check.

#include "platform/core/ProcessInfo.h"
#include "platform/net/ServerTrust.h"
#include "platform/net/URLSession.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace http {

class ServerTrustPolicy {
public:
    enum class Kind {
        performDefaultEvaluation,
        performRevokedEvaluation,
        pinCertificates,
        pinPublicKeys,
        customEvaluation,
        disableEvaluation,
    };
    using Certificates = net::CertificateList;
    using PublicKeys = std::vector<std::shared_ptr<const net::PublicKey>>;
    using CustomEvaluation = std::function<bool(const std::shared_ptr<net::ServerTrust>& trust, const std::string& host)>;

    static ServerTrustPolicy performDefaultEvaluation(bool validateHost);
    // `revocationFlags` are the revocation policy's option bits (net::TrustPolicy::kRevocation...).
    static ServerTrustPolicy performRevokedEvaluation(bool validateHost, unsigned long revocationFlags);
    static ServerTrustPolicy pinCertificates(Certificates certificates, bool validateCertificateChain, bool validateHost);
    static ServerTrustPolicy pinPublicKeys(PublicKeys publicKeys, bool validateCertificateChain, bool validateHost);
    static ServerTrustPolicy customEvaluation(CustomEvaluation closure);
    static ServerTrustPolicy disableEvaluation();

    Kind kind() const { return kind_; }
    bool validateHost() const { return validateHost_; }
    unsigned long revocationFlags() const { return revocationFlags_; }
    bool validateCertificateChain() const { return validateCertificateChain_; }
    const Certificates& certificates() const { return certificates_; }
    const PublicKeys& publicKeys() const { return publicKeys_; }
    const CustomEvaluation& closure() const { return closure_; }

    // Whether the server is trusted under this policy; may change the trust's policies and anchors.
    bool evaluate(const std::shared_ptr<net::ServerTrust>& trust, const std::string& host) const;

    // The certificates of the bundle's ".cer", ".CER", ".crt", ".CRT", ".der" and ".DER" files
    // (DER; files that cannot be read or hold no certificate are left out), in no fixed order.
    static Certificates certificatesInBundle(const std::string& bundlePath = core::Bundle::resourcePath());
    // The public key of each of those certificates.
    static PublicKeys publicKeysInBundle(const std::string& bundlePath = core::Bundle::resourcePath());

private:
    explicit ServerTrustPolicy(Kind kind) : kind_(kind) {}

    static bool trustIsValid(net::ServerTrust& trust);
    static std::shared_ptr<const net::PublicKey> publicKey(const std::shared_ptr<const net::Certificate>& certificate);
    static std::vector<core::Bytes> certificateChainData(const net::ServerTrust& trust);
    static std::vector<core::Bytes> certificatesData(const Certificates& certificates);
    static PublicKeys publicKeysOfChain(const net::ServerTrust& trust);

    Kind kind_;
    bool validateHost_ = false;
    unsigned long revocationFlags_ = 0;
    bool validateCertificateChain_ = false;
    Certificates certificates_;
    PublicKeys publicKeys_;
    CustomEvaluation closure_;
};

class ServerTrustPolicyManager {
public:
    explicit ServerTrustPolicyManager(std::map<std::string, ServerTrustPolicy> policies) : policies_(std::move(policies)) {}
    virtual ~ServerTrustPolicyManager() = default;

    const std::map<std::string, ServerTrustPolicy>& policies() const { return policies_; }
    // The policy stored under exactly `host`; a subclass may look up otherwise.
    virtual std::optional<ServerTrustPolicy> policy(const std::string& host) const;

private:
    const std::map<std::string, ServerTrustPolicy> policies_;
};

// The manager attached to a URL session (by the session manager's initialisers), or nothing.
std::shared_ptr<ServerTrustPolicyManager> serverTrustPolicyManager(const net::URLSession& session);
void setServerTrustPolicyManager(net::URLSession& session, std::shared_ptr<ServerTrustPolicyManager> manager);

} // namespace http
