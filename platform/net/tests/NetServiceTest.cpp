// The system resolver against a stand-in mDNS daemon on a private message bus.
#include "platform/net/NetService.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/testing/EchoServer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef QUILLORA_HAVE_GIO
#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <mutex>
#include <thread>

namespace {

constexpr const char* kAvahiInterface = R"(<node>
  <interface name='org.freedesktop.Avahi.Server'>
    <method name='ResolveService'>
      <arg type='i' direction='in'/><arg type='i' direction='in'/><arg type='s' direction='in'/>
      <arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='i' direction='in'/>
      <arg type='u' direction='in'/>
      <arg type='i' direction='out'/><arg type='i' direction='out'/><arg type='s' direction='out'/>
      <arg type='s' direction='out'/><arg type='s' direction='out'/><arg type='s' direction='out'/>
      <arg type='i' direction='out'/><arg type='s' direction='out'/><arg type='q' direction='out'/>
      <arg type='aay' direction='out'/><arg type='u' direction='out'/>
    </method>
  </interface>
</node>)";

// A message bus daemon of the test's own (spawned, never forked from the test), stopped when
// this goes. No daemon program: an empty address.
class PrivateBus {
public:
    PrivateBus() {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3); // the copy stays open in the daemon
        const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3", nullptr};
        if (posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        char c;
        while (pid_ > 0 && ::read(pipeFds[0], &c, 1) == 1 && c != '\n') address_ += c;
        ::close(pipeFds[0]);
    }
    ~PrivateBus() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    const std::string& address() const { return address_; }

private:
    pid_t pid_ = -1;
    std::string address_;
};

// A private bus given out as the system bus, with a daemon on it that knows one service, "echo"
// of type "_echo._tcp." in "local", at 127.0.0.1 and the given port. It answers on a thread of
// its own and records the domains it was asked about.
class FakeAvahi {
public:
    explicit FakeAvahi(int port) : port_(port) {
        if (bus_.address().empty()) return;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.address().c_str(), 1);
        std::promise<void> ready;
        thread_ = std::thread([this, &ready] { serve(ready); });
        ready.get_future().wait();
    }
    ~FakeAvahi() {
        if (!thread_.joinable()) return;
        g_main_loop_quit(loop_);
        thread_.join();
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    bool running() const { return thread_.joinable(); }
    std::vector<std::string> domainsAsked() {
        std::lock_guard lock(mutex_);
        return domains_;
    }

private:
    void serve(std::promise<void>& ready) {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        loop_ = g_main_loop_new(context, FALSE);
        GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
            bus_.address().c_str(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kAvahiInterface, nullptr);
        static const GDBusInterfaceVTable vtable = {&FakeAvahi::call, nullptr, nullptr, {}};
        g_dbus_connection_register_object(connection, "/", node->interfaces[0], &vtable, this, nullptr, nullptr);
        GVariant* owned = g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "RequestName",
                                                      g_variant_new("(su)", "org.freedesktop.Avahi", 0u), nullptr,
                                                      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (owned) g_variant_unref(owned);
        ready.set_value();
        g_main_loop_run(loop_);
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
        g_dbus_node_info_unref(node);
        g_main_loop_unref(loop_);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }

    static void call(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                     GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<FakeAvahi*>(data);
        const gchar *name = nullptr, *type = nullptr, *domain = nullptr;
        g_variant_get(parameters, "(ii&s&s&siu)", nullptr, nullptr, &name, &type, &domain, nullptr, nullptr);
        {
            std::lock_guard lock(self->mutex_);
            self->domains_.emplace_back(domain);
        }
        if (std::string(name) != "echo" || std::string(type) != "_echo._tcp." || std::string(domain) != "local") {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.Avahi.TimeoutError", "Timeout reached");
            return;
        }
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(iissssisq@aayu)", 2, 0, name, type, domain, "echo-host.local", 0, "127.0.0.1",
                                      guint16(self->port_), g_variant_new_array(G_VARIANT_TYPE("ay"), nullptr, 0), 0u));
    }

    int port_;
    PrivateBus bus_;
    GMainLoop* loop_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> domains_;
};

} // namespace

TEST(SystemNetServiceResolverTest, AsksTheMDNSDaemonOnTheSystemBus) {
    net::testkit::EchoServer echo;
    FakeAvahi avahi(echo.port());
    if (!avahi.running()) GTEST_SKIP() << "no dbus-daemon to run a stand-in mDNS daemon on";
    auto resolver = net::NetServiceResolver::system();

    auto found = resolver->resolve(net::NetService("", "_echo._tcp.", "echo"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->host, "127.0.0.1");
    EXPECT_EQ(found->port, echo.port());
    EXPECT_FALSE(resolver->resolve(net::NetService("local", "_echo._tcp.", "nobody")));
    EXPECT_EQ(avahi.domainsAsked(), (std::vector<std::string>{"local", "local"}));

    // A stream task to the service goes through it by default.
    auto session = net::URLSession::create(net::URLSessionConfiguration::ephemeralConfiguration());
    auto task = session->streamTask(std::make_shared<net::NetService>("local", "_echo._tcp.", "echo"));
    std::promise<std::string> echoed;
    task->writeData(core::Bytes{'o', 'k'}, 0, [](const auto&) {});
    task->readData(2, 2, 0, [&](const core::Bytes& data, bool, const auto& error) {
        echoed.set_value(error ? "error" : std::string(data.begin(), data.end()));
    });
    task->resume();
    auto answer = echoed.get_future();
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(answer.get(), "ok");
    task->cancel();
    session->invalidateAndCancel();
}

#endif

TEST(SystemNetServiceResolverTest, NoBusResolvesNothing) {
    const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string saved = old ? old : "";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/quillora-test-bus", 1);
    EXPECT_FALSE(net::NetServiceResolver::system()->resolve(net::NetService("local", "_echo._tcp.", "echo")));
    if (old) ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1); else ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}
