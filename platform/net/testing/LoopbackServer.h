#pragma once
// Test support: an HTTP/1.1 server on 127.0.0.1 with an ephemeral port, driven by a reply script.
//
// Every request is recorded with its exact bytes. The handler decides each reply: status, header
// fields and body, optionally gzip-compressed, or a misbehaviour (close without replying, cut the
// body short, stall before or after the head until the test releases it). Connections are kept
// alive unless the reply says otherwise. Each connection is served on its own thread. A chunked
// request body is recorded decoded in `body` (and as it came in `raw`).
//
// With a TLS identity the server speaks HTTPS: a connection whose handshake fails is counted
// among the connections and records no request.

#include "platform/net/HTTPHeaders.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct ssl_ctx_st;

namespace net::testkit {

struct RecordedRequest {
    std::string method;
    std::string target; // as on the request line: path and query
    std::string httpVersion;
    HTTPHeaders headers;
    std::string body;
    std::string raw; // the whole request as it arrived
};

struct Reply {
    enum class Mode {
        normal,
        closeWithoutReply,  // drop the connection instead of answering
        truncateBody,       // announce the whole body, send half of it, close
        stallBeforeHead,    // send nothing until released
        stallAfterHead,     // send the head, then nothing until released, then the body
        stallMidBody,       // send the head and half the body, then the rest once released
        trickle,            // send the head, then the body one byte per trickleInterval until released
    };

    int status = 200;
    std::string reason = "OK";
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    Mode mode = Mode::normal;
    bool gzip = false;      // compress the body and say so in Content-Encoding
    bool keepAlive = true;
    int trickleIntervalMs = 1000;
    std::size_t repeat = 1; // a normal reply sends its body this many times (large bodies, little memory)

    static Reply text(int status, std::string body, std::string contentType = "text/plain; charset=utf-8");
    static Reply json(std::string body, int status = 200) { return text(status, std::move(body), "application/json"); }
    // Adds `count` header fields named by one to three letters or digits, each with `valueSize`
    // bytes of value: 42,000 empty ones make a head of 287 KB, within libcurl's 300 KB.
    void addShortFields(int count, std::size_t valueSize = 0);
};

// A certificate chain (leaf first) and its key, both PEM.
struct TlsIdentity {
    std::string certificatePEM;
    std::string keyPEM;
};

class LoopbackServer {
public:
    using Handler = std::function<Reply(const RecordedRequest&)>;

    explicit LoopbackServer(Handler handler);
    LoopbackServer(Handler handler, const TlsIdentity& tls);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" (https with a TLS identity) followed by the path.
    std::string url(const std::string& path = "/") const;

    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;
    std::size_t connectionCount() const { return connections_; }
    // Lets every stalled reply go on.
    void releaseStalls();

    // A port on 127.0.0.1 where nothing listens (connections are refused).
    static int refusedPort();
    // A TCP socket bound to an ephemeral port of 127.0.0.1 (written to `port`), listening unless
    // `listen` is false: then connections to the port are refused for as long as the socket is
    // open, and no other program can take the port meanwhile. Throws when it cannot.
    static int bindLoopback(int& port, bool listen = true);

private:
    void listen();
    void acceptLoop();
    void serve(int fd);
    bool waitForRelease();

    Handler handler_;
    ::ssl_ctx_st* tls_ = nullptr;
    int listenFd_ = -1;
    int port_ = 0;
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool releaseAll_ = false;
    bool stopping_ = false;
    std::vector<RecordedRequest> requests_;
    std::vector<int> clientFds_;
    std::vector<std::thread> clientThreads_;
    std::atomic<std::size_t> connections_{0};
};

} // namespace net::testkit
