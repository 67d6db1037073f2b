#pragma once
// MWUUID: the device identifier, MD5 digests, and the signature and timestamp that every service
// request carries. The signature is the service's wire contract: the skip rule looks at values,
// not keys, and the salt goes in as its own digest.

#include "platform/core/Value.h"

#include <string>
#include <string_view>

namespace network {

class MWUUID {
public:
    MWUUID() = delete;

    static constexpr const char* kDeviceIdKey = "com.company.app.usernamepassword";
    static constexpr const char* kDefaultSalt = "kd|fern_valley_907315";
    static constexpr const char* kPaySalt = "kV&pOrtE@42&19&06";

    // The device identifier from the keychain, created (36 upper-case UUID characters) and stored
    // when there is none.
    static std::string getUUID();
    static std::string getMd5UUID();
    // 32 lower-case hexadecimal digits of the MD5 of the text's UTF-8 bytes.
    static std::string SetMD5(std::string_view text);
    // The request signature; an empty salt means the default salt.
    static std::string CreateMD5SignForPayWithDict(const core::Dictionary& params, std::string_view salt);
    // The same with the fixed second salt, used as given.
    static std::string CreateMD5SignForPayWithDict(const core::Dictionary& params);
    // Whole seconds since 1970 on the app's clock, cut toward zero.
    static std::string GETCurrentTimestamp();

    // Orders texts as the platform's numeric comparison does: runs of digits by their value,
    // everything else UTF-16 unit by unit, case-sensitive. Negative, zero or positive.
    static int compareNumeric(std::string_view a, std::string_view b);
};

} // namespace network
