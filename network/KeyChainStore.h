#pragma once
// KeyChainStore: one object per key in the keychain, stored as a keyed archive in a
// generic-password item whose service and account are the key. Keychain errors on save and
// delete are ignored; an item that cannot be unarchived is logged and counts as absent.

#include "platform/core/Value.h"

#include <optional>
#include <string>

namespace network {

class KeyChainStore {
public:
    KeyChainStore() = delete;

    static core::Dictionary getKeychainQuery(const std::string& key);
    static void save(const std::string& key, const core::Value& data);
    static std::optional<core::Value> load(const std::string& key);
    static void deleteKeyData(const std::string& key);
};

} // namespace network
