#include "platform/net/testing/LoopbackServer.h"

#include "platform/core/Ascii.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

namespace net::testkit {

namespace {

std::string gzipped(const std::string& in) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, in.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bool sendAll(int fd, SSL* ssl, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ssl ? SSL_write(ssl, data.data(), static_cast<int>(data.size()))
                        : ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

void Reply::addShortFields(int count, std::size_t valueSize) {
    for (int i = 0; i < count; ++i) {
        std::string name;
        for (int n = i; name.empty() || n > 0; n /= 36) name.insert(name.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
        headers.emplace_back(std::move(name), std::string(valueSize, 'v'));
    }
}

Reply Reply::text(int status, std::string body, std::string contentType) {
    Reply r;
    r.status = status;
    r.reason = status == 200 ? "OK" : "Status";
    r.headers.emplace_back("Content-Type", std::move(contentType));
    r.body = std::move(body);
    return r;
}

LoopbackServer::LoopbackServer(Handler handler, const TlsIdentity& tls) : handler_(std::move(handler)) {
    tls_ = SSL_CTX_new(TLS_server_method());
    BIO* bio = BIO_new_mem_buf(tls.certificatePEM.data(), static_cast<int>(tls.certificatePEM.size()));
    X509* leaf = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    bool ok = leaf && SSL_CTX_use_certificate(tls_, leaf) == 1;
    X509_free(leaf);
    while (X509* more = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        if (SSL_CTX_add_extra_chain_cert(tls_, more) != 1) X509_free(more); // the context takes it
    }
    ERR_clear_error(); // the end of the PEM text
    BIO_free(bio);
    bio = BIO_new_mem_buf(tls.keyPEM.data(), static_cast<int>(tls.keyPEM.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    ok = ok && key && SSL_CTX_use_PrivateKey(tls_, key) == 1;
    EVP_PKEY_free(key);
    BIO_free(bio);
    if (!ok) throw std::runtime_error("loopback server: bad TLS identity");
    listen();
}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) { listen(); }

int LoopbackServer::bindLoopback(int& port, bool listen) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    if (listen) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listen && ::listen(fd, 64) != 0)) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot bind a loopback port");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

void LoopbackServer::listen() {
    listenFd_ = bindLoopback(port_);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : clientFds_) ::shutdown(fd, SHUT_RDWR);
    }
    released_.notify_all();
    ::shutdown(listenFd_, SHUT_RDWR);
    ::close(listenFd_);
    acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        threads.swap(clientThreads_);
    }
    for (auto& t : threads) t.join();
    SSL_CTX_free(tls_);
}

std::string LoopbackServer::url(const std::string& path) const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t LoopbackServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void LoopbackServer::releaseStalls() {
    {
        std::lock_guard lock(mutex_);
        releaseAll_ = true;
    }
    released_.notify_all();
}

int LoopbackServer::refusedPort() {
    int port = 0;
    ::close(bindLoopback(port, /*listen=*/false)); // bound but never listening: the port refuses connections
    return port;
}

