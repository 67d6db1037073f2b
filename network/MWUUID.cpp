#include "network/MWUUID.h"

#include "network/KeyChainStore.h"
#include "platform/core/Digest.h"
#include "platform/core/TextConversions.h"
#include "platform/core/Utf16.h"
#include "platform/dispatch/Clock.h"

#include <algorithm>
#include <mutex>

namespace network {

std::string MWUUID::getUUID() {
    // An identifier the keychain could not keep is used for the rest of the run (and stored as
    // soon as the keychain takes it): the service sees one device, not a new one per request.
    static std::mutex mutex;
    static std::string unsaved;
    std::lock_guard lock(mutex);
    auto stored = KeyChainStore::load(kDeviceIdKey);
    if (stored && stored->isString() && !stored->asString().empty()) return stored->asString();
    std::string identifier = unsaved.empty() ? core::makeUuidString() : unsaved;
    unsaved = KeyChainStore::save(kDeviceIdKey, core::Value(identifier)) ? std::string() : identifier;
    return identifier;
}

std::string MWUUID::getMd5UUID() { return SetMD5(getUUID() + "123456"); }

std::string MWUUID::SetMD5(std::string_view text) { return core::md5Hex(text); }

int MWUUID::compareNumeric(std::string_view a8, std::string_view b8) {
    const std::u16string a = core::utf16::fromUtf8(a8);
    const std::u16string b = core::utf16::fromUtf8(b8);
    auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t ai = i, bj = j;
            while (ai < a.size() && a[ai] == u'0') ++ai;
            while (bj < b.size() && b[bj] == u'0') ++bj;
            std::size_t ae = ai, be = bj;
            while (ae < a.size() && digit(a[ae])) ++ae;
            while (be < b.size() && digit(b[be])) ++be;
            // A longer run of significant digits is the larger number; equal lengths compare digit by digit.
            if (ae - ai != be - bj) return ae - ai < be - bj ? -1 : 1;
            for (std::size_t k = 0; k < ae - ai; ++k) {
                if (a[ai + k] != b[bj + k]) return a[ai + k] < b[bj + k] ? -1 : 1;
            }
            i = ae;
            j = be;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

std::string MWUUID::CreateMD5SignForPayWithDict(const core::Dictionary& params, std::string_view salt) {
    if (salt.empty()) salt = kDefaultSalt;
    std::vector<std::string> keys = params.keys();
    // Keys that compare equal numerically ("a01", "a1") fall back to plain order, so the result
    // never depends on the dictionary's order.
    std::sort(keys.begin(), keys.end(), [](const std::string& x, const std::string& y) {
        int c = compareNumeric(x, y);
        return c != 0 ? c < 0 : x < y;
    });
    std::string text;
    for (const auto& key : keys) {
        std::string value = core::description(*params.find(key));
        if (value.empty() || value == "sign" || value == "key") continue;
        text += key + "=" + value + "&";
    }
    text += "salt=" + SetMD5(salt);
    return SetMD5(text);
}

std::string MWUUID::CreateMD5SignForPayWithDict(const core::Dictionary& params) {
    // The fixed salt is never empty, so the default-salt rule never applies here.
    return CreateMD5SignForPayWithDict(params, kPaySalt);
}

std::string MWUUID::GETCurrentTimestamp() {
    return std::to_string(static_cast<long>(dispatch::Clock::current().wallTime()));
}

} // namespace network
