#pragma once
// Whether a network target can be reached, and notice when that changes.
//
// A reference names a target: a host name, or a socket address (the zero address stands for "the
// internet", 169.254.0.0 for the local link). Its flags are computed from the machine's routing
// state, read over rtnetlink: a target is reachable when a default route goes out through an up,
// non-loopback interface (for the local link: when such an interface is up at all); a loopback
// target is always reachable, locally and directly. There is no cellular network here, so the
// WWAN flag is never set.
//
// Once scheduled, the reference watches route, link and address events and calls its callback on
// the given queue whenever the flags differ from the last ones seen. Starting to watch sends no
// report of its own. Tests replace where the flags come from with a flag source and trigger a
// re-reading by hand.

#include "platform/dispatch/Queue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

struct sockaddr;

namespace net {

// Flag bits, as the app reads them.
enum ReachabilityFlags : std::uint32_t {
    kReachabilityTransientConnection = 1u << 0,
    kReachabilityReachable = 1u << 1,
    kReachabilityConnectionRequired = 1u << 2,
    kReachabilityConnectionOnTraffic = 1u << 3,
    kReachabilityInterventionRequired = 1u << 4,
    kReachabilityConnectionOnDemand = 1u << 5,
    kReachabilityIsLocalAddress = 1u << 16,
    kReachabilityIsDirect = 1u << 17,
    kReachabilityIsWWAN = 1u << 18,
};

class NetworkReachability : public std::enable_shared_from_this<NetworkReachability> {
public:
    enum class TargetKind { hostName, internet, localLink, loopback, address };
    using Callback = std::function<void(std::uint32_t flags)>;
    // Computes the flags of a target (tests install one; nothing restores the routing table).
    using FlagSource = std::function<std::uint32_t(TargetKind, const std::string& target)>;

    // Nothing for an empty name.
    static std::shared_ptr<NetworkReachability> withHostName(const std::string& host);
    // Nothing for an address of a family other than IPv4 or IPv6.
    static std::shared_ptr<NetworkReachability> withAddress(const sockaddr* address);

    ~NetworkReachability();

    TargetKind kind() const { return kind_; }
    // The current flags, or nothing when they cannot be read.
    std::optional<std::uint32_t> flags() const;

    // Installs (or, with an empty callback, removes) the change callback.
    bool setCallback(Callback callback);
    // Starts (a queue) or stops (nullptr) watching; changes are delivered on the queue.
    bool setDispatchQueue(std::shared_ptr<dispatch::Queue> queue);

    static void setFlagSourceForTesting(FlagSource source);
    // Makes every watching reference read its flags again now (as a routing event would).
    static void recheckAllForTesting();

private:
    NetworkReachability(TargetKind kind, std::string target);
    void recheck();

    const TargetKind kind_;
    const std::string target_;
    mutable std::mutex mutex_;
    Callback callback_;
    std::shared_ptr<dispatch::Queue> queue_;
    std::optional<std::uint32_t> lastFlags_;

    friend class ReachabilityWatcher;
};

} // namespace net
