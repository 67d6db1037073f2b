#include "platform/net/URL.h"

#include "platform/core/Ascii.h"

#include <climits>
#include <unistd.h>

namespace net {

namespace {

constexpr std::string_view kUnreserved =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
// Characters a path may hold unescaped: unreserved, sub-delimiters, ":", "@" and "/".
constexpr std::string_view kPathExtras = "!$&'()*+,;=:@/";

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// Characters that can never appear in a URL reference as written.
bool isForbidden(unsigned char c) {
    if (c <= 0x20 || c >= 0x7f) return true;
    switch (c) {
    case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
        return true;
    default:
        return false;
    }
}

bool isSchemeChar(char c) { return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.'; }

std::string allowedPathCharacters() { return std::string(kUnreserved) + std::string(kPathExtras); }

// The authority as written ("user@host:80"), for a URL that has one.
std::string authorityText(const URL& url) {
    const std::string& text = url.absoluteString();
    std::size_t start = url.scheme() ? url.scheme()->size() + 1 : 0;
    start += 2; // "//"
    std::size_t end = text.find_first_of("/?#", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string compose(const std::optional<std::string>& scheme, const std::optional<std::string>& authority,
                    std::string_view path, const std::optional<std::string>& query,
                    const std::optional<std::string>& fragment) {
    std::string text;
    if (scheme) text += *scheme + ":";
    if (authority) text += "//" + *authority;
    text += path;
    if (query) text += "?" + *query;
    if (fragment) text += "#" + *fragment;
    return text;
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string in(input);
    std::string out;
    while (!in.empty()) {
        if (in.rfind("../", 0) == 0) {
            in.erase(0, 3);
        } else if (in.rfind("./", 0) == 0) {
            in.erase(0, 2);
        } else if (in.rfind("/./", 0) == 0) {
            in.replace(0, 3, "/");
        } else if (in == "/.") {
            in = "/";
        } else if (in.rfind("/../", 0) == 0 || in == "/..") {
            in = in.size() == 3 ? std::string("/") : in.replace(0, 4, "/");
            auto slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            std::size_t next = in.find('/', in[0] == '/' ? 1 : 0);
            out += in.substr(0, next);
            in.erase(0, next == std::string::npos ? in.size() : next);
        }
    }
    return out;
}

} // namespace

std::optional<URL> URL::parse(std::string_view text) {
    // Characters and escapes first: they decide for every component at once.
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (isForbidden(c)) return std::nullopt;
        if (c == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))) return std::nullopt;
    }

    URL url;
    url.text_ = std::string(text);
    std::string_view rest = text;

    // Fragment: everything after the first '#'; a second '#' is not allowed.
    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        std::string_view fragment = rest.substr(hash + 1);
        if (fragment.find('#') != std::string_view::npos) return std::nullopt;
        url.fragment_ = std::string(fragment);
        rest = rest.substr(0, hash);
    }
    // Query: everything after the first '?'.
    if (auto question = rest.find('?'); question != std::string_view::npos) {
        url.query_ = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    // Scheme: letters, digits, "+-." before the first ':' (which must come before any '/').
    if (auto colon = rest.find(':'); colon != std::string_view::npos && colon > 0 && isAlpha(rest[0])) {
        std::string_view candidate = rest.substr(0, colon);
        bool valid = candidate.find('/') == std::string_view::npos;
        for (char c : candidate) valid = valid && isSchemeChar(c);
        if (valid) {
            url.scheme_ = std::string(candidate);
            rest = rest.substr(colon + 1);
        }
    }
    // Authority.
    if (rest.substr(0, 2) == "//") {
        url.hasAuthority_ = true;
        rest = rest.substr(2);
        std::size_t end = rest.find('/');
        std::string_view authority = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);

        std::string_view hostPort = authority;
        if (auto at = authority.rfind('@'); at != std::string_view::npos) {
            std::string_view userInfo = authority.substr(0, at);
            if (userInfo.find_first_of("[]") != std::string_view::npos) return std::nullopt;
            hostPort = authority.substr(at + 1);
            if (auto colon = userInfo.find(':'); colon != std::string_view::npos) {
                url.user_ = std::string(userInfo.substr(0, colon));
                url.password_ = std::string(userInfo.substr(colon + 1));
            } else {
                url.user_ = std::string(userInfo);
            }
        }
        std::string_view host;
        std::optional<std::string_view> port;
        if (!hostPort.empty() && hostPort[0] == '[') {
            auto close = hostPort.find(']');
            if (close == std::string_view::npos) return std::nullopt;
            host = hostPort.substr(1, close - 1);
            if (host.find_first_of("[]") != std::string_view::npos) return std::nullopt;
            std::string_view after = hostPort.substr(close + 1);
            if (!after.empty()) {
                if (after[0] != ':') return std::nullopt;
                port = after.substr(1);
            }
        } else {
            if (hostPort.find_first_of("[]") != std::string_view::npos) return std::nullopt;
            auto colon = hostPort.find(':');
            host = hostPort.substr(0, colon);
            if (colon != std::string_view::npos) port = hostPort.substr(colon + 1);
        }
        if (!host.empty()) url.host_ = std::string(host);
        if (port && !port->empty()) {
            long value = 0;
            for (char c : *port) {
                if (!isDigit(c)) return std::nullopt;
                value = value * 10 + (c - '0');
                if (value > 65535) return std::nullopt;
            }
            url.port_ = static_cast<int>(value);
        }
    }
    url.path_ = std::string(rest);
    return url;
}

