#pragma once
// For test programs over TLS: the run's certificates, installed as the only anchors from the
// first test to the last, and a certificate's parsed form.

#include "platform/net/ServerTrust.h"
#include "platform/net/testing/TestCertificates.h"

#include <gtest/gtest.h>

#include <memory>

namespace net::testkit {

class TrustEnvironment : public ::testing::Environment {
public:
    void SetUp() override { certificates = std::make_unique<InstalledTestCertificates>(); }
    void TearDown() override { certificates.reset(); }
    static inline std::unique_ptr<InstalledTestCertificates> certificates;
};
inline const auto* const kTrustEnvironment = ::testing::AddGlobalTestEnvironment(new TrustEnvironment);

inline const TestCertificates& certs() { return *TrustEnvironment::certificates; }

inline std::shared_ptr<const Certificate> certificate(const TestIdentity& id) { return Certificate::fromDER(id.der); }

} // namespace net::testkit
