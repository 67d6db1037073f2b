#pragma once
// A URL reference as RFC 3986 splits it, kept exactly as given.
//
// Parsing never escapes, adds or normalises anything: a path that starts with "//" after an
// authority stays so, a relative reference ("/path?q", "x/y") parses with no scheme or host, and
// absoluteString() gives back the text that was parsed. A text fails to parse when it holds a
// character that cannot appear in a URL (space, control characters, non-ASCII, '"', '<', '>',
// '\\', '^', '`', '{', '|', '}'), a '%' not followed by two hexadecimal digits, or a malformed
// authority (bad port, unbalanced IPv6 brackets).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

class URL {
public:
    // Nothing when the text is not a URL reference (see above).
    static std::optional<URL> parse(std::string_view text);
    // A file URL for an absolute path ("file:///a/b"), escaping what must be escaped.
    static URL fileURL(std::string_view path, bool isDirectory = false);

    const std::string& absoluteString() const { return text_; }

    // Components as written, or nothing when absent. An empty query ("x?") is "" not nothing.
    const std::optional<std::string>& scheme() const { return scheme_; }
    const std::optional<std::string>& user() const { return user_; }
    const std::optional<std::string>& password() const { return password_; }
    const std::optional<std::string>& host() const { return host_; } // IPv6 without brackets
    std::optional<int> port() const { return port_; }
    const std::string& percentEncodedPath() const { return path_; }
    const std::optional<std::string>& percentEncodedQuery() const { return query_; }
    const std::optional<std::string>& fragment() const { return fragment_; }
    bool hasAuthority() const { return hasAuthority_; }

    // The path with percent escapes decoded, without a trailing "/" (except for the root "/"),
    // as the platform's file-path accessor gives it.
    std::string path() const;
    bool isFileURL() const;
    // The last path segment, decoded ("" for "/" or an empty path).
    std::string lastPathComponent() const;
    // The path extension of the last segment, without the dot ("" when none).
    std::string pathExtension() const;
    // A copy with one more path segment ("a/b" + "c" = "a/b/c"), escaping the segment.
    URL appendingPathComponent(std::string_view component) const;
    // Resolves a reference against this URL as base (RFC 3986 section 5.2).
    std::optional<URL> resolve(std::string_view reference) const;

    bool operator==(const URL& other) const { return text_ == other.text_; }

private:
    std::string text_;
    std::optional<std::string> scheme_, user_, password_, host_, query_, fragment_;
    std::optional<int> port_;
    std::string path_;
    bool hasAuthority_ = false;
};

// Mutable pieces of a URL, for adding a query to an existing URL.
class URLComponents {
public:
    explicit URLComponents(const URL& url);

    const std::optional<std::string>& percentEncodedQuery() const { return query_; }
    // Sets the query exactly as given (nothing removes the "?").
    void setPercentEncodedQuery(std::optional<std::string> query) { query_ = std::move(query); }
    // The URL with the current pieces, or nothing when they do not form one (a query holding '#',
    // or text that URL::parse refuses).
    std::optional<URL> url() const;
    // The text of the current pieces, whether or not they form a URL (the components' text form).
    std::string string() const;

private:
    std::string beforeQuery_; // scheme, authority and path, as written
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

// Percent-escapes every byte of `text` that is not in `allowed` (upper-case hexadecimal digits).
std::string percentEscape(std::string_view text, std::string_view allowed);
// Decodes percent escapes; a malformed escape is kept as written.
std::string percentDecode(std::string_view text);

} // namespace net
