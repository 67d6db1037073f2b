#include "platform/net/NetService.h"

#include <mutex>

#ifdef QUILLORA_HAVE_GIO
#include <gio/gio.h>
#endif

namespace net {

namespace {

#ifdef QUILLORA_HAVE_GIO
// Asks the Avahi daemon on the system bus to resolve the service (its ResolveService method,
// which looks the instance up on every interface, IPv4 or IPv6, and gives up after a few
// seconds). No bus, no daemon or no answer: nothing.
class AvahiResolver : public NetServiceResolver {
public:
    std::optional<NetServiceAddress> resolve(const NetService& service) override {
        GError* error = nullptr;
        // A connection of its own, not the process's shared one, which would end the whole
        // program if the bus went away.
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
        GDBusConnection* bus = address ? g_dbus_connection_new_for_address_sync(
                                             address,
                                             GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                  G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                             nullptr, nullptr, &error)
                                       : nullptr;
        g_free(address);
        if (!bus) {
            g_clear_error(&error);
            return std::nullopt;
        }
        constexpr gint32 anyInterface = -1, anyProtocol = -1;
        // An empty domain means the default one, as in a browse result.
        const std::string domain = service.domain().empty() ? "local" : service.domain();
        GVariant* reply = g_dbus_connection_call_sync(
            bus, "org.freedesktop.Avahi", "/", "org.freedesktop.Avahi.Server", "ResolveService",
            g_variant_new("(iisssiu)", anyInterface, anyProtocol, service.name().c_str(), service.type().c_str(),
                          domain.c_str(), anyProtocol, 0u),
            G_VARIANT_TYPE("(iissssisqaayu)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        if (!reply) {
            g_clear_error(&error);
            return std::nullopt;
        }
        // interface, protocol, name, type, domain, host name, address protocol, address, port, TXT, flags
        const gchar* found = nullptr;
        guint16 port = 0;
        g_variant_get(reply, "(iissssi&sq@aayu)", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &found,
                      &port, nullptr, nullptr);
        std::optional<NetServiceAddress> result;
        if (found && *found) result = NetServiceAddress{found, port};
        g_variant_unref(reply);
        return result;
    }
};
#endif

class NoResolver : public NetServiceResolver {
public:
    std::optional<NetServiceAddress> resolve(const NetService&) override { return std::nullopt; }
};

std::mutex& resolverMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<NetServiceResolver>& installedResolver() {
    static std::shared_ptr<NetServiceResolver> resolver;
    return resolver;
}

} // namespace

std::shared_ptr<NetServiceResolver> NetServiceResolver::system() {
#ifdef QUILLORA_HAVE_GIO
    static const auto resolver = std::make_shared<AvahiResolver>();
#else
    static const auto resolver = std::make_shared<NoResolver>();
#endif
    return resolver;
}

std::shared_ptr<NetServiceResolver> NetServiceResolver::current() {
    std::lock_guard lock(resolverMutex());
    return installedResolver() ? installedResolver() : system();
}

void NetServiceResolver::setCurrent(std::shared_ptr<NetServiceResolver> resolver) {
    std::lock_guard lock(resolverMutex());
    installedResolver() = std::move(resolver);
}

} // namespace net
