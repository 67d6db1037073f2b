#pragma once
// KeyChainStore: one object per key in the keychain, stored as a keyed archive in a
// generic-password item whose service and account are the key. An item that cannot be read or
// unarchived is logged, moved aside (never deleted) and counts as absent; `save` replaces an item
// without removing it first and says whether the object was stored.

#include "platform/core/Value.h"

#include <optional>
#include <string>

namespace network {

class KeyChainStore {
public:
    KeyChainStore() = delete;

    static core::Dictionary getKeychainQuery(const std::string& key);
    static bool save(const std::string& key, const core::Value& data);
    static std::optional<core::Value> load(const std::string& key);
    static void deleteKeyData(const std::string& key);
};

} // namespace network
