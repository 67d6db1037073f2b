#include "platform/net/URLSessionHelpers.h"

#include "platform/net/URLSessionDelegate.h"

#include <openssl/x509_vfy.h>

#include <gtest/gtest.h>

namespace {

using namespace net;
using namespace net::session;

URL url(const char* text) { return *URL::parse(text); }

TEST(URLSessionHelpers, OversizedHeadersAreToldFromOtherFailures) {
    const struct {
        CURLcode code;
        const char* message;
        bool tooLarge;
    } cases[] = {
        {CURLE_OUT_OF_MEMORY, "Rejected 200011 bytes header (max is 102400)!", true},
        {CURLE_RECV_ERROR, "Too large response headers: 307212 > 307200", true},
        {CURLE_RECV_ERROR, "Recv failure: Connection reset by peer", false},
        {CURLE_OUT_OF_MEMORY, "", true},
        {CURLE_RECV_ERROR, "", false},
        {CURLE_OPERATION_TIMEDOUT, "Too large response headers", false},
    };
    for (const auto& c : cases) EXPECT_EQ(headerTooLarge(c.code, c.message), c.tooLarge) << c.message;
}

TEST(URLSessionHelpers, LibcurlResultsMapToURLErrors) {
    const struct {
        CURLcode code;
        long verify;
        URLErrorCode expected;
    } cases[] = {
        {CURLE_OPERATION_TIMEDOUT, 0, URLErrorCode::timedOut},
        {CURLE_COULDNT_RESOLVE_HOST, 0, URLErrorCode::cannotFindHost},
        {CURLE_COULDNT_RESOLVE_PROXY, 0, URLErrorCode::cannotFindHost},
        {CURLE_COULDNT_CONNECT, 0, URLErrorCode::cannotConnectToHost},
        {CURLE_RECV_ERROR, 0, URLErrorCode::networkConnectionLost},
        {CURLE_PARTIAL_FILE, 0, URLErrorCode::networkConnectionLost},
        {CURLE_GOT_NOTHING, 0, URLErrorCode::networkConnectionLost},
        {CURLE_UNSUPPORTED_PROTOCOL, 0, URLErrorCode::unsupportedURL},
        {CURLE_URL_MALFORMAT, 0, URLErrorCode::badURL},
        {CURLE_TOO_MANY_REDIRECTS, 0, URLErrorCode::httpTooManyRedirects},
        {CURLE_WEIRD_SERVER_REPLY, 0, URLErrorCode::badServerResponse},
        {CURLE_BAD_CONTENT_ENCODING, 0, URLErrorCode::cannotDecodeContentData},
        {CURLE_ABORTED_BY_CALLBACK, 0, URLErrorCode::cancelled},
        {CURLE_SSL_CERTPROBLEM, 0, URLErrorCode::clientCertificateRejected},
        {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_HAS_EXPIRED, URLErrorCode::serverCertificateHasBadDate},
        {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_NOT_YET_VALID, URLErrorCode::serverCertificateNotYetValid},
        {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT, URLErrorCode::serverCertificateHasUnknownRoot},
        {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY, URLErrorCode::serverCertificateHasUnknownRoot},
        {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_HOSTNAME_MISMATCH, URLErrorCode::serverCertificateUntrusted},
        {CURLE_SSL_CONNECT_ERROR, 0, URLErrorCode::secureConnectionFailed},
        {CURLE_WRITE_ERROR, 0, URLErrorCode::cannotWriteToFile},
        {CURLE_OUT_OF_MEMORY, 0, URLErrorCode::unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(errorCodeFor(c.code, c.verify), c.expected) << curl_easy_strerror(c.code);
}

TEST(URLSessionHelpers, RedirectsFollowTheMethodRules) {
    const struct {
        const char* method;
        int status;
        const char* expectedMethod;
        bool keepsBody;
    } cases[] = {
        {"POST", 301, "GET", false}, {"POST", 302, "GET", false}, {"PUT", 302, "PUT", true},
        {"POST", 303, "GET", false}, {"PUT", 303, "GET", false},  {"HEAD", 303, "HEAD", false},
        {"POST", 307, "POST", true}, {"POST", 308, "POST", true}, {"GET", 301, "GET", false},
    };
    for (const auto& c : cases) {
        URLRequest request(url("http://example.com/a/b?q=1"));
        request.httpMethod = c.method;
        if (std::string(c.method) != "GET" && std::string(c.method) != "HEAD") {
            request.httpBody = core::Bytes{1, 2, 3};
            request.setValue("application/json", "Content-Type");
            request.setValue("3", "Content-Length");
        }
        request.setValue("kept", "X-Other");
        auto next = redirectedRequest(request, c.status, "../c");
        ASSERT_TRUE(next) << c.method << " " << c.status;
        EXPECT_EQ(next->url->absoluteString(), "http://example.com/c");
        EXPECT_EQ(next->method(), c.expectedMethod) << c.method << " " << c.status;
        EXPECT_EQ(next->httpBody.has_value(), c.keepsBody) << c.method << " " << c.status;
        EXPECT_EQ(next->value("Content-Type").has_value(), c.keepsBody) << c.method << " " << c.status;
        EXPECT_EQ(next->value("X-Other"), "kept");
    }
    EXPECT_EQ(redirectedRequest(URLRequest(url("http://a.test/x")), 302, "https://b.test/y")->url->absoluteString(),
              "https://b.test/y");
    EXPECT_FALSE(redirectedRequest(URLRequest(), 302, "/y"));
    for (int status : {301, 302, 303, 307, 308}) EXPECT_TRUE(isRedirectStatus(status)) << status;
    for (int status : {200, 300, 304, 305, 306, 309, 401}) EXPECT_FALSE(isRedirectStatus(status)) << status;
}

TEST(URLSessionHelpers, AuthenticationOffersTakeTheStrongestSchemeAndItsRealm) {
    const struct {
        const char* field;
        const char* method; // nullptr: nothing offered that the session answers
        std::optional<std::string> realm;
    } cases[] = {
        {R"(Basic realm="Members")", kAuthenticationMethodHTTPBasic, "Members"},
        {R"(BASIC REALM=Members)", kAuthenticationMethodHTTPBasic, "Members"},
        {R"(Basic realm="a, \"b\"", Digest realm="d", qop="auth", nonce="n")", kAuthenticationMethodHTTPDigest, "d"},
        {R"(Negotiate, Basic realm="x")", kAuthenticationMethodNegotiate, std::nullopt},
        {R"(Bearer realm="api", Basic realm="site")", kAuthenticationMethodHTTPBasic, "site"},
        {R"(Basic realm="first" realm="second")", kAuthenticationMethodHTTPBasic, "first"},
        {R"(Basic realm="a, \"b\"")", kAuthenticationMethodHTTPBasic, R"(a, "b")"},
        {R"(Bearer error="invalid_token")", nullptr, std::nullopt},
        {"", nullptr, std::nullopt},
        {R"(="x", ;;;)", nullptr, std::nullopt},
        {R"(realm="orphan", Basic)", kAuthenticationMethodHTTPBasic, std::nullopt},
        {R"(Basic realm="unterminated)", kAuthenticationMethodHTTPBasic, "unterminated"},
    };
    for (const auto& c : cases) {
        auto offer = authOffer(c.field);
        if (!c.method) {
            EXPECT_FALSE(offer) << c.field;
            continue;
        }
        ASSERT_TRUE(offer) << c.field;
        EXPECT_EQ(offer->method, c.method) << c.field;
        EXPECT_EQ(offer->realm, c.realm) << c.field;
    }
    EXPECT_EQ(curlAuthScheme(kAuthenticationMethodNegotiate), static_cast<long>(CURLAUTH_NEGOTIATE));
    EXPECT_EQ(curlAuthScheme(kAuthenticationMethodHTTPDigest), static_cast<long>(CURLAUTH_DIGEST));
    EXPECT_EQ(curlAuthScheme(kAuthenticationMethodHTTPBasic), static_cast<long>(CURLAUTH_BASIC));
    EXPECT_EQ(curlAuthScheme("ntlm"), static_cast<long>(CURLAUTH_BASIC));
}

TEST(URLSessionHelpers, HostsAreKeyedByLowerCaseSchemeHostAndPort) {
    const struct {
        const char* url;
        const char* key;
    } cases[] = {
        {"http://Example.COM/path", "http://example.com:80"},
        {"HTTPS://example.com/", "https://example.com:443"},
        {"https://example.com:8443/x?y", "https://example.com:8443"},
        {"http://example.com:443/", "http://example.com:443"},
        {"http://127.0.0.1:5000", "http://127.0.0.1:5000"},
    };
    for (const auto& c : cases) EXPECT_EQ(hostKey(url(c.url)), c.key) << c.url;
    const Origin origin = originOf(url("HTTPS://Sub.Example.com"));
    EXPECT_EQ(origin.scheme, "https");
    EXPECT_EQ(origin.host, "sub.example.com");
    EXPECT_EQ(origin.port, 443);
}

// The lines as a list, for comparison.
std::vector<std::string> split(const std::string& lines) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at < lines.size(); at = lines.find('\0', at) + 1) out.emplace_back(lines.c_str() + at);
    return out;
}

TEST(URLSessionHelpers, HeaderLinesPutTheSessionFirstAndLetTheRequestWin) {
    const HTTPHeaders session{{"X-Client", "app"}, {"Accept", "application/json"}, {"Accept-Encoding", "br"}};
    const HTTPHeaders own{{"x-client", "override"}, {"X-Trace", "1"}, {"Content-Type", "text/plain"}};
    std::string lines;
    const std::string* acceptEncoding = nullptr;
    headerLines(session, own, "agent/1", lines, acceptEncoding);
    EXPECT_EQ(split(lines), (std::vector<std::string>{"X-Client: override", "Accept: application/json", "X-Trace: 1",
                                                      "Content-Type: text/plain", "User-Agent: agent/1", "Expect:"}));
    ASSERT_TRUE(acceptEncoding);
    EXPECT_EQ(*acceptEncoding, "br");

    // Nothing named: the defaults, and no form Content-Type; the lines are rebuilt from empty.
    acceptEncoding = nullptr;
    headerLines({}, {}, "agent/1", lines, acceptEncoding);
    EXPECT_EQ(split(lines), (std::vector<std::string>{"User-Agent: agent/1", "Accept: */*", "Expect:", "Content-Type:"}));
    EXPECT_FALSE(acceptEncoding);

    // An empty value is sent as an empty field; a value stops at its first NUL.
    const HTTPHeaders odd{{"X-Empty", ""}, {"X-Nul", std::string("a\0Injected: yes", 15)}, {"user-agent", "mine"},
                          {"accept-encoding", "identity"}};
    headerLines({}, odd, "agent/1", lines, acceptEncoding);
    EXPECT_EQ(split(lines), (std::vector<std::string>{"X-Empty;", "X-Nul: a", "user-agent: mine", "Accept: */*", "Expect:",
                                                      "Content-Type:"}));
    ASSERT_TRUE(acceptEncoding);
    EXPECT_EQ(*acceptEncoding, "identity");
}

TEST(URLSessionHelpers, OnlyTheSessionsOwnPartialFileNamesAreTaken) {
    const std::string folder = "/tmp/q/";
    const std::string uuid = "0F8FAD5B-D9CB-469F-A165-70867728950E";
    const struct {
        std::string path;
        bool own;
    } cases[] = {
        {folder + "quillora-download-" + uuid + ".tmp", true},
        {folder + "quillora-download-" + uuid + ".TMP", false},
        {folder + "quillora-download-" + "0f8fad5b-d9cb-469f-a165-70867728950e" + ".tmp", false},
        {folder + "quillora-download-" + uuid + "X.tmp", false},
        {folder + "quillora-download-" + uuid.substr(1) + ".tmp", false},
        {folder + "other-download-" + uuid + ".tmp", false},
        {folder + "sub/quillora-download-" + uuid + ".tmp", false},
        {"/elsewhere/quillora-download-" + uuid + ".tmp", false},
        {folder + "quillora-download-0F8FAD5B/D9CB-469F-A165-70867728950E.tmp", false},
        {folder, false},
    };
    for (const auto& c : cases) EXPECT_EQ(isOwnPartialFileName(c.path, folder), c.own) << c.path;
}

TEST(URLSessionHelpers, ResumeDataKeepsAStrongValidator) {
    const struct {
        HTTPHeaders fields;
        std::optional<std::string> validator;
    } cases[] = {
        {{{"ETag", "\"v1\""}, {"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"}}, "\"v1\""},
        {{{"ETag", "W/\"v1\""}, {"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"}}, "Tue, 01 Dec 2026 10:00:00 GMT"},
        {{{"ETag", "W/\"v1\""}}, std::nullopt},
        {{{"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"}}, "Tue, 01 Dec 2026 10:00:00 GMT"},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(resumeValidator(c.fields), c.validator);
}

} // namespace
