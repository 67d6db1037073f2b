#pragma once
// Test support: a TCP echo server on 127.0.0.1 with an ephemeral port.
//
// Each connection is served on its own thread: every byte received is sent back; when the client
// ends its side the server sends what is left and ends its own. Destroying the server drops every
// connection.

#include <atomic>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace net::testkit {

class EchoServer {
public:
    EchoServer();
    ~EchoServer();
    EchoServer(const EchoServer&) = delete;
    EchoServer& operator=(const EchoServer&) = delete;

    int port() const { return port_; }
    std::size_t connectionCount() const { return connections_; }
    // Bytes echoed so far, over all connections.
    std::size_t bytesEchoed() const { return echoed_; }

private:
    void acceptLoop();
    void serve(int fd);

    int listenFd_ = -1;
    int port_ = 0;
    std::thread acceptThread_;
    std::mutex mutex_;
    bool stopping_ = false;
    std::vector<int> clientFds_;
    std::vector<std::thread> clientThreads_;
    std::atomic<std::size_t> connections_{0};
    std::atomic<std::size_t> echoed_{0};
};

} // namespace net::testkit
