#include "Libs/HTTPLayer/ServerTrustPolicy.h"

#include "platform/core/Files.h"

#include <filesystem>
#include <set>

namespace http {

// ---- the policy cases ----

ServerTrustPolicy ServerTrustPolicy::performDefaultEvaluation(bool validateHost) {
    ServerTrustPolicy policy(Kind::performDefaultEvaluation);
    policy.validateHost_ = validateHost;
    return policy;
}

ServerTrustPolicy ServerTrustPolicy::performRevokedEvaluation(bool validateHost, unsigned long revocationFlags) {
    ServerTrustPolicy policy(Kind::performRevokedEvaluation);
    policy.validateHost_ = validateHost;
    policy.revocationFlags_ = revocationFlags;
    return policy;
}

ServerTrustPolicy ServerTrustPolicy::pinCertificates(Certificates certificates, bool validateCertificateChain, bool validateHost) {
    ServerTrustPolicy policy(Kind::pinCertificates);
    policy.certificates_ = std::move(certificates);
    policy.validateCertificateChain_ = validateCertificateChain;
    policy.validateHost_ = validateHost;
    return policy;
}

ServerTrustPolicy ServerTrustPolicy::pinPublicKeys(PublicKeys publicKeys, bool validateCertificateChain, bool validateHost) {
    ServerTrustPolicy policy(Kind::pinPublicKeys);
    policy.publicKeys_ = std::move(publicKeys);
    policy.validateCertificateChain_ = validateCertificateChain;
    policy.validateHost_ = validateHost;
    return policy;
}

ServerTrustPolicy ServerTrustPolicy::customEvaluation(CustomEvaluation closure) {
    ServerTrustPolicy policy(Kind::customEvaluation);
    policy.closure_ = std::move(closure);
    return policy;
}

ServerTrustPolicy ServerTrustPolicy::disableEvaluation() { return ServerTrustPolicy(Kind::disableEvaluation); }

// ---- evaluation ----

bool ServerTrustPolicy::trustIsValid(net::ServerTrust& trust) {
    const auto evaluation = trust.evaluate();
    return evaluation.status == 0 && (evaluation.result == net::ServerTrust::Result::unspecified ||
                                      evaluation.result == net::ServerTrust::Result::proceed);
}

bool ServerTrustPolicy::evaluate(const std::shared_ptr<net::ServerTrust>& trust, const std::string& host) const {
    if (!trust) return false;
    const auto ssl = [&] { return net::TrustPolicy::ssl(true, validateHost_ ? std::optional<std::string>(host) : std::nullopt); };
    switch (kind_) {
    case Kind::performDefaultEvaluation:
        trust->setPolicies({ssl()});
        return trustIsValid(*trust);
    case Kind::performRevokedEvaluation:
        trust->setPolicies({ssl(), net::TrustPolicy::revocation(revocationFlags_)});
        return trustIsValid(*trust);
    case Kind::pinCertificates: {
        if (validateCertificateChain_) {
            trust->setPolicies({ssl()});
            trust->setAnchorCertificates(certificates_);
            trust->setAnchorCertificatesOnly(true);
            return trustIsValid(*trust);
        }
        const auto pinned = certificatesData(certificates_);
        for (const auto& server : certificateChainData(*trust)) {
            for (const auto& pin : pinned) {
                if (server == pin) return true;
            }
        }
        return false;
    }
    case Kind::pinPublicKeys: {
        if (validateCertificateChain_) {
            trust->setPolicies({ssl()});
            if (!trustIsValid(*trust)) return false;
        }
        for (const auto& serverKey : publicKeysOfChain(*trust)) {
            for (const auto& pin : publicKeys_) {
                if (pin && *serverKey == *pin) return true;
            }
        }
        return false;
    }
    case Kind::customEvaluation: return closure_ && closure_(trust, host);
    case Kind::disableEvaluation: return true;
    }
    return false;
}

std::shared_ptr<const net::PublicKey> ServerTrustPolicy::publicKey(const std::shared_ptr<const net::Certificate>& certificate) {
    auto trust = net::ServerTrust::create({certificate}, {net::TrustPolicy::basicX509()});
    return trust ? trust->publicKey() : nullptr;
}

std::vector<core::Bytes> ServerTrustPolicy::certificateChainData(const net::ServerTrust& trust) {
    std::vector<core::Bytes> data;
    for (std::size_t i = 0; i < trust.certificateCount(); ++i) {
        if (auto certificate = trust.certificateAtIndex(i)) data.push_back(certificate->der());
    }
    return data;
}

std::vector<core::Bytes> ServerTrustPolicy::certificatesData(const Certificates& certificates) {
    std::vector<core::Bytes> data;
    for (const auto& certificate : certificates) {
        if (certificate) data.push_back(certificate->der());
    }
    return data;
}

ServerTrustPolicy::PublicKeys ServerTrustPolicy::publicKeysOfChain(const net::ServerTrust& trust) {
    PublicKeys keys;
    for (std::size_t i = 0; i < trust.certificateCount(); ++i) {
        if (auto certificate = trust.certificateAtIndex(i)) {
            if (auto key = publicKey(certificate)) keys.push_back(std::move(key));
        }
    }
    return keys;
}

// ---- bundles ----

ServerTrustPolicy::Certificates ServerTrustPolicy::certificatesInBundle(const std::string& bundlePath) {
    static const char* const kExtensions[] = {".cer", ".CER", ".crt", ".CRT", ".der", ".DER"};
    std::set<std::string> paths;
    for (const char* extension : kExtensions) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(bundlePath, error)) {
            if (entry.path().extension() == extension) paths.insert(entry.path().string());
        }
    }
    Certificates certificates;
    for (const auto& path : paths) {
        auto bytes = core::files::read(path);
        if (!bytes) continue;
        if (auto certificate = net::Certificate::fromDER(*bytes)) certificates.push_back(std::move(certificate));
    }
    return certificates;
}

ServerTrustPolicy::PublicKeys ServerTrustPolicy::publicKeysInBundle(const std::string& bundlePath) {
    PublicKeys keys;
    for (const auto& certificate : certificatesInBundle(bundlePath)) {
        if (auto key = publicKey(certificate)) keys.push_back(std::move(key));
    }
    return keys;
}

// ---- the manager ----

std::optional<ServerTrustPolicy> ServerTrustPolicyManager::policy(const std::string& host) const {
    auto it = policies_.find(host);
    if (it == policies_.end()) return std::nullopt;
    return it->second;
}

namespace {
// The key of the manager among a URL session's attached objects.
const char kManagerKey = 0;
} // namespace

std::shared_ptr<ServerTrustPolicyManager> serverTrustPolicyManager(const net::URLSession& session) {
    return std::static_pointer_cast<ServerTrustPolicyManager>(session.attachedObject(&kManagerKey));
}

void setServerTrustPolicyManager(net::URLSession& session, std::shared_ptr<ServerTrustPolicyManager> manager) {
    session.setAttachedObject(&kManagerKey, std::move(manager));
}

} // namespace http
