#pragma once
// Reachability: watches whether the network can be reached and reports changes through blocks
// (on its own serial queue "com.corvane.reachability") and the notification
// "kReachabilityChangedNotification" (on the main queue). While notifying, the monitor keeps
// itself alive; stopNotifier lets it go.

#include "platform/core/Object.h"
#include "platform/dispatch/Queue.h"
#include "platform/net/NetworkReachability.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct sockaddr;

namespace network {

enum NetworkStatus : std::int64_t { NotReachable = 0, ReachableViaWWAN = 1, ReachableViaWiFi = 2 };

class Reachability : public core::Object {
    QUILLORA_CLASS(Reachability)

    static constexpr const char* kReachabilityChangedNotification = "kReachabilityChangedNotification";
    static constexpr const char* kQueueLabel = "com.corvane.reachability";

    using NetworkReachable = std::function<void(const std::shared_ptr<Reachability>&)>;
    using NetworkUnreachable = std::function<void(const std::shared_ptr<Reachability>&)>;
    using NetworkReachability = std::function<void(const std::shared_ptr<Reachability>&, std::uint32_t flags)>;

    static std::shared_ptr<Reachability> reachabilityWithHostName(const std::string& host);
    static std::shared_ptr<Reachability> reachabilityWithHostname(const std::string& host) { return reachabilityWithHostName(host); }
    static std::shared_ptr<Reachability> reachabilityWithAddress(const sockaddr* address);
    static std::shared_ptr<Reachability> reachabilityForInternetConnection();
    static std::shared_ptr<Reachability> reachabilityForLocalWiFi();

    explicit Reachability(std::shared_ptr<net::NetworkReachability> ref);
    ~Reachability() override;

    bool reachableOnWWAN = true;
    NetworkReachable reachableBlock;
    NetworkUnreachable unreachableBlock;
    NetworkReachability reachabilityBlock;

    bool startNotifier();
    void stopNotifier();

    bool isReachableWithFlags(std::uint32_t flags) const;
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool isConnectionRequired() const { return connectionRequired(); }
    bool connectionRequired() const;
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    NetworkStatus currentReachabilityStatus() const;
    std::uint32_t reachabilityFlags() const;
    std::string currentReachabilityString() const;
    std::string currentReachabilityFlags() const;
    std::string description() const override;

    // The text form of a set of flags ("WR -------" for reachable over WWAN).
    static std::string flagsText(std::uint32_t flags);

private:
    void reachabilityChanged(std::uint32_t flags);

    std::shared_ptr<net::NetworkReachability> reachabilityRef_;
    std::shared_ptr<dispatch::Queue> reachabilitySerialQueue_;
    std::shared_ptr<Reachability> reachabilityObject_; // the monitor itself while notifying
};

} // namespace network
