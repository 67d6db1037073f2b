#include "platform/net/ServerTrust.h"

#include "platform/core/Digest.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <mutex>

namespace net {

namespace {

// The certificates and CRLs of an anchors file, read once per file.
struct AnchorFile {
    std::string path;
    std::vector<X509*> certificates;
    std::vector<X509_CRL*> crls;

    ~AnchorFile() {
        for (X509* c : certificates) X509_free(c);
        for (X509_CRL* c : crls) X509_CRL_free(c);
    }
};

std::mutex& anchorsMutex() {
    static std::mutex mutex;
    return mutex;
}
std::optional<std::string>& testAnchorsFile() {
    static std::optional<std::string> path;
    return path;
}

std::string curlDefaultBundle() {
    static const std::string path = [] {
        std::string found;
        curl_global_init(CURL_GLOBAL_DEFAULT);
        if (CURL* easy = curl_easy_init()) {
            char* info = nullptr;
            if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &info) == CURLE_OK && info) found = info;
            curl_easy_cleanup(easy);
        }
        return found.empty() ? std::string("/etc/ssl/certs/ca-certificates.crt") : found;
    }();
    return path;
}

std::shared_ptr<const AnchorFile> loadAnchors(const std::string& path) {
    static std::shared_ptr<const AnchorFile> cached;
    std::lock_guard lock(anchorsMutex());
    if (cached && cached->path == path) return cached;
    auto file = std::make_shared<AnchorFile>();
    file->path = path;
    if (BIO* bio = BIO_new_file(path.c_str(), "r")) {
        if (STACK_OF(X509_INFO)* infos = PEM_X509_INFO_read_bio(bio, nullptr, nullptr, nullptr)) {
            for (int i = 0; i < sk_X509_INFO_num(infos); ++i) {
                X509_INFO* info = sk_X509_INFO_value(infos, i);
                if (info->x509 && X509_up_ref(info->x509)) file->certificates.push_back(info->x509);
                if (info->crl && X509_CRL_up_ref(info->crl)) file->crls.push_back(info->crl);
            }
            sk_X509_INFO_pop_free(infos, X509_INFO_free);
        }
        BIO_free(bio);
    }
    cached = file;
    return cached;
}

bool isIPAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// Revocation without an answer for a certificate passes unless the policy asks for a positive one.
struct VerifyContext {
    bool requirePositiveResponse = false;
};

int verifyCallback(int ok, X509_STORE_CTX* ctx) {
    if (ok) return ok;
    auto* context = static_cast<VerifyContext*>(X509_STORE_CTX_get_app_data(ctx));
    if (context && !context->requirePositiveResponse && X509_STORE_CTX_get_error(ctx) == X509_V_ERR_UNABLE_TO_GET_CRL) {
        X509_STORE_CTX_set_error(ctx, X509_V_OK);
        return 1;
    }
    return ok;
}

} // namespace

// ---- keys and certificates ----

PublicKey::~PublicKey() { EVP_PKEY_free(key_); }

bool PublicKey::operator==(const PublicKey& other) const { return EVP_PKEY_eq(key_, other.key_) == 1; }

Certificate::Certificate(X509* certificate) : x509_(certificate) {
    unsigned char* out = nullptr;
    int length = i2d_X509(x509_, &out);
    if (length > 0) der_.assign(out, out + length);
    OPENSSL_free(out);
}

Certificate::~Certificate() { X509_free(x509_); }

std::shared_ptr<const Certificate> Certificate::fromDER(const core::Bytes& der) {
    const unsigned char* at = der.data();
    X509* x509 = d2i_X509(nullptr, &at, static_cast<long>(der.size()));
    if (!x509) return nullptr;
    if (at != der.data() + der.size()) { // trailing bytes: not one certificate
        X509_free(x509);
        return nullptr;
    }
    return std::make_shared<const Certificate>(x509);
}

std::shared_ptr<const PublicKey> Certificate::publicKey() const {
    EVP_PKEY* key = X509_get_pubkey(x509_);
    return key ? std::make_shared<const PublicKey>(key) : nullptr;
}

// ---- the trust ----

ServerTrust::ServerTrust(CertificateList chain, std::vector<TrustPolicy> policies)
    : presented_(std::move(chain)), policies_(std::move(policies)) {}

std::shared_ptr<ServerTrust> ServerTrust::create(CertificateList chain, std::vector<TrustPolicy> policies) {
    if (chain.empty()) return nullptr;
    for (const auto& c : chain) {
        if (!c) return nullptr;
    }
    return std::make_shared<ServerTrust>(std::move(chain), std::move(policies));
}

void ServerTrust::setPolicies(std::vector<TrustPolicy> policies) { policies_ = std::move(policies); }

void ServerTrust::setAnchorCertificates(CertificateList anchors) {
    anchors_ = std::move(anchors);
    anchorsOnly_ = true;
}