URL URL::fileURL(std::string_view path, bool isDirectory) {
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/') {
        char buffer[PATH_MAX];
        std::string cwd = getcwd(buffer, sizeof buffer) ? buffer : "/";
        if (cwd.empty() || cwd.back() != '/') cwd += '/';
        absolute = cwd + absolute;
    }
    std::string text = "file://" + percentEscape(absolute, allowedPathCharacters());
    if (isDirectory && text.back() != '/') text += '/';
    // Escaped text always parses.
    return *parse(text);
}

std::string URL::path() const {
    std::string decoded = percentDecode(path_);
    if (decoded.size() > 1 && decoded.back() == '/') decoded.pop_back();
    return decoded;
}

bool URL::isFileURL() const {
    return scheme_ && core::ascii::equalsIgnoringCase(*scheme_, "file");
}

std::string URL::lastPathComponent() const {
    std::string_view p = path_;
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    if (p == "/") return "";
    auto slash = p.rfind('/');
    return percentDecode(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

std::string URL::pathExtension() const {
    std::string last = lastPathComponent();
    auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return "";
    return last.substr(dot + 1);
}

URL URL::appendingPathComponent(std::string_view component) const {
    std::string path = path_;
    if (path.empty() ? hasAuthority_ : path.back() != '/') path += '/';
    path += percentEscape(component, allowedPathCharacters());
    std::optional<std::string> authority;
    if (hasAuthority_) authority = authorityText(*this);
    auto url = parse(compose(scheme_, authority, path, query_, fragment_));
    return url ? *url : *this;
}

std::optional<URL> URL::resolve(std::string_view reference) const {
    auto r = parse(reference);
    if (!r) return std::nullopt;
    std::optional<std::string> scheme, authority, query;
    std::string path;
    if (r->scheme_) {
        scheme = r->scheme_;
        if (r->hasAuthority_) authority = authorityText(*r);
        path = removeDotSegments(r->path_);
        query = r->query_;
    } else {
        if (r->hasAuthority_) {
            authority = authorityText(*r);
            path = removeDotSegments(r->path_);
            query = r->query_;
        } else {
            if (r->path_.empty()) {
                path = path_;
                query = r->query_ ? r->query_ : query_;
            } else {
                if (r->path_[0] == '/') {
                    path = removeDotSegments(r->path_);
                } else {
                    std::string merged;
                    if (hasAuthority_ && path_.empty()) {
                        merged = "/" + r->path_;
                    } else {
                        auto slash = path_.rfind('/');
                        merged = (slash == std::string::npos ? std::string() : path_.substr(0, slash + 1)) + r->path_;
                    }
                    path = removeDotSegments(merged);
                }
                query = r->query_;
            }
            if (hasAuthority_) authority = authorityText(*this);
        }
        scheme = scheme_;
    }
    return parse(compose(scheme, authority, path, query, r->fragment_));
}

URLComponents::URLComponents(const URL& url) : query_(url.percentEncodedQuery()), fragment_(url.fragment()) {
    const std::string& text = url.absoluteString();
    beforeQuery_ = text.substr(0, text.find_first_of("?#"));
}

std::string URLComponents::string() const {
    std::string text = beforeQuery_;
    if (query_) text += "?" + *query_;
    if (fragment_) text += "#" + *fragment_;
    return text;
}

std::optional<URL> URLComponents::url() const {
    // A '#' inside the query would turn its tail into a fragment: that is no longer these pieces.
    if (query_ && query_->find('#') != std::string::npos) return std::nullopt;
    return URL::parse(string());
}

std::string percentEscape(std::string_view text, std::string_view allowed) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80 && allowed.find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace net
