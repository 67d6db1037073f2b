#include "Libs/HTTPLayer/NetworkReachabilityManager.h"

#include <netinet/in.h>

namespace http {

std::shared_ptr<NetworkReachabilityManager> NetworkReachabilityManager::create(const std::string& host) {
    auto reachability = net::NetworkReachability::withHostName(host);
    if (!reachability) return nullptr;
    return std::make_shared<NetworkReachabilityManager>(std::move(reachability));
}

std::shared_ptr<NetworkReachabilityManager> NetworkReachabilityManager::create() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    auto reachability = net::NetworkReachability::withAddress(reinterpret_cast<const sockaddr*>(&address));
    if (!reachability) return nullptr;
    return std::make_shared<NetworkReachabilityManager>(std::move(reachability));
}

NetworkReachabilityManager::NetworkReachabilityManager(std::shared_ptr<net::NetworkReachability> reachability)
    : reachability_(std::move(reachability)) {}

NetworkReachabilityManager::~NetworkReachabilityManager() { NetworkReachabilityManager::endMonitoring(); }

std::shared_ptr<dispatch::Queue> NetworkReachabilityManager::listenerQueue() const {
    std::lock_guard lock(lock_);
    return listenerQueue_;
}
void NetworkReachabilityManager::setListenerQueue(std::shared_ptr<dispatch::Queue> queue) {
    std::lock_guard lock(lock_);
    listenerQueue_ = std::move(queue);
}
NetworkReachabilityManager::Listener NetworkReachabilityManager::listener() const {
    std::lock_guard lock(lock_);
    return listener_;
}
void NetworkReachabilityManager::setListener(Listener listener) {
    std::lock_guard lock(lock_);
    listener_ = std::move(listener);
}
std::uint32_t NetworkReachabilityManager::previousFlags() const {
    std::lock_guard lock(lock_);
    return previousFlags_;
}
void NetworkReachabilityManager::setPreviousFlags(std::uint32_t flags) {
    std::lock_guard lock(lock_);
    previousFlags_ = flags;
}

std::optional<std::uint32_t> NetworkReachabilityManager::currentFlags() const { return reachability_->flags(); }

NetworkReachabilityManager::NetworkReachabilityStatus NetworkReachabilityManager::currentStatus() const {
    auto flags = currentFlags();
    return flags ? status(*flags) : NetworkReachabilityStatus::unknown();
}

bool NetworkReachabilityManager::reachableViaWWAN() const {
    return currentStatus() == NetworkReachabilityStatus::reachable(ConnectionType::wwan);
}
bool NetworkReachabilityManager::reachableViaEthernetOrWiFi() const {
    return currentStatus() == NetworkReachabilityStatus::reachable(ConnectionType::ethernetOrWiFi);
}
bool NetworkReachabilityManager::reachableNow() const { return reachableViaWWAN() || reachableViaEthernetOrWiFi(); }

NetworkReachabilityManager::NetworkReachabilityStatus NetworkReachabilityManager::status(std::uint32_t flags) {
    using namespace net;
    const bool reachable = flags & kReachabilityReachable;
    const bool required = flags & kReachabilityConnectionRequired;
    const bool automatic = flags & (kReachabilityConnectionOnTraffic | kReachabilityConnectionOnDemand);
    const bool intervention = flags & kReachabilityInterventionRequired;
    if (!reachable) return NetworkReachabilityStatus::notReachable();
    if (!automatic && required) return NetworkReachabilityStatus::notReachable();
    if (automatic && required && intervention) return NetworkReachabilityStatus::notReachable();
    return NetworkReachabilityStatus::reachable((flags & kReachabilityIsWWAN) ? ConnectionType::wwan : ConnectionType::ethernetOrWiFi);
}

bool NetworkReachabilityManager::beginMonitoring() {
    std::weak_ptr<NetworkReachabilityManager> weakSelf = weak_from_this();
    const bool callbackSet = reachability_->setCallback([weakSelf](std::uint32_t flags) {
        if (auto self = weakSelf.lock()) self->reportFlags(flags);
    });
    auto queue = listenerQueue();
    const bool queueSet = reachability_->setDispatchQueue(queue);
    queue->async([self = shared_from_this()] {
        self->setPreviousFlags(0);
        self->reportFlags(self->currentFlags().value_or(0));
    });
    return callbackSet && queueSet;
}

void NetworkReachabilityManager::endMonitoring() {
    reachability_->setCallback(nullptr);
    reachability_->setDispatchQueue(nullptr);
}

void NetworkReachabilityManager::reportFlags(std::uint32_t flags) {
    Listener call;
    {
        std::lock_guard lock(lock_);
        if (flags == previousFlags_) return;
        previousFlags_ = flags;
        call = listener_;
    }
    if (call) call(status(flags));
}

} // namespace http
