#pragma once
// User names and passwords for protection spaces (host, port, protocol, realm).

#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace net {

struct URLProtectionSpace {
    std::string host;
    int port = 0;
    std::string protocol;            // "http", "https"
    std::optional<std::string> realm;
    std::string authenticationMethod; // "default", "basic", "digest", "negotiate", "servertrust"
    std::optional<std::string> proxyType = std::nullopt; // a proxy's space: its scheme ("http", "https")

    bool isProxy() const { return proxyType.has_value(); }
    auto key() const { return std::tie(host, port, protocol, realm, proxyType); }
    bool operator<(const URLProtectionSpace& o) const { return key() < o.key(); }
};

struct URLCredential {
    std::string user;
    std::string password;
};

class URLCredentialStorage {
public:
    static std::shared_ptr<URLCredentialStorage> shared();
    static std::shared_ptr<URLCredentialStorage> create() { return std::make_shared<URLCredentialStorage>(); }

    std::vector<URLCredential> credentials(const URLProtectionSpace& space) const;
    std::optional<URLCredential> defaultCredential(const URLProtectionSpace& space) const;
    void setCredential(const URLCredential& credential, const URLProtectionSpace& space, bool asDefault = false);

private:
    mutable std::mutex mutex_;
    std::map<URLProtectionSpace, std::vector<URLCredential>> credentials_;
    std::map<URLProtectionSpace, URLCredential> defaults_;
};

} // namespace net
