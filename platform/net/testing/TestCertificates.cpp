#include "platform/net/testing/TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "platform/net/ServerTrust.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <stdexcept>

namespace net::testkit {

namespace {

EVP_PKEY* newKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key) throw std::runtime_error("cannot make a test key");
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!extension) throw std::runtime_error("bad test certificate extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for `key`, signed by `issuerKey` as `issuer` (itself when none).
X509* makeCertificate(EVP_PKEY* key, const char* commonName, long serial, long notBeforeDays, long notAfterDays,
                      const char* subjectAltName, bool authority, X509* issuer, EVP_PKEY* issuerKey) {
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), notBeforeDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(certificate), notAfterDays * 86400);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Quillora tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : certificate;
    X509_set_issuer_name(certificate, X509_get_subject_name(signer));
    addExtension(certificate, signer, NID_subject_key_identifier, "hash");
    if (issuer) addExtension(certificate, signer, NID_authority_key_identifier, "keyid:always");
    if (authority) {
        addExtension(certificate, signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(certificate, signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(certificate, signer, NID_key_usage, "critical,digitalSignature");
        addExtension(certificate, signer, NID_ext_key_usage, "serverAuth");
        addExtension(certificate, signer, NID_subject_alt_name, subjectAltName);
    }
    X509_sign(certificate, issuerKey ? issuerKey : key, EVP_sha256());
    return certificate;
}

std::string pem(X509* certificate) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, certificate);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string out(data, static_cast<std::size_t>(n));
    BIO_free(bio);
    return out;
}

std::string pem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string out(data, static_cast<std::size_t>(n));
    BIO_free(bio);
    return out;
}

core::Bytes der(X509* certificate) {
    unsigned char* out = nullptr;
    int n = i2d_X509(certificate, &out);
    core::Bytes bytes(out, out + n);
    OPENSSL_free(out);
    return bytes;
}

TestIdentity identity(X509* certificate, EVP_PKEY* key, X509* issuer) {
    TestIdentity id{pem(certificate) + (issuer ? pem(issuer) : std::string()), pem(key), der(certificate)};
    X509_free(certificate);
    EVP_PKEY_free(key);
    return id;
}

} // namespace

TestCertificates::TestCertificates() {
    EVP_PKEY* caKey = newKey();
    X509* ca = makeCertificate(caKey, "Quillora test authority", 1, -1, 30, nullptr, true, nullptr, nullptr);

    auto leaf = [&](const char* name, long serial, long from, long to, const char* altName) {
        EVP_PKEY* key = newKey();
        X509* certificate = makeCertificate(key, name, serial, from, to, altName, false, ca, caKey);
        return identity(certificate, key, ca);
    };
    localhost = leaf("127.0.0.1", 2, -1, 30, "IP:127.0.0.1");
    otherHost = leaf("other.test", 3, -1, 30, "DNS:other.test");
    expired = leaf("127.0.0.1", 4, -30, -1, "IP:127.0.0.1");
    revoked = leaf("127.0.0.1", 5, -1, 30, "IP:127.0.0.1");
    {
        EVP_PKEY* key = newKey();
        X509* certificate = makeCertificate(key, "127.0.0.1", 6, -1, 30, "IP:127.0.0.1", false, nullptr, nullptr);
        selfSigned = identity(certificate, key, nullptr);
    }

    // The authority's CRL lists the revoked leaf (serial 5).
    X509_CRL* crl = X509_CRL_new();
    X509_CRL_set_version(crl, 1);
    X509_CRL_set_issuer_name(crl, X509_get_subject_name(ca));
    ASN1_TIME* now = X509_gmtime_adj(nullptr, -3600);
    ASN1_TIME* next = X509_gmtime_adj(nullptr, 30L * 86400);
    X509_CRL_set1_lastUpdate(crl, now);
    X509_CRL_set1_nextUpdate(crl, next);
    X509_REVOKED* entry = X509_REVOKED_new();
    ASN1_INTEGER* serial = ASN1_INTEGER_new();
    ASN1_INTEGER_set(serial, 5);
    X509_REVOKED_set_serialNumber(entry, serial);
    X509_REVOKED_set_revocationDate(entry, now);
    X509_CRL_add0_revoked(crl, entry);
    ASN1_INTEGER_free(serial);
    ASN1_TIME_free(now);
    ASN1_TIME_free(next);
    X509_CRL_sort(crl);
    X509_CRL_sign(crl, caKey, EVP_sha256());
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509_CRL(bio, crl);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    crlPEM.assign(data, static_cast<std::size_t>(n));
    BIO_free(bio);
    X509_CRL_free(crl);

    authority = identity(ca, caKey, nullptr);
}

void TestCertificates::writeBundle(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << authority.certificatePEM << crlPEM;
}

InstalledTestCertificates::InstalledTestCertificates() {
    const auto base = std::filesystem::temp_directory_path() / "quillora-certificates-XXXXXX";
    std::string pattern = base.string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder for test certificates");
    folder_ = pattern;
    writeBundle(folder_ + "/anchors.pem");
    ServerTrust::setDefaultAnchorsFileForTesting(folder_ + "/anchors.pem");
}

InstalledTestCertificates::~InstalledTestCertificates() {
    ServerTrust::setDefaultAnchorsFileForTesting(std::nullopt);
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
}

} // namespace net::testkit
