#include "platform/core/Object.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace core {

std::string Object::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return "<" + std::string(className()) + ": " + address + ">";
}

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, ClassRegistry::Factory, std::less<>> factories;
};

Registry& registry() {
    static Registry* r = new Registry; // never destroyed: classes may be created during exit
    return *r;
}

} // namespace

void ClassRegistry::registerClass(std::string_view name, Factory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.factories[std::string(name)] = std::move(factory);
}

bool ClassRegistry::exists(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.factories.find(name) != r.factories.end();
}

std::shared_ptr<Object> ClassRegistry::create(std::string_view name) {
    Factory factory;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.factories.find(name);
        if (it == r.factories.end()) return nullptr;
        factory = it->second;
    }
    return factory();
}

} // namespace core
