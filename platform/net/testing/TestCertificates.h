#pragma once
// Test support: certificates made in-process when a test runs (nothing is kept in the tree).
//
// One certificate authority issues leaves for 127.0.0.1, for "other.test", an expired one for
// 127.0.0.1 and one it then revokes in its CRL; a self-signed leaf for 127.0.0.1 stands alone.
// Keys are P-256. writeBundle() writes the authority and its CRL as one PEM file, the form of the
// bundle the URL session and server trusts read their anchors and CRLs from.

#include "platform/core/Value.h"

#include <string>

namespace net::testkit {

struct TestIdentity {
    std::string certificatePEM; // the certificate, then its issuer's when it has one
    std::string keyPEM;
    core::Bytes der;            // the certificate alone
};

class TestCertificates {
public:
    TestCertificates();

    TestIdentity authority;
    TestIdentity localhost;  // 127.0.0.1
    TestIdentity otherHost;  // other.test
    TestIdentity expired;    // 127.0.0.1, ended a day ago
    TestIdentity revoked;    // 127.0.0.1, listed in the authority's CRL
    TestIdentity selfSigned; // 127.0.0.1, its own issuer
    std::string crlPEM;

    // The authority and its CRL in one PEM file at `path`.
    void writeBundle(const std::string& path) const;
};

// Certificates whose bundle every server trust and every https leg takes as its only anchors
// for as long as this lives (in a private folder of the temporary folder, removed afterwards).
class InstalledTestCertificates : public TestCertificates {
public:
    InstalledTestCertificates();
    ~InstalledTestCertificates();
    InstalledTestCertificates(const InstalledTestCertificates&) = delete;
    InstalledTestCertificates& operator=(const InstalledTestCertificates&) = delete;

    // A folder the test may use; it goes with the bundle.
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

} // namespace net::testkit
