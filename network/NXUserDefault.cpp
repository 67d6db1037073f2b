#include "network/NXUserDefault.h"

#include "platform/core/UserDefaults.h"

namespace network {

namespace {

// False, 0, 0.0, -0.0, and doubles so small that they are 0 in single precision.
bool isNumericZero(const core::Value& v) {
    switch (v.kind()) {
    case core::Value::Kind::Bool: return !v.asBool();
    case core::Value::Kind::Int: return v.asInt() == 0;
    case core::Value::Kind::UInt: return v.asUInt() == 0;
    case core::Value::Kind::Double: return static_cast<float>(v.asDouble()) == 0.0f;
    default: return false;
    }
}

} // namespace

NXUserDefault& NXUserDefault::shared() {
    static auto* instance = new NXUserDefault; // never released
    return *instance;
}

std::optional<core::Value> NXUserDefault::value(const std::string& key) const {
    if (auto stored = core::UserDefaults::standard().objectForKey(key)) return stored;
    if (const core::Value* v = _dic_s.find(key)) return *v;
    return std::nullopt;
}

void NXUserDefault::setValue(const std::optional<core::Value>& value, const std::string& key) {
    auto& defaults = core::UserDefaults::standard();
    if (!value) {
        defaults.removeObjectForKey(key);
        _dic_s.erase(key);
    } else if (isNumericZero(*value) || (value->isString() && value->asString().empty())) {
        _dic_s.erase(key);
        defaults.removeObjectForKey(key);
    } else {
        _dic_s.set(key, *value);
        defaults.setObject(*value, key);
    }
    // The store writes the change on its own thread, so the caller (the main thread after every
    // answer) never waits on the disk: no synchronize() here. The store retries a failed write
    // with the next change and waits for the pending one at exit.
}

} // namespace network