void ServerTrust::setAnchorCertificatesOnly(bool only) { anchorsOnly_ = only; }

std::shared_ptr<const Certificate> ServerTrust::certificateAtIndex(std::size_t index) const {
    const auto& c = chain();
    return index < c.size() ? c[index] : nullptr;
}

std::shared_ptr<const PublicKey> ServerTrust::publicKey() const { return presented_.front()->publicKey(); }

std::string ServerTrust::chainDigest(const std::vector<const core::Bytes*>& ders) {
    std::string all;
    for (const core::Bytes* der : ders) {
        const auto n = static_cast<std::uint32_t>(der->size());
        const char length[4] = {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
        all.append(length, 4);
        all.append(reinterpret_cast<const char*>(der->data()), der->size());
    }
    return core::sha256Hex(all);
}

std::string ServerTrust::presentedChainDigest() const {
    std::vector<const core::Bytes*> ders;
    for (const auto& c : presented_) ders.push_back(&c->der());
    return chainDigest(ders);
}

std::string ServerTrust::defaultAnchorsFile() {
    {
        std::lock_guard lock(anchorsMutex());
        if (testAnchorsFile()) return *testAnchorsFile();
    }
    return curlDefaultBundle();
}

void ServerTrust::setDefaultAnchorsFileForTesting(std::optional<std::string> path) {
    std::lock_guard lock(anchorsMutex());
    testAnchorsFile() = std::move(path);
}

bool ServerTrust::defaultAnchorsReplaced() {
    std::lock_guard lock(anchorsMutex());
    return testAnchorsFile().has_value();
}

bool ServerTrust::expectHost(X509_VERIFY_PARAM* param, const std::string& host) {
    if (isIPAddress(host)) return X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1;
    return X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) == 1;
}

ServerTrust::Evaluation ServerTrust::evaluate() {
    Evaluation evaluation;
    built_.clear();
    const auto defaults = loadAnchors(defaultAnchorsFile());
    X509_STORE* store = X509_STORE_new();
    STACK_OF(X509)* untrusted = sk_X509_new_null();
    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    if (!store || !untrusted || !ctx) {
        evaluation.status = -1;
        X509_STORE_CTX_free(ctx);
        sk_X509_free(untrusted);
        X509_STORE_free(store);
        return evaluation;
    }
    if (anchors_) {
        for (const auto& anchor : *anchors_) {
            if (anchor) X509_STORE_add_cert(store, anchor->get());
        }
    }
    if (!anchors_ || !anchorsOnly_) {
        for (X509* anchor : defaults->certificates) X509_STORE_add_cert(store, anchor);
    }
    for (X509_CRL* crl : defaults->crls) X509_STORE_add_crl(store, crl);
    for (std::size_t i = 1; i < presented_.size(); ++i) sk_X509_push(untrusted, presented_[i]->get());

    VerifyContext context;
    bool ok = X509_STORE_CTX_init(ctx, store, presented_.front()->get(), untrusted) == 1;
    if (ok) {
        X509_STORE_CTX_set_app_data(ctx, &context);
        X509_STORE_CTX_set_verify_cb(ctx, verifyCallback);
        X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx);
        // A pinned certificate or an intermediate can be an anchor of its own.
        unsigned long flags = X509_V_FLAG_PARTIAL_CHAIN;
        for (const auto& policy : policies_) {
            switch (policy.kind) {
            case TrustPolicy::Kind::sslServer:
                X509_STORE_CTX_set_purpose(ctx, X509_PURPOSE_SSL_SERVER);
                if (policy.host) ok = ok && expectHost(param, *policy.host);
                break;
            case TrustPolicy::Kind::revocation:
                flags |= X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL;
                context.requirePositiveResponse = (policy.revocationFlags & TrustPolicy::kRevocationRequirePositiveResponse) != 0;
                break;
            case TrustPolicy::Kind::basicX509: break;
            }
        }
        X509_VERIFY_PARAM_set_flags(param, flags);
    }
    if (!ok) {
        evaluation.status = -1;
    } else if (X509_verify_cert(ctx) == 1) {
        evaluation.result = Result::unspecified;
        if (STACK_OF(X509)* chain = X509_STORE_CTX_get1_chain(ctx)) {
            for (int i = 0; i < sk_X509_num(chain); ++i) {
                X509* c = sk_X509_value(chain, i);
                if (X509_up_ref(c)) built_.push_back(std::make_shared<const Certificate>(c));
            }
            sk_X509_pop_free(chain, X509_free);
        }
    } else {
        evaluation.result = Result::recoverableTrustFailure;
        evaluation.verifyError = X509_STORE_CTX_get_error(ctx);
    }
    X509_STORE_CTX_free(ctx);
    sk_X509_free(untrusted);
    X509_STORE_free(store);
    return evaluation;
}

} // namespace net
