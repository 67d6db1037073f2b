#include "platform/net/HTTPCookieStorage.h"

#include <curl/curl.h>

#include <array>
#include <mutex>
#include <sstream>

namespace net {

// libcurl's cookie engine lives in a share handle; its lock callbacks make it safe for the
// session's network threads and for readers on other threads at once.
struct HTTPCookieStorage::Impl {
    CURLSH* share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        static_cast<Impl*>(user)->locks[static_cast<std::size_t>(data)].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* user) {
        static_cast<Impl*>(user)->locks[static_cast<std::size_t>(data)].unlock();
    }

    // A short-lived handle on the share, for reading or feeding the cookie engine.
    CURL* handle() const {
        CURL* easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_SHARE, share);
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        return easy;
    }
};

HTTPCookieStorage::HTTPCookieStorage() : impl_(std::make_unique<Impl>()) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    impl_->share = curl_share_init();
    curl_share_setopt(impl_->share, CURLSHOPT_LOCKFUNC, &Impl::lock);
    curl_share_setopt(impl_->share, CURLSHOPT_UNLOCKFUNC, &Impl::unlock);
    curl_share_setopt(impl_->share, CURLSHOPT_USERDATA, impl_.get());
    curl_share_setopt(impl_->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

HTTPCookieStorage::~HTTPCookieStorage() { curl_share_cleanup(impl_->share); }

std::shared_ptr<HTTPCookieStorage> HTTPCookieStorage::create() {
    return std::shared_ptr<HTTPCookieStorage>(new HTTPCookieStorage);
}

std::shared_ptr<HTTPCookieStorage> HTTPCookieStorage::shared() {
    static auto* storage = new std::shared_ptr<HTTPCookieStorage>(create());
    return *storage;
}

void* HTTPCookieStorage::shareHandle() const { return impl_->share; }

std::vector<HTTPCookie> HTTPCookieStorage::allCookies() const {
    std::vector<HTTPCookie> out;
    CURL* easy = impl_->handle();
    curl_slist* list = nullptr;
    curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &list);
    for (curl_slist* item = list; item; item = item->next) {
        // Netscape format: domain, subdomains flag, path, secure, expiry, name, value.
        std::string line = item->data;
        const std::string httpOnly = "#HttpOnly_";
        if (line.rfind(httpOnly, 0) == 0) line.erase(0, httpOnly.size());
        std::vector<std::string> fields;
        std::stringstream in(line);
        for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
        if (fields.size() < 7) continue;
        out.push_back(HTTPCookie{fields[5], fields[6], fields[0], fields[2], fields[3] == "TRUE"});
    }
    curl_slist_free_all(list);
    curl_easy_cleanup(easy);
    return out;
}

std::vector<HTTPCookie> HTTPCookieStorage::cookies(const URL& url) const {
    std::vector<HTTPCookie> out;
    if (!url.host()) return out;
    const std::string host = *url.host();
    std::string path = url.percentEncodedPath().empty() ? "/" : url.percentEncodedPath();
    bool https = url.scheme() && *url.scheme() == "https";
    for (auto& cookie : allCookies()) {
        std::string domain = cookie.domain;
        bool subdomains = !domain.empty() && domain[0] == '.';
        if (subdomains) domain.erase(0, 1);
        bool domainMatches = host == domain ||
                             (subdomains && host.size() > domain.size() &&
                              host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
                              host[host.size() - domain.size() - 1] == '.');
        bool pathMatches = path.rfind(cookie.path, 0) == 0;
        if (domainMatches && pathMatches && (!cookie.secure || https)) out.push_back(std::move(cookie));
    }
    return out;
}

void HTTPCookieStorage::setCookie(const HTTPCookie& cookie) {
    CURL* easy = impl_->handle();
    std::string line = "Set-Cookie: " + cookie.name + "=" + cookie.value + "; domain=" + cookie.domain +
                       "; path=" + (cookie.path.empty() ? "/" : cookie.path) + (cookie.secure ? "; secure" : "");
    curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());
    curl_easy_cleanup(easy);
}

} // namespace net
