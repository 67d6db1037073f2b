#include "platform/net/testing/EchoServer.h"

#include "platform/net/testing/LoopbackServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace net::testkit {

EchoServer::EchoServer() {
    listenFd_ = LoopbackServer::bindLoopback(port_);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

EchoServer::~EchoServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : clientFds_) ::shutdown(fd, SHUT_RDWR);
    }
    ::shutdown(listenFd_, SHUT_RDWR);
    ::close(listenFd_);
    acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        threads.swap(clientThreads_);
    }
    for (auto& t : threads) t.join();
}

void EchoServer::acceptLoop() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;
        }
        int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        ++connections_;
        clientFds_.push_back(fd);
        clientThreads_.emplace_back([this, fd] { serve(fd); });
    }
}

void EchoServer::serve(int fd) {
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // the client's end (or a reset)
        for (ssize_t sent = 0; sent < n;) {
            const ssize_t m = ::send(fd, buffer + sent, std::size_t(n - sent), MSG_NOSIGNAL);
            if (m < 0 && errno == EINTR) continue;
            if (m <= 0) {
                sent = n;
                break;
            }
            sent += m;
            echoed_ += std::size_t(m);
        }
    }
    ::shutdown(fd, SHUT_WR);
    // Closed by the thread that accepted it only once it is forgotten, so a descriptor number
    // is never shut down after being reused.
    std::lock_guard lock(mutex_);
    for (auto& known : clientFds_) {
        if (known == fd) known = -1;
    }
    ::close(fd);
}

} // namespace net::testkit
