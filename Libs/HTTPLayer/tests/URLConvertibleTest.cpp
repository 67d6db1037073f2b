#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/URLConvertible.h"

#include <gtest/gtest.h>

using namespace http;

namespace {

const HTTPError* httpError(const Error& error) { return error.as<HTTPError>(); }

TEST(URLConvertible, StringsParseWithoutEscaping) {
    auto url = URLConvertible("https://example.com/a%20b?q=%E4%B8%AD&x=1").asURL();
    ASSERT_TRUE(url.isSuccess());
    EXPECT_EQ(url.successValue().absoluteString(), "https://example.com/a%20b?q=%E4%B8%AD&x=1");
    EXPECT_EQ(url.successValue().percentEncodedQuery(), "q=%E4%B8%AD&x=1");
}

TEST(URLConvertible, ConversionFailures) {
    struct Case {
        URLConvertible value;
        std::string description;
    };
    net::URLComponents broken(*net::URL::parse("http://x/p"));
    broken.setPercentEncodedQuery("a#b");
    const Case cases[] = {
        {URLConvertible("ht tp://x"), "URL is not valid: ht tp://x"},
        {URLConvertible(std::string("http://x/中")), "URL is not valid: http://x/中"},
        {URLConvertible(std::string_view("http://x:port/")), "URL is not valid: http://x:port/"},
        {URLConvertible("http://x/%zz"), "URL is not valid: http://x/%zz"},
        {URLConvertible(broken), "URL is not valid: http://x/p?a#b"},
    };
    for (const auto& c : cases) {
        auto result = c.value.asURL();
        ASSERT_TRUE(result.isFailure()) << c.description;
        const HTTPError* error = httpError(result.failureError());
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->isInvalidURL());
        EXPECT_EQ(error->errorDescription(), c.description);
        ASSERT_TRUE(error->failedURLConvertible());
        EXPECT_EQ("URL is not valid: " + error->failedURLConvertible()->description(), c.description);
    }
    // The error carries the value that was given, of its own type.
    auto components = URLConvertible(broken).asURL();
    EXPECT_TRUE(httpError(components.failureError())->failedURLConvertible()->as<net::URLComponents>());
}

TEST(URLConvertible, URLsAndComponentsConvert) {
    auto url = *net::URL::parse("http://x//a");
    EXPECT_EQ(URLConvertible(url).asURL().successValue(), url);
    EXPECT_EQ(URLConvertible(net::URLComponents(url)).asURL().successValue(), url);
    EXPECT_EQ(URLConvertible(url).description(), "http://x//a");
}

struct ServicePath {
    std::string path;
    Result<net::URL> asURL() const { return URLConvertible("http://service" + path).asURL(); }
};

TEST(URLConvertible, CallerTypes) {
    URLConvertible custom(ServicePath{"/index"});
    EXPECT_EQ(custom.asURL().successValue().absoluteString(), "http://service/index");
    EXPECT_EQ(custom.description(), "http://service/index");
    EXPECT_TRUE(custom.as<ServicePath>());
    URLConvertible copy = custom;
    EXPECT_TRUE(copy.as<ServicePath>());
}

TEST(URLRequestConvertible, RequestComesBackUnchanged) {
    net::URLRequest request(net::URL::parse("http://x/"), net::CachePolicy::reloadIgnoringLocalCacheData, 5);
    request.httpMethod = "PUT";
    request.setValue("v", "X-A");
    request.httpBody = core::Bytes{1, 2, 3};
    auto converted = URLRequestConvertible(request).asURLRequest();
    ASSERT_TRUE(converted.isSuccess());
    const auto& r = converted.successValue();
    EXPECT_EQ(r.url, request.url);
    EXPECT_EQ(r.httpMethod, request.httpMethod);
    EXPECT_EQ(r.allHTTPHeaderFields, request.allHTTPHeaderFields);
    EXPECT_EQ(r.httpBody, request.httpBody);
    EXPECT_EQ(r.cachePolicy, request.cachePolicy);
    EXPECT_EQ(r.timeoutInterval, 5);
    EXPECT_TRUE(URLRequestConvertible(request).convertedRequest());
}

struct FailingRequest {
    Result<net::URLRequest> asURLRequest() const { return URLConvertible("bad url").asURL().failureError(); }
};

TEST(URLRequestConvertible, ConvertedRequestDropsTheError) {
    URLRequestConvertible convertible{FailingRequest{}};
    EXPECT_TRUE(convertible.asURLRequest().isFailure());
    EXPECT_FALSE(convertible.convertedRequest());
}

TEST(MakeURLRequest, MethodTimeoutAndHeaders) {
    auto request = makeURLRequest("http://x/a", HTTPMethod::post, HTTPHeaders{{"Accept", "application/json"}});
    ASSERT_TRUE(request.isSuccess());
    const auto& r = request.successValue();
    EXPECT_EQ(r.httpMethod, "POST");
    EXPECT_EQ(r.timeoutInterval, 60.0);
    EXPECT_EQ(r.cachePolicy, net::CachePolicy::useProtocolCachePolicy);
    EXPECT_EQ(r.allHTTPHeaderFields, (HTTPHeaders{{"Accept", "application/json"}}));
    EXPECT_FALSE(r.httpBody);

    auto bare = makeURLRequest("http://x/a", HTTPMethod::get);
    EXPECT_TRUE(bare.successValue().allHTTPHeaderFields.empty());
    EXPECT_EQ(bare.successValue().httpMethod, "GET");

    const std::pair<HTTPMethod, const char*> methods[] = {
        {HTTPMethod::options, "OPTIONS"}, {HTTPMethod::get, "GET"},     {HTTPMethod::head, "HEAD"},
        {HTTPMethod::post, "POST"},       {HTTPMethod::put, "PUT"},     {HTTPMethod::patch, "PATCH"},
        {HTTPMethod::delete_, "DELETE"},  {HTTPMethod::trace, "TRACE"}, {HTTPMethod::connect, "CONNECT"},
    };
    for (const auto& [method, token] : methods) {
        EXPECT_EQ(makeURLRequest("http://x/", method).successValue().httpMethod, token);
    }
}

TEST(MakeURLRequest, HeaderNamesIgnoreCase) {
    auto request = makeURLRequest("http://x/", HTTPMethod::get, HTTPHeaders{{"Accept", "b"}, {"X", "1"}});
    EXPECT_EQ(request.successValue().value("ACCEPT"), "b");
}

TEST(MakeURLRequest, ConversionFailurePropagates) {
    auto request = makeURLRequest("ht tp://x", HTTPMethod::post);
    ASSERT_TRUE(request.isFailure());
    EXPECT_EQ(request.failureError().localizedDescription(), "URL is not valid: ht tp://x");
}

TEST(HTTPMethod, RawValuesMatchCaseSensitively) {
    EXPECT_EQ(methodForName("GET"), HTTPMethod::get);
    EXPECT_EQ(methodForName("DELETE"), HTTPMethod::delete_);
    EXPECT_FALSE(methodForName("get"));
    EXPECT_FALSE(methodForName("PROPFIND"));
    EXPECT_FALSE(methodForName(""));
    EXPECT_EQ(rawValue(HTTPMethod::patch), "PATCH");
}

} // namespace
