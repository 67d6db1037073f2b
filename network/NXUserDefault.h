#pragma once
// NXUserDefault: the app's small key/value settings over the standard user defaults, with an
// in-memory copy (_dic_s) of what was stored during this run. Storing nothing, the empty text or
// a number whose single-precision value is 0 removes the key instead. Main thread only.

#include "platform/core/Value.h"

#include <optional>
#include <string>

namespace network {

class NXUserDefault {
public:
    static NXUserDefault& shared();

    // The user defaults' value for the key, else this run's stored value, else nothing.
    std::optional<core::Value> value(const std::string& key) const;
    void setValue(const std::optional<core::Value>& value, const std::string& key);

    // Forgets this run's values (tests run many "runs" in one process).
    void resetForTesting() { _dic_s = core::Dictionary(); }

private:
    NXUserDefault() = default;
    core::Dictionary _dic_s;
};

} // namespace network
