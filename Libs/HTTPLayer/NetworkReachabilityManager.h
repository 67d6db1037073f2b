#pragma once
// Whether a host, or the network at all, can be reached and through which kind of interface, with
// a listener called on a chosen queue whenever the reachability flags change.
//
// The platform's callback holds the manager weakly, so a report that arrives after the manager is
// gone does nothing; the listener and the last flags are guarded by a lock of their own.

#include "platform/dispatch/Queue.h"
#include "platform/net/NetworkReachability.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace http {

class NetworkReachabilityManager : public std::enable_shared_from_this<NetworkReachabilityManager> {
public:
    enum class ConnectionType { ethernetOrWiFi, wwan };

    struct NetworkReachabilityStatus {
        enum class Kind { unknown, notReachable, reachable };
        Kind kind = Kind::unknown;
        ConnectionType connectionType = ConnectionType::ethernetOrWiFi; // for reachable only

        static NetworkReachabilityStatus unknown() { return {Kind::unknown}; }
        static NetworkReachabilityStatus notReachable() { return {Kind::notReachable}; }
        static NetworkReachabilityStatus reachable(ConnectionType type) { return {Kind::reachable, type}; }
        bool operator==(const NetworkReachabilityStatus& other) const {
            return kind == other.kind && (kind != Kind::reachable || connectionType == other.connectionType);
        }
    };
    using Listener = std::function<void(NetworkReachabilityStatus)>;

    // For a host name, or for the network at all (the zero address); nothing when the platform
    // makes no reachability reference.
    static std::shared_ptr<NetworkReachabilityManager> create(const std::string& host);
    static std::shared_ptr<NetworkReachabilityManager> create();
    // Stops monitoring first.
    virtual ~NetworkReachabilityManager();

    virtual bool reachableNow() const;
    virtual bool reachableViaWWAN() const;
    virtual bool reachableViaEthernetOrWiFi() const;
    virtual NetworkReachabilityStatus currentStatus() const;

    virtual std::shared_ptr<dispatch::Queue> listenerQueue() const;
    virtual void setListenerQueue(std::shared_ptr<dispatch::Queue> queue);
    virtual Listener listener() const;
    virtual void setListener(Listener listener);
    virtual std::optional<std::uint32_t> currentFlags() const;
    virtual std::uint32_t previousFlags() const;
    virtual void setPreviousFlags(std::uint32_t flags);

    // Reports on the listener queue: the current status at once (unless the flags are 0), then
    // every change of the flags. True when the platform took both the callback and the queue.
    virtual bool beginMonitoring();
    virtual void endMonitoring();

    explicit NetworkReachabilityManager(std::shared_ptr<net::NetworkReachability> reachability);

private:
    static NetworkReachabilityStatus status(std::uint32_t flags);
    void reportFlags(std::uint32_t flags);

    mutable std::mutex lock_; // guards the queue, the listener and the previous flags
    std::shared_ptr<dispatch::Queue> listenerQueue_ = dispatch::Queue::main();
    Listener listener_;
    const std::shared_ptr<net::NetworkReachability> reachability_;
    std::uint32_t previousFlags_ = 0;
};

} // namespace http
