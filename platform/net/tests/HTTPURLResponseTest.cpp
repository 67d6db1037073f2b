#include "platform/net/HTTPURLResponse.h"
#include "platform/net/URLRequest.h"

#include <gtest/gtest.h>

using net::HTTPHeaders;
using net::HTTPURLResponse;
using net::URL;

namespace {

HTTPURLResponse make(const char* url, HTTPHeaders headers, int status = 200) {
    return HTTPURLResponse(*URL::parse(url), status, "HTTP/1.1", std::move(headers));
}

TEST(HTTPURLResponse, ContentTypeGivesMIMETypeAndCharset) {
    struct Case {
        const char* contentType;
        std::optional<std::string> mime, charset;
    } cases[] = {
        {"text/html; charset=utf-8", "text/html", "utf-8"},
        {"Application/JSON;Charset=\"GBK\"", "application/json", "GBK"},
        {"text/plain", "text/plain", {}},
        {"text/plain; format=flowed; charset=ISO-8859-1", "text/plain", "ISO-8859-1"},
        {"text/plain; charset=", "text/plain", {}},
    };
    for (const auto& c : cases) {
        auto response = make("http://x/", {{"content-type", c.contentType}});
        EXPECT_EQ(response.mimeType(), c.mime) << c.contentType;
        EXPECT_EQ(response.textEncodingName(), c.charset) << c.contentType;
    }
    auto none = make("http://x/", {});
    EXPECT_FALSE(none.mimeType());
    EXPECT_FALSE(none.textEncodingName());
}

TEST(HTTPURLResponse, ExpectedContentLength) {
    EXPECT_EQ(make("http://x/", {{"Content-Length", "1234"}}).expectedContentLength(), 1234);
    EXPECT_EQ(make("http://x/", {{"Content-Length", "12a"}}).expectedContentLength(), HTTPURLResponse::kUnknownLength);
    EXPECT_EQ(make("http://x/", {}).expectedContentLength(), HTTPURLResponse::kUnknownLength);
}

TEST(HTTPURLResponse, SuggestedFilename) {
    EXPECT_EQ(make("http://x/a/report.pdf", {}).suggestedFilename(), "report.pdf");
    EXPECT_EQ(make("http://x/", {}).suggestedFilename(), "Unknown");
    EXPECT_EQ(make("http://x/", {{"Content-Type", "text/html"}}).suggestedFilename(), "Unknown.html");
    EXPECT_EQ(make("http://x/get", {{"Content-Disposition", "attachment; filename=\"a b.txt\""}}).suggestedFilename(),
              "a b.txt");
    EXPECT_EQ(make("http://x/get", {{"Content-Disposition", "attachment; filename=\"../../etc/passwd\""}})
                  .suggestedFilename(),
              "passwd");
    EXPECT_EQ(make("http://x/get",
                   {{"Content-Disposition", "attachment; filename=x.bin; filename*=UTF-8''%E4%B8%AD.txt"}})
                  .suggestedFilename(),
              "中.txt");
}

TEST(HTTPURLResponse, StatusTextsAndDescription) {
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(404), "not found");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(200), "no error");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(599), "server error");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(499), "client error");
    auto response = make("http://x/a", {{"A", "1"}}, 201);
    EXPECT_EQ(response.statusCode(), 201);
    EXPECT_EQ(response.value("a"), "1");
    EXPECT_EQ(response.description(), "<HTTPURLResponse> { URL: http://x/a } { Status Code: 201, Headers {\n    A = 1;\n} }");
}

TEST(URLRequest, DefaultsAndDescription) {
    net::URLRequest request(URL::parse("http://x/"));
    EXPECT_EQ(request.method(), "GET");
    EXPECT_EQ(request.timeoutInterval, 60.0);
    EXPECT_EQ(request.cachePolicy, net::CachePolicy::useProtocolCachePolicy);
    EXPECT_EQ(request.description(), "<URLRequest> { URL: http://x/ }");
    EXPECT_EQ(net::URLRequest().description(), "<URLRequest> { URL: (null) }");
}

} // namespace
