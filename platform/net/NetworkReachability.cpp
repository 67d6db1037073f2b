#include "platform/net/NetworkReachability.h"

#include <cerrno>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace net {

namespace {

// The rtnetlink macros are C and cast in C's way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wcast-align"

// The routing state, read with one rtnetlink dump per question.
class RoutingState {
public:
    // Interfaces that are up, running and not loopback.
    static std::set<int> usableInterfaces() {
        std::set<int> out;
        dump(RTM_GETLINK, [&](const nlmsghdr* h) {
            if (h->nlmsg_type != RTM_NEWLINK) return;
            auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(h));
            unsigned flags = info->ifi_flags;
            if ((flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK)) out.insert(info->ifi_index);
        });
        return out;
    }

    // Whether a default route (IPv4 or IPv6) goes out through one of the interfaces.
    static bool hasDefaultRouteThrough(const std::set<int>& interfaces) {
        bool found = false;
        dump(RTM_GETROUTE, [&](const nlmsghdr* h) {
            if (h->nlmsg_type != RTM_NEWROUTE) return;
            auto* route = static_cast<const rtmsg*>(NLMSG_DATA(h));
            if (route->rtm_dst_len != 0 || route->rtm_table != RT_TABLE_MAIN || route->rtm_type != RTN_UNICAST) return;
            int length = static_cast<int>(RTM_PAYLOAD(h));
            for (auto* a = RTM_RTA(route); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
                if (a->rta_type == RTA_OIF && interfaces.count(*static_cast<int*>(RTA_DATA(a)))) found = true;
            }
        });
        return found;
    }

private:
    template <class Visit>
    static void dump(int type, Visit visit) {
        int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd < 0) return;
        struct {
            nlmsghdr header;
            rtgenmsg message;
        } request{};
        request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtgenmsg));
        request.header.nlmsg_type = static_cast<unsigned short>(type);
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        request.header.nlmsg_seq = 1;
        request.message.rtgen_family = AF_UNSPEC;
        if (::send(fd, &request, request.header.nlmsg_len, 0) < 0) {
            ::close(fd);
            return;
        }
        std::vector<char> buffer(1 << 16);
        for (bool done = false; !done;) {
            ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0) break;
            int left = static_cast<int>(n);
            for (auto* h = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(h, static_cast<unsigned>(left)); h = NLMSG_NEXT(h, left)) {
                if (h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR) {
                    done = true;
                    break;
                }
                visit(h);
            }
        }
        ::close(fd);
    }
};

#pragma GCC diagnostic pop

std::uint32_t systemFlags(NetworkReachability::TargetKind kind, const std::string&) {
    using K = NetworkReachability::TargetKind;
    if (kind == K::loopback) return kReachabilityReachable | kReachabilityIsLocalAddress | kReachabilityIsDirect;
    auto interfaces = RoutingState::usableInterfaces();
    if (kind == K::localLink) return interfaces.empty() ? 0u : static_cast<std::uint32_t>(kReachabilityReachable | kReachabilityIsDirect);
    return RoutingState::hasDefaultRouteThrough(interfaces) ? static_cast<std::uint32_t>(kReachabilityReachable) : 0u;
}

} // namespace

// One thread watches rtnetlink for every reference that is scheduled on a queue.
class ReachabilityWatcher {
public:
    static ReachabilityWatcher& shared() {
        static auto* watcher = new ReachabilityWatcher; // lives with the process
        return *watcher;
    }

    void add(const std::shared_ptr<NetworkReachability>& r) {
        std::lock_guard lock(mutex_);
        watched_.push_back(r);
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    void remove(const NetworkReachability* r) {
        std::lock_guard lock(mutex_);
        std::erase_if(watched_, [r](const std::weak_ptr<NetworkReachability>& w) {
            auto s = w.lock();
            return !s || s.get() == r;
        });
    }
    void recheckAll() {
        std::vector<std::shared_ptr<NetworkReachability>> all;
        {
            std::lock_guard lock(mutex_);
            for (auto& w : watched_) {
                if (auto s = w.lock()) all.push_back(s);
            }
        }
        for (auto& r : all) r->recheck();
    }

    std::mutex sourceMutex;
    NetworkReachability::FlagSource source;

private:
    void run() {
        int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd < 0) return;
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return;
        }
        std::vector<char> buffer(1 << 16);
        for (;;) {
            ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n < 0 && errno == EINTR) continue;
            // ENOBUFS: events were dropped, so read the flags again; any other error would come
            // back at once for ever, so watching ends.
            if (n < 0 && errno != ENOBUFS) return;
            recheckAll();
        }
    }

    std::mutex mutex_;
    std::vector<std::weak_ptr<NetworkReachability>> watched_;
    std::thread thread_;
};

