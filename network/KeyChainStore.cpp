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

bool KeyChainStore::save(const std::string& key, const core::Value& data) {
    auto archived = core::archive::archive(data);
    if (!archived) {
        core::log("Archive of " + key + " failed: " + archived.error().description);
        return false;
    }
    // No removal first: the new data replaces the old item whole, or the old item stays.
    auto query = getKeychainQuery(key);
    core::Dictionary item = query;
    item.set(kc::kValueData, *archived);
    kc::Status status = kc::add(item);
    if (status == kc::kDuplicateItem) status = kc::update(query, core::Dictionary{{kc::kValueData, std::move(*archived)}});
    return status == kc::kSuccess; // the keychain has logged why not
}

std::optional<core::Value> KeyChainStore::load(const std::string& key) {
    auto query = getKeychainQuery(key);
    query.set(kc::kReturnData, true);
    query.set(kc::kMatchLimit, kc::kMatchLimitOne);
    core::Bytes data;
    if (kc::copyMatching(query, &data) != kc::kSuccess) return std::nullopt;
    auto value = core::archive::unarchive(data);
    if (!value) {
        // Kept, not replaced: a later save writes a new item beside the kept one.
        auto kept = kc::moveAside(getKeychainQuery(key));
        core::log("Unarchive of " + key + " failed: " + value.error().description + "; " +
                  (kept ? "kept as " + *kept : "it could not be moved aside: " + kept.error().description));
        return std::nullopt;
    }
    return std::move(*value);
}

void KeyChainStore::deleteKeyData(const std::string& key) { (void)kc::remove(getKeychainQuery(key)); }

} // namespace network
