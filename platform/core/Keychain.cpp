#include "platform/core/Keychain.h"

#include "platform/core/Digest.h"
#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "platform/core/PropertyList.h"
#include "platform/core/TextConversions.h"

#include <mutex>

namespace core::keychain {

namespace {

std::mutex& keychainMutex() {
    static std::mutex m;
    return m;
}

std::string text(const Dictionary& d, const char* key) {
    const Value* v = d.find(key);
    return v && v->isString() ? v->asString() : std::string();
}

// Items are named by a digest of class, service and account so that any text is a safe file name.
std::optional<std::string> itemPath(const Dictionary& query) {
    std::string cls = text(query, kClass);
    if (cls != kClassGenericPassword) return std::nullopt;
    std::string service = text(query, kAttrService);
    std::string account = text(query, kAttrAccount);
    std::string name = cls + '\0' + service + '\0' + account;
    return folder() + "/" + sha256Hex(name) + ".item";
}

// Keeps an item file that cannot be used: moved aside into a numbered slot, never deleted.
void keepAside(const std::string& path, const std::string& problem) {
    auto moved = files::moveAside(path);
    log("Keychain item " + path + " " + problem + "; " +
        (moved ? "kept as " + *moved : "it could not be moved aside: " + moved.error().description));
}

// Reads an item file; a file that exists but cannot be read or understood is kept aside and
// treated as absent.
std::optional<Dictionary> readItem(const std::string& path) {
    if (!files::exists(path)) return std::nullopt;
    auto bytes = files::read(path);
    if (!bytes) {
        keepAside(path, "could not be read (" + bytes.error().description + ")");
        return std::nullopt;
    }
    auto parsed = plist::read(*bytes);
    if (!parsed || !parsed->value.isDictionary() || !parsed->value.find(kValueData) ||
        !parsed->value.find(kValueData)->isBytes()) {
        keepAside(path, "is damaged (" + (parsed ? std::string("no secret data") : parsed.error().description) + ")");
        return std::nullopt;
    }
    return parsed->value.asDictionary();
}

// A keychain that cannot be written (a read-only folder, a full disk) says so once, not at every
// save the app tries: again only after a save has gone through. Guarded by keychainMutex().
bool failingToSave = false;

Status saveFailed(const core::Error& error) {
    if (!failingToSave) log("Keychain item could not be saved: " + error.description + "; later failures are not logged until a save succeeds");
    failingToSave = true;
    return kIO;
}

Status writeItem(const std::string& path, const Dictionary& item) {
    auto bytes = plist::write(Value(item), plist::Format::Binary);
    if (!bytes) return kParam;
    if (auto made = files::createDirectories(folder(), 0700); !made) return saveFailed(made.error());
    // A new file renamed over the old one: the old item stays whole until the new one is.
    if (auto written = files::writeAtomically(path, *bytes, 0600); !written) return saveFailed(written.error());
    failingToSave = false;
    return kSuccess;
}

} // namespace

std::string folder() { return paths::dataHome() + "/keychain"; }

Status add(const Dictionary& attributes) {
    auto path = itemPath(attributes);
    const Value* data = attributes.find(kValueData);
    if (!path || !data || !data->isBytes()) return kParam;
    std::lock_guard lock(keychainMutex());
    if (readItem(*path)) return kDuplicateItem;
    Dictionary item;
    for (const char* key : {kClass, kAttrService, kAttrAccount, kAttrAccessible}) {
        if (const Value* v = attributes.find(key)) item.set(key, *v);
    }
    item.set(kValueData, *data);
    return writeItem(*path, item);
}

Status update(const Dictionary& query, const Dictionary& attributesToUpdate) {
    auto path = itemPath(query);
    const Value* data = attributesToUpdate.find(kValueData);
    if (!path || (data && !data->isBytes())) return kParam;
    std::lock_guard lock(keychainMutex());
    auto item = readItem(*path);
    if (!item) return kItemNotFound;
    for (const auto& [key, value] : attributesToUpdate) {
        if (key == kValueData || key == kAttrAccessible) item->set(key, value);
    }
    return writeItem(*path, *item);
}

Expected<std::string> moveAside(const Dictionary& query) {
    auto path = itemPath(query);
    if (!path) return Error{"core.keychain", kParam, "not a generic-password query", {}};
    std::lock_guard lock(keychainMutex());
    return files::moveAside(*path);
}

Status copyMatching(const Dictionary& query, Bytes* data) {
    auto path = itemPath(query);
    if (!path) return kParam;
    std::lock_guard lock(keychainMutex());
    auto item = readItem(*path);
    if (!item) return kItemNotFound;
    const Value* wantData = query.find(kReturnData);
    if (data && wantData && boolValue(*wantData)) *data = item->find(kValueData)->asBytes();
    return kSuccess;
}

Status remove(const Dictionary& query) {
    auto path = itemPath(query);
    if (!path) return kParam;
    std::lock_guard lock(keychainMutex());
    if (!files::exists(*path)) return kItemNotFound;
    return files::remove(*path) ? kSuccess : kIO;
}

} // namespace core::keychain
