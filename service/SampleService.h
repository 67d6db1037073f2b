#pragma once
// SampleService: the web service and server switch the app talks to, served over HTTP on one
// address. It answers the tag list, the paged answer list with search, the server switch and the
// about page, and refuses POSTs whose headers, timestamp or signature are wrong the way the real
// service does: HTTP 200 with status 0 and a message for the user.

#include "platform/core/Error.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#ifndef QUILLORA_SERVICE_DEFAULT_PORT
#error "QUILLORA_SERVICE_DEFAULT_PORT must be defined by the build"
#endif

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace service {

class ContentStore;

struct ServiceOptions {
    std::string host = "127.0.0.1";
    int port = QUILLORA_SERVICE_DEFAULT_PORT; // 0 picks a free port
    std::string database;                     // a file path, or ":memory:"
    std::string jqueryFile = "/usr/share/javascript/jquery/jquery.min.js";
};

class SampleService {
public:
    static constexpr const char* kTagListPath = "/index.php/AppApi/Index/index_tag_list";
    static constexpr const char* kContentListPath = "/index.php/AppApi/Index/index_content_list";
    static constexpr const char* kSwitchPath = "/index.php/Index/Index/index";
    static constexpr const char* kAboutPath = "/index.php/AppApi/Index/about";
    static constexpr const char* kJqueryPath = "/static/jquery.min.js";
    static constexpr const char* kIconPath = "/static/quillora.svg";

    // The server switch signs with its own salt; every other request uses the signer's default.
    static constexpr const char* kSwitchSalt = "MoVeOn*FiLeS3917";
    // The one short name the switch knows.
    static constexpr const char* kAppShortName = "nx_quillora_release";
    static constexpr int kPageSize = 10;

    // Opens the database (seeding a new one) and binds the listening socket, so the port is known
    // and connections queue from here on; they are answered once run() or start() is called.
    static core::Expected<std::unique_ptr<SampleService>> create(ServiceOptions options);

    ~SampleService(); // stops and waits for start()'s thread
    SampleService(const SampleService&) = delete;
    SampleService& operator=(const SampleService&) = delete;

    int port() const { return port_; }

    // Answers requests on the calling thread until stop(); false when serving failed.
    bool run();
    // Answers requests on a thread of its own until stop() or destruction.
    void start();
    // Safe from any thread, also before the service started answering.
    void stop();

private:
    SampleService(ServiceOptions options, std::unique_ptr<ContentStore> store);

    void configureServer();
    void answerPost(const httplib::Request& request, httplib::Response& response) const;
    void answerGet(const httplib::Request& request, httplib::Response& response) const;
    std::string origin(const httplib::Request& request) const;

    ServiceOptions options_;
    std::unique_ptr<ContentStore> store_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> serving_{false};
    std::thread thread_;
};

} // namespace service
