#include "network/KeyChainStore.h"

#include "platform/core/KeyedArchive.h"
#include "platform/core/Keychain.h"
#include "platform/core/Log.h"

namespace network {

namespace kc = core::keychain;

core::Dictionary KeyChainStore::getKeychainQuery(const std::string& key) {
    return core::Dictionary{{kc::kClass, kc::kClassGenericPassword},
                            {kc::kAttrService, key},
                            {kc::kAttrAccount, key},
                            {kc::kAttrAccessible, kc::kAccessibleAfterFirstUnlock}};
}

void KeyChainStore::save(const std::string& key, const core::Value& data) {
    auto query = getKeychainQuery(key);
    (void)kc::remove(query);
    auto archived = core::archive::archive(data);
    if (!archived) return;
    query.set(kc::kValueData, std::move(*archived));
    (void)kc::add(query);
}

std::optional<core::Value> KeyChainStore::load(const std::string& key) {
    auto query = getKeychainQuery(key);
    query.set(kc::kReturnData, true);
    query.set(kc::kMatchLimit, kc::kMatchLimitOne);
    core::Bytes data;
    if (kc::copyMatching(query, &data) != kc::kSuccess) return std::nullopt;
    auto value = core::archive::unarchive(data);
    if (!value) {
        core::log("Unarchive of " + key + " failed: " + value.error().description);
        return std::nullopt;
    }
    return std::move(*value);
}

void KeyChainStore::deleteKeyData(const std::string& key) { (void)kc::remove(getKeychainQuery(key)); }

} // namespace network
