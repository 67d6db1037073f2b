#pragma once
// Cookies a session received, sent back on later requests to matching URLs. The cookie engine is
// libcurl's, shared by the session's transfers; this class lets the app read what it holds.
// Safe to use from any thread.

#include "platform/net/URL.h"

#include <memory>
#include <string>
#include <vector>

namespace net {

struct HTTPCookie {
    std::string name;
    std::string value;
    std::string domain;
    std::string path;
    bool secure = false;
};

class HTTPCookieStorage {
public:
    static std::shared_ptr<HTTPCookieStorage> shared();
    static std::shared_ptr<HTTPCookieStorage> create();
    ~HTTPCookieStorage();

    // The cookies that a request to the URL would carry.
    std::vector<HTTPCookie> cookies(const URL& url) const;
    std::vector<HTTPCookie> allCookies() const;
    // Stores a cookie as if a response had set it.
    void setCookie(const HTTPCookie& cookie);

    // The libcurl share handle the session's transfers use (void* keeps libcurl out of this header).
    void* shareHandle() const;

    struct Impl;

private:
    HTTPCookieStorage();
    std::unique_ptr<Impl> impl_;
};

} // namespace net
