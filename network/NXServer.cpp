#include "network/NXServer.h"

#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"

#ifndef QUILLORA_SWITCH_BASE_URL
#error "QUILLORA_SWITCH_BASE_URL must be defined by the build"
#endif

namespace network {

namespace {

struct ProcessValues {
    std::int64_t status = -1;
    std::string asName = "loc";
    std::string switchBase = QUILLORA_SWITCH_BASE_URL;
};

ProcessValues& values() {
    static auto* v = new ProcessValues;
    return *v;
}

} // namespace

std::shared_ptr<NXServer> NXServer::shared() {
    static auto* instance = new std::shared_ptr<NXServer>(core::make<NXServer>());
    return *instance;
}

void NXServer::setServerStatus(std::int64_t status) { values().status = status; }
std::int64_t NXServer::getServerStatus() const { return values().status; }
void NXServer::setupAsName(std::string name) { values().asName = std::move(name); }
std::string NXServer::getAsName() const { return values().asName; }

void NXServer::setDefaultUrl(const std::string& url) {
    // Written through by the settings store; no explicit synchronisation needed.
    core::UserDefaults::standard().setObject(core::Value(url), kServerUrlKey);
}

std::optional<std::string> NXServer::getUrl() const {
    if (values().status != 1) return std::string();
    auto stored = core::UserDefaults::standard().stringForKey(kServerUrlKey);
    if (stored && !stored->empty()) return stored;
    return std::nullopt;
}

std::string NXServer::switchBaseUrl() { return values().switchBase; }

void NXServer::setSwitchBaseUrlForTesting(std::optional<std::string> url) {
    values().switchBase = url.value_or(QUILLORA_SWITCH_BASE_URL);
}

std::string NXServer::getChangeUrl() const {
    if (values().asName.empty()) core::log("未设置英文别名");
    return switchBaseUrl() + "/index.php/Index/Index/index";
}

void NXServer::resetForTesting() { values() = ProcessValues{}; }

} // namespace network
