#pragma once
// Certificates, public keys and the trust of a server's certificate chain, over OpenSSL.
//
// A ServerTrust holds the chain a server presented (leaf first), the policies it is judged by, its
// anchors and the certificate revocation lists it knows. evaluate() builds a chain from the leaf
// to an anchor and checks it under every policy: status 0 and result `unspecified` (4) when the
// chain is good, result `recoverableTrustFailure` (5) when it is not. After a successful
// evaluation the chain it exposes is the built one (leaf to anchor); before, the presented one.
//
// Anchors: the default ones are the certificate bundle libcurl verifies servers against; the
// CRLs of that file are the ones every trust knows. setAnchorCertificates() replaces the
// defaults with the given certificates only, until setAnchorCertificatesOnly(false) adds them
// back. Tests point libcurl and every trust at one bundle of their own
// (setDefaultAnchorsFileForTesting).
//
// Not thread-safe: a trust belongs to one challenge. Certificates and keys are immutable.

#include "platform/core/Value.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using X509 = struct x509_st;
using EVP_PKEY = struct evp_pkey_st;
using X509_VERIFY_PARAM = struct X509_VERIFY_PARAM_st;

namespace net {

class PublicKey {
public:
    explicit PublicKey(EVP_PKEY* key) : key_(key) {} // takes the reference
    ~PublicKey();
    PublicKey(const PublicKey&) = delete;
    PublicKey& operator=(const PublicKey&) = delete;

    // The same key (type and parameters).
    bool operator==(const PublicKey& other) const;
    EVP_PKEY* get() const { return key_; }

private:
    EVP_PKEY* key_;
};

class Certificate {
public:
    // Nothing when the bytes are not one DER-encoded X.509 certificate (PEM text is not DER).
    static std::shared_ptr<const Certificate> fromDER(const core::Bytes& der);
    explicit Certificate(X509* certificate); // takes the reference
    ~Certificate();
    Certificate(const Certificate&) = delete;
    Certificate& operator=(const Certificate&) = delete;

    const core::Bytes& der() const { return der_; }
    // The subject's public key, or nothing when it cannot be read.
    std::shared_ptr<const PublicKey> publicKey() const;
    X509* get() const { return x509_; }

private:
    X509* x509_;
    core::Bytes der_;
};

using CertificateList = std::vector<std::shared_ptr<const Certificate>>;

// A rule a chain is judged by.
struct TrustPolicy {
    enum class Kind { sslServer, revocation, basicX509 };
    // Revocation option bits: where revocation is looked up, and that a certificate without an
    // answer fails (requirePositiveResponse).
    static constexpr unsigned long kRevocationOCSPMethod = 1;
    static constexpr unsigned long kRevocationCRLMethod = 2;
    static constexpr unsigned long kRevocationPreferCRL = 4;
    static constexpr unsigned long kRevocationRequirePositiveResponse = 8;
    static constexpr unsigned long kRevocationNetworkAccessDisabled = 16;
    static constexpr unsigned long kRevocationUseAnyAvailableMethod = 3;

    Kind kind = Kind::basicX509;
    std::optional<std::string> host; // sslServer: the name (or IP address) the leaf must be for
    unsigned long revocationFlags = 0;

    // An SSL server's chain (the first argument says "server"; a client's is judged the same way here).
    static TrustPolicy ssl(bool server, std::optional<std::string> host) {
        (void)server;
        return {Kind::sslServer, std::move(host), 0};
    }
    static TrustPolicy revocation(unsigned long flags) { return {Kind::revocation, std::nullopt, flags}; }
    static TrustPolicy basicX509() { return {}; }
};

class ServerTrust {
public:
    enum class Result { invalid = 0, proceed = 1, deny = 3, unspecified = 4, recoverableTrustFailure = 5, fatalTrustFailure = 6 };
    struct Evaluation {
        int status = 0; // 0: evaluated; otherwise the evaluation could not run
        Result result = Result::invalid;
        int verifyError = 0; // OpenSSL's reason for a failure
    };

    // Nothing for an empty chain.
    static std::shared_ptr<ServerTrust> create(CertificateList chain, std::vector<TrustPolicy> policies);

    void setPolicies(std::vector<TrustPolicy> policies);
    const std::vector<TrustPolicy>& policies() const { return policies_; }
    void setAnchorCertificates(CertificateList anchors);
    void setAnchorCertificatesOnly(bool only);

    Evaluation evaluate();

    std::size_t certificateCount() const { return chain().size(); }
    // Nothing past the end.
    std::shared_ptr<const Certificate> certificateAtIndex(std::size_t index) const;
    // The leaf's public key.
    std::shared_ptr<const PublicKey> publicKey() const;

    // The chain as the server sent it, whatever evaluations did since.
    const CertificateList& presentedChain() const { return presented_; }
    // SHA-256 (hexadecimal) of the presented chain's DER bytes, each after its length.
    static std::string chainDigest(const std::vector<const core::Bytes*>& ders);
    std::string presentedChainDigest() const;

    // Makes a verification with `param` require a leaf for `host` (a name or an IP address).
    static bool expectHost(X509_VERIFY_PARAM* param, const std::string& host);

    // libcurl's certificate bundle, or the file tests set.
    static std::string defaultAnchorsFile();
    static void setDefaultAnchorsFileForTesting(std::optional<std::string> path);
    // Whether tests replaced the bundle (the URL session then points libcurl at it too).
    static bool defaultAnchorsReplaced();

    ServerTrust(CertificateList chain, std::vector<TrustPolicy> policies);

private:
    const CertificateList& chain() const { return built_.empty() ? presented_ : built_; }

    CertificateList presented_;
    CertificateList built_;
    std::vector<TrustPolicy> policies_;
    std::optional<CertificateList> anchors_;
    bool anchorsOnly_ = false;
};

} // namespace net