NetworkReachability::NetworkReachability(TargetKind kind, std::string target) : kind_(kind), target_(std::move(target)) {}

NetworkReachability::~NetworkReachability() { ReachabilityWatcher::shared().remove(this); }

std::shared_ptr<NetworkReachability> NetworkReachability::withHostName(const std::string& host) {
    if (host.empty()) return nullptr; // no name, no target
    TargetKind kind = (host == "localhost" || host == "127.0.0.1" || host == "::1") ? TargetKind::loopback : TargetKind::hostName;
    return std::shared_ptr<NetworkReachability>(new NetworkReachability(kind, host));
}

std::shared_ptr<NetworkReachability> NetworkReachability::withAddress(const sockaddr* address) {
    if (!address) return nullptr;
    char text[INET6_ADDRSTRLEN] = {};
    TargetKind kind;
    if (address->sa_family == AF_INET) {
        auto* in = reinterpret_cast<const sockaddr_in*>(address);
        std::uint32_t a = ntohl(in->sin_addr.s_addr);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        if (a == 0) kind = TargetKind::internet;
        else if ((a >> 16) == 0xA9FE) kind = TargetKind::localLink;
        else if ((a >> 24) == 127) kind = TargetKind::loopback;
        else kind = TargetKind::address;
    } else if (address->sa_family == AF_INET6) {
        auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        if (IN6_IS_ADDR_UNSPECIFIED(&in6->sin6_addr)) kind = TargetKind::internet;
        else if (IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr)) kind = TargetKind::loopback;
        else if (IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr)) kind = TargetKind::localLink;
        else kind = TargetKind::address;
    } else {
        return nullptr;
    }
    return std::shared_ptr<NetworkReachability>(new NetworkReachability(kind, text));
}

std::optional<std::uint32_t> NetworkReachability::flags() const {
    auto& watcher = ReachabilityWatcher::shared();
    FlagSource source;
    {
        std::lock_guard lock(watcher.sourceMutex);
        source = watcher.source;
    }
    return source ? source(kind_, target_) : systemFlags(kind_, target_);
}

bool NetworkReachability::setCallback(Callback callback) {
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
    return true;
}

bool NetworkReachability::setDispatchQueue(std::shared_ptr<dispatch::Queue> queue) {
    bool start;
    {
        std::lock_guard lock(mutex_);
        start = queue && !queue_;
        queue_ = std::move(queue);
        if (!queue_) lastFlags_.reset();
    }
    if (start) {
        // The flags at the start are the baseline; only later changes are reported.
        auto initial = flags();
        {
            std::lock_guard lock(mutex_);
            lastFlags_ = initial;
        }
        ReachabilityWatcher::shared().add(shared_from_this());
    } else {
        std::lock_guard lock(mutex_);
        if (!queue_) ReachabilityWatcher::shared().remove(this);
    }
    return true;
}

void NetworkReachability::recheck() {
    auto now = flags();
    Callback callback;
    std::shared_ptr<dispatch::Queue> queue;
    {
        std::lock_guard lock(mutex_);
        if (!queue_ || now == lastFlags_) return;
        lastFlags_ = now;
        callback = callback_;
        queue = queue_;
    }
    if (callback && now) queue->async([callback, flags = *now] { callback(flags); });
}

void NetworkReachability::setFlagSourceForTesting(FlagSource source) {
    auto& watcher = ReachabilityWatcher::shared();
    std::lock_guard lock(watcher.sourceMutex);
    watcher.source = std::move(source);
}

void NetworkReachability::recheckAllForTesting() { ReachabilityWatcher::shared().recheckAll(); }

} // namespace net
