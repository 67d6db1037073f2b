#pragma once
// A network service advertised on the local network by DNS service discovery: a domain (""
// for the default, "local."), a type ("_echo._tcp.") and an instance name.
//
// A stream task to a service first asks the process's resolver for the service's host and port,
// off the session's network thread. The default resolver asks the system's mDNS daemon (Avahi)
// over D-Bus when this build has GIO; a machine without it resolves nothing, and the task ends
// with "cannot find host" (-1003). Tests, or a program with another discovery mechanism, put a
// resolver of their own in its place.

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace net {

class NetService {
public:
    NetService(std::string domain, std::string type, std::string name)
        : domain_(std::move(domain)), type_(std::move(type)), name_(std::move(name)) {}

    const std::string& domain() const { return domain_; }
    const std::string& type() const { return type_; }
    const std::string& name() const { return name_; }

private:
    std::string domain_;
    std::string type_;
    std::string name_;
};

// Where a service can be reached.
struct NetServiceAddress {
    std::string host; // a host name or a numeric address
    int port = 0;
};

class NetServiceResolver {
public:
    virtual ~NetServiceResolver() = default;
    // Called on a worker thread, may block; nothing when the service cannot be found.
    virtual std::optional<NetServiceAddress> resolve(const NetService& service) = 0;

    // The resolver every stream task uses. Setting nothing restores the system's one.
    static std::shared_ptr<NetServiceResolver> current();
    static void setCurrent(std::shared_ptr<NetServiceResolver> resolver);
    // The system's resolver (Avahi over D-Bus where available, else one that finds nothing).
    static std::shared_ptr<NetServiceResolver> system();
};

} // namespace net
