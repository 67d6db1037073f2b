#include "platform/net/URLCredentialStorage.h"

namespace net {

std::shared_ptr<URLCredentialStorage> URLCredentialStorage::shared() {
    static auto* storage = new std::shared_ptr<URLCredentialStorage>(create());
    return *storage;
}

std::vector<URLCredential> URLCredentialStorage::credentials(const URLProtectionSpace& space) const {
    std::lock_guard lock(mutex_);
    auto it = credentials_.find(space);
    return it == credentials_.end() ? std::vector<URLCredential>{} : it->second;
}

std::optional<URLCredential> URLCredentialStorage::defaultCredential(const URLProtectionSpace& space) const {
    std::lock_guard lock(mutex_);
    auto it = defaults_.find(space);
    if (it == defaults_.end()) return std::nullopt;
    return it->second;
}

void URLCredentialStorage::setCredential(const URLCredential& credential, const URLProtectionSpace& space, bool asDefault) {
    std::lock_guard lock(mutex_);
    auto& list = credentials_[space];
    bool replaced = false;
    for (auto& c : list) {
        if (c.user == credential.user) {
            c = credential;
            replaced = true;
        }
    }
    if (!replaced) list.push_back(credential);
    if (asDefault) defaults_[space] = credential;
}

} // namespace net
