#include "network/Reachability.h"

#include "platform/core/NotificationCenter.h"

#include <cstdio>
#include <netinet/in.h>

namespace network {

using namespace net;

Reachability::Reachability(std::shared_ptr<net::NetworkReachability> ref)
    : reachabilityRef_(std::move(ref)), reachabilitySerialQueue_(dispatch::Queue::serial(kQueueLabel)) {}

Reachability::~Reachability() {
    if (reachabilityRef_) {
        reachabilityRef_->setCallback(nullptr);
        reachabilityRef_->setDispatchQueue(nullptr);
    }
}

std::shared_ptr<Reachability> Reachability::reachabilityWithHostName(const std::string& host) {
    auto ref = net::NetworkReachability::withHostName(host);
    return ref ? core::make<Reachability>(ref) : nullptr;
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr* address) {
    auto ref = net::NetworkReachability::withAddress(address);
    return ref ? core::make<Reachability>(ref) : nullptr;
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
    sockaddr_in zero{};
    zero.sin_family = AF_INET;
    return reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&zero));
}

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
    sockaddr_in linkLocal{};
    linkLocal.sin_family = AF_INET;
    linkLocal.sin_addr.s_addr = htonl(0xA9FE0000); // 169.254.0.0
    return reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&linkLocal));
}

bool Reachability::startNotifier() {
    auto self = std::static_pointer_cast<Reachability>(shared_from_this());
    if (reachabilityObject_ == self) return true;
    std::weak_ptr<Reachability> weakSelf = self;
    if (!reachabilityRef_->setCallback([weakSelf](std::uint32_t flags) {
            if (auto monitor = weakSelf.lock()) monitor->reachabilityChanged(flags);
        })) {
        reachabilityObject_.reset();
        return false;
    }
    if (!reachabilityRef_->setDispatchQueue(reachabilitySerialQueue_)) {
        reachabilityRef_->setCallback(nullptr);
        reachabilityObject_.reset();
        return false;
    }
    reachabilityObject_ = self;
    return true;
}

void Reachability::stopNotifier() {
    reachabilityRef_->setCallback(nullptr);
    reachabilityRef_->setDispatchQueue(nullptr);
    reachabilityObject_.reset();
}

bool Reachability::isReachableWithFlags(std::uint32_t flags) const {
    if (!(flags & kReachabilityReachable)) return false;
    constexpr std::uint32_t transientAndRequired = kReachabilityTransientConnection | kReachabilityConnectionRequired;
    if ((flags & transientAndRequired) == transientAndRequired) return false;
    if ((flags & kReachabilityIsWWAN) && !reachableOnWWAN) return false;
    return true;
}

bool Reachability::isReachable() const {
    auto flags = reachabilityRef_->flags();
    return flags && isReachableWithFlags(*flags);
}

bool Reachability::isReachableViaWWAN() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & kReachabilityReachable) && (*flags & kReachabilityIsWWAN);
}

bool Reachability::isReachableViaWiFi() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & kReachabilityReachable) && !(*flags & kReachabilityIsWWAN);
}

bool Reachability::connectionRequired() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & kReachabilityConnectionRequired);
}

bool Reachability::isConnectionOnDemand() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & kReachabilityConnectionRequired) &&
           (*flags & (kReachabilityConnectionOnTraffic | kReachabilityConnectionOnDemand));
}

bool Reachability::isInterventionRequired() const {
    auto flags = reachabilityRef_->flags();
    return flags && (*flags & kReachabilityConnectionRequired) && (*flags & kReachabilityInterventionRequired);
}

NetworkStatus Reachability::currentReachabilityStatus() const {
    if (!isReachable()) return NotReachable;
    return isReachableViaWiFi() ? ReachableViaWiFi : ReachableViaWWAN;
}

std::uint32_t Reachability::reachabilityFlags() const { return reachabilityRef_->flags().value_or(0); }

std::string Reachability::currentReachabilityString() const {
    // The app ships no translation for these keys, and a missing translation reads as the key.
    switch (currentReachabilityStatus()) {
    case ReachableViaWWAN: return "Cellular";
    case ReachableViaWiFi: return "WiFi";
    case NotReachable: break;
    }
    return "No Connection";
}

std::string Reachability::flagsText(std::uint32_t f) {
    char text[16];
    std::snprintf(text, sizeof text, "%c%c %c%c%c%c%c%c%c", (f & kReachabilityIsWWAN) ? 'W' : '-',
                  (f & kReachabilityReachable) ? 'R' : '-', (f & kReachabilityConnectionRequired) ? 'c' : '-',
                  (f & kReachabilityTransientConnection) ? 't' : '-', (f & kReachabilityInterventionRequired) ? 'i' : '-',
                  (f & kReachabilityConnectionOnTraffic) ? 'C' : '-', (f & kReachabilityConnectionOnDemand) ? 'D' : '-',
                  (f & kReachabilityIsLocalAddress) ? 'l' : '-', (f & kReachabilityIsDirect) ? 'd' : '-');
    return text;
}

std::string Reachability::currentReachabilityFlags() const { return flagsText(reachabilityFlags()); }

std::string Reachability::description() const {
    char text[128];
    std::snprintf(text, sizeof text, "<%s: %#x (%s)>", std::string(className()).c_str(),
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this) & 0xffffffffu),
                  currentReachabilityFlags().c_str());
    return text;
}

void Reachability::reachabilityChanged(std::uint32_t flags) {
    auto self = std::static_pointer_cast<Reachability>(shared_from_this());
    if (isReachableWithFlags(flags)) {
        if (reachableBlock) reachableBlock(self);
    } else if (unreachableBlock) {
        unreachableBlock(self);
    }
    if (reachabilityBlock) reachabilityBlock(self, flags);
    dispatch::Queue::main()->async([self] {
        core::NotificationCenter::defaultCenter().post(kReachabilityChangedNotification, self);
    });
}

} // namespace network