void LoopbackServer::acceptLoop() {
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
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

bool LoopbackServer::waitForRelease() {
    std::unique_lock lock(mutex_);
    released_.wait(lock, [this] { return releaseAll_ || stopping_; });
    return !stopping_;
}

void LoopbackServer::serve(int fd) {
    std::string buffer;
    char chunk[16384];
    SSL* ssl = nullptr;
    if (tls_) {
        // OpenSSL writes with write(): a client gone would raise SIGPIPE, here left pending on
        // this thread instead of ending the test.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        ssl = SSL_new(tls_);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) goto done;
    }
    {
    auto send = [fd, ssl](std::string_view data) { return sendAll(fd, ssl, data); };
    auto readMore = [&]() {
        ssize_t n = ssl ? SSL_read(ssl, chunk, sizeof chunk) : ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
        return true;
    };
    for (;;) {
        std::size_t headEnd;
        while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!readMore()) goto done;
        }
        {
            RecordedRequest request;
            std::string head = buffer.substr(0, headEnd);
            std::size_t lineEnd = head.find("\r\n");
            std::string requestLine = head.substr(0, lineEnd);
            auto s1 = requestLine.find(' ');
            auto s2 = requestLine.rfind(' ');
            request.method = requestLine.substr(0, s1);
            request.target = requestLine.substr(s1 + 1, s2 - s1 - 1);
            request.httpVersion = requestLine.substr(s2 + 1);
            std::size_t length = 0;
            bool chunked = false;
            for (std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2; pos < head.size();) {
                std::size_t end = head.find("\r\n", pos);
                if (end == std::string::npos) end = head.size();
                std::string line = head.substr(pos, end - pos);
                auto colon = line.find(':');
                if (colon != std::string::npos) {
                    std::string name = line.substr(0, colon);
                    std::string value = line.substr(colon + 1);
                    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
                    request.headers.add(name, value);
                    if (core::ascii::equalsIgnoringCase(name, "content-length")) length = std::stoul(value);
                    if (core::ascii::equalsIgnoringCase(name, "transfer-encoding")) chunked = value.find("chunked") != std::string::npos;
                }
                pos = end + 2;
            }
            if (chunked) {
                // Chunks of hexadecimal size, each followed by CRLF, up to the empty one (no trailers).
                std::size_t pos = headEnd + 4;
                for (;;) {
                    std::size_t sizeEnd;
                    while ((sizeEnd = buffer.find("\r\n", pos)) == std::string::npos) {
                        if (!readMore()) goto done;
                    }
                    std::size_t size = std::stoul(buffer.substr(pos, sizeEnd - pos), nullptr, 16);
                    pos = sizeEnd + 2;
                    while (buffer.size() < pos + size + 2) {
                        if (!readMore()) goto done;
                    }
                    request.body += buffer.substr(pos, size);
                    pos += size + 2;
                    if (size == 0) break;
                }
                length = pos - headEnd - 4;
            } else {
                while (buffer.size() < headEnd + 4 + length) {
                    if (!readMore()) goto done;
                }
                request.body = buffer.substr(headEnd + 4, length);
            }
            request.raw = buffer.substr(0, headEnd + 4 + length);
            buffer.erase(0, headEnd + 4 + length);
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }

            Reply reply = handler_(request);
            if (reply.mode == Reply::Mode::closeWithoutReply) goto done;
            if (reply.mode == Reply::Mode::stallBeforeHead && !waitForRelease()) goto done;
            std::string body = reply.gzip ? gzipped(reply.body) : reply.body;
            std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
            bool hasLength = false;
            for (const auto& [name, value] : reply.headers) {
                out += name + ": " + value + "\r\n";
                hasLength |= core::ascii::equalsIgnoringCase(name, "content-length");
            }
            if (reply.gzip) out += "Content-Encoding: gzip\r\n";
            if (!hasLength) out += "Content-Length: " + std::to_string(body.size() * reply.repeat) + "\r\n";
            if (!reply.keepAlive) out += "Connection: close\r\n";
            out += "\r\n";
            if (!send(out)) goto done;
            if (reply.mode == Reply::Mode::stallAfterHead && !waitForRelease()) goto done;
            if (reply.mode == Reply::Mode::stallMidBody) {
                if (!send(std::string_view(body).substr(0, body.size() / 2)) || !waitForRelease()) goto done;
                body.erase(0, body.size() / 2);
            }
            if (reply.mode == Reply::Mode::trickle) {
                for (std::size_t at = 0; at < body.size(); ++at) {
                    if (!send(std::string_view(body).substr(at, 1))) goto done;
                    std::unique_lock lock(mutex_);
                    if (released_.wait_for(lock, std::chrono::milliseconds(reply.trickleIntervalMs),
                                           [&] { return releaseAll_ || stopping_; }))
                        goto done;
                }
                if (!reply.keepAlive) goto done;
                continue;
            }
            if (reply.mode == Reply::Mode::truncateBody) {
                send(std::string_view(body).substr(0, body.size() / 2));
                goto done;
            }
            for (std::size_t i = 0; i < reply.repeat && request.method != "HEAD"; ++i) {
                if (!send(body)) goto done;
            }
            if (!reply.keepAlive) goto done;
        }
    }
    }
done:
    if (ssl) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    ERR_clear_error();
    std::lock_guard lock(mutex_);
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    std::erase(clientFds_, fd);
}

} // namespace net::testkit
