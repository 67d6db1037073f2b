#include "Libs/HTTPLayer/HTTPError.h"
#include "Libs/HTTPLayer/JSONEncoding.h"
#include "Libs/HTTPLayer/PropertyListEncoding.h"
#include "Libs/HTTPLayer/URLEncoding.h"

#include "platform/core/Json.h"
#include "platform/core/PropertyList.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace http;
using core::Array;
using core::Dictionary;
using core::Value;

namespace {

net::URLRequest request(const char* url, std::optional<std::string> method = std::nullopt) {
    net::URLRequest r(net::URL::parse(url));
    r.httpMethod = std::move(method);
    return r;
}

std::string body(const net::URLRequest& r) {
    return r.httpBody ? std::string(r.httpBody->begin(), r.httpBody->end()) : std::string("<no body>");
}

std::string url(const net::URLRequest& r) { return r.url ? r.url->absoluteString() : "<no url>"; }

const char* kForm = "application/x-www-form-urlencoded; charset=utf-8";

// Where the parameters go, for every ready-made encoding and method (including none and unknown).
TEST(URLEncoding, DestinationByMethod) {
    struct Case {
        URLEncoding encoding;
        std::optional<std::string> method;
        bool inQuery;
    } cases[] = {
        {URLEncoding::default_(), std::nullopt, true},         {URLEncoding::default_(), "GET", true},
        {URLEncoding::default_(), "HEAD", true},               {URLEncoding::default_(), "DELETE", true},
        {URLEncoding::default_(), "POST", false},              {URLEncoding::default_(), "PUT", false},
        {URLEncoding::default_(), "PATCH", false},             {URLEncoding::default_(), "OPTIONS", false},
        {URLEncoding::default_(), "TRACE", false},             {URLEncoding::default_(), "CONNECT", false},
        {URLEncoding::methodDependent(), "PUT", false},        {URLEncoding::methodDependent(), "get", false},
        {URLEncoding::queryString(), "PUT", true},             {URLEncoding::queryString(), "POST", true},
        {URLEncoding::queryString(), "PROPFIND", false},       {URLEncoding::default_(), "PROPFIND", false},
        {URLEncoding::httpBody(), "GET", false},               {URLEncoding::httpBody(), std::nullopt, false},
    };
    for (const auto& c : cases) {
        auto encoded = c.encoding.encode(request("http://x/p", c.method), Dictionary{{"a", 1}});
        ASSERT_TRUE(encoded.isSuccess());
        const auto& r = encoded.successValue();
        const std::string label = c.method.value_or("(none)");
        if (c.inQuery) {
            EXPECT_EQ(url(r), "http://x/p?a=1") << label;
            EXPECT_FALSE(r.httpBody) << label;
            EXPECT_FALSE(r.value("Content-Type")) << label;
        } else {
            EXPECT_EQ(url(r), "http://x/p") << label;
            EXPECT_EQ(body(r), "a=1") << label;
            EXPECT_EQ(r.value("Content-Type"), kForm) << label;
        }
        EXPECT_EQ(r.httpMethod, c.method) << label;
    }
}

TEST(URLEncoding, ReadyMadeValues) {
    for (auto e : {URLEncoding::default_(), URLEncoding::methodDependent(), URLEncoding::queryString(), URLEncoding::httpBody()}) {
        EXPECT_EQ(e.arrayEncoding(), URLEncoding::ArrayEncoding::brackets);
        EXPECT_EQ(e.boolEncoding(), URLEncoding::BoolEncoding::numeric);
    }
    EXPECT_EQ(URLEncoding::default_().destination(), URLEncoding::Destination::methodDependent);
    EXPECT_EQ(URLEncoding::methodDependent().destination(), URLEncoding::Destination::methodDependent);
    EXPECT_EQ(URLEncoding::queryString().destination(), URLEncoding::Destination::queryString);
    EXPECT_EQ(URLEncoding::httpBody().destination(), URLEncoding::Destination::httpBody);
}

TEST(URLEncoding, QueryStringCases) {
    struct Case {
        const char* url;
        Dictionary parameters;
        const char* expected;
    } cases[] = {
        {"http://x/p?page=1", {{"q", "a&b"}}, "http://x/p?page=1&q=a%26b"},
        {"http://x/p?", {{"q", "1"}}, "http://x/p?&q=1"},
        {"http://x/p", {{"q", "1"}}, "http://x/p?q=1"},
        {"http://x/p", {}, "http://x/p"},
        {"http://x/p?", {}, "http://x/p?"},
        {"http://x//p#frag", {{"b", 2}, {"a", 1}}, "http://x//p?a=1&b=2#frag"},
        {"/relative/path", {{"q", "1"}}, "/relative/path?q=1"},
    };
    for (const auto& c : cases) {
        auto encoded = URLEncoding::queryString().encode(request(c.url, "GET"), c.parameters);
        ASSERT_TRUE(encoded.isSuccess()) << c.url;
        EXPECT_EQ(url(encoded.successValue()), c.expected) << c.url;
        EXPECT_FALSE(encoded.successValue().httpBody) << c.url;
    }
}

TEST(URLEncoding, MissingURLOnTheQueryPath) {
    net::URLRequest noURL;
    auto encoded = URLEncoding::default_().encode(noURL, Dictionary{{"a", 1}});
    ASSERT_TRUE(encoded.isFailure());
    const auto* error = encoded.failureError().as<HTTPError>();
    ASSERT_TRUE(error && error->parameterEncodingReason());
    EXPECT_EQ(error->parameterEncodingReason()->kind(), ParameterEncodingFailureReason::Case::missingURL);
    EXPECT_EQ(error->errorDescription(), "URL request to encode was missing a URL");
    EXPECT_FALSE(error->underlyingError());
    // On the body path a missing URL does not matter.
    noURL.httpMethod = "POST";
    EXPECT_TRUE(URLEncoding::default_().encode(noURL, Dictionary{{"a", 1}}).isSuccess());
}

TEST(URLEncoding, AbsentParametersLeaveTheRequestUnchanged) {
    for (auto e : {URLEncoding::queryString(), URLEncoding::httpBody()}) {
        auto original = request("http://x/p?", "POST");
        auto encoded = e.encode(original, std::nullopt);
        ASSERT_TRUE(encoded.isSuccess());
        EXPECT_EQ(url(encoded.successValue()), "http://x/p?");
        EXPECT_FALSE(encoded.successValue().httpBody);
        EXPECT_TRUE(encoded.successValue().allHTTPHeaderFields.empty());
    }
    net::URLRequest noURL;
    EXPECT_TRUE(URLEncoding::default_().encode(noURL, std::nullopt).isSuccess());
}

TEST(URLEncoding, BodyCases) {
    struct Case {
        const char* label;
        std::optional<std::pair<std::string, std::string>> existingHeader;
        Dictionary parameters;
        std::string contentType;
        std::string body;
    } cases[] = {
        {"sorted keys", {}, {{"b", 2}, {"a", "x y"}}, kForm, "a=x%20y&b=2"},
        {"empty dictionary", {}, {}, kForm, ""},
        {"existing Content-Type", std::pair<std::string, std::string>{"Content-Type", "text/plain"}, {{"a", 1}}, "text/plain", "a=1"},
        {"existing content-type, lower case", std::pair<std::string, std::string>{"content-type", "text/plain"}, {{"a", 1}}, "text/plain", "a=1"},
        {"existing CONTENT-TYPE", std::pair<std::string, std::string>{"CONTENT-TYPE", "text/csv"}, {{"a", 1}}, "text/csv", "a=1"},
    };
    for (const auto& c : cases) {
        auto r = request("http://x/p", "POST");
        if (c.existingHeader) r.setValue(c.existingHeader->second, c.existingHeader->first);
        auto encoded = URLEncoding::default_().encode(r, c.parameters);
        ASSERT_TRUE(encoded.isSuccess()) << c.label;
        EXPECT_EQ(encoded.successValue().value("Content-Type"), c.contentType) << c.label;
        EXPECT_EQ(encoded.successValue().allHTTPHeaderFields.size(), 1u) << c.label;
        EXPECT_EQ(body(encoded.successValue()), c.body) << c.label;
    }
}

TEST(URLEncoding, QueryText) {
    const auto brackets = URLEncoding::default_();
    const URLEncoding plain(URLEncoding::Destination::methodDependent, URLEncoding::ArrayEncoding::noBrackets,
                            URLEncoding::BoolEncoding::literal);
    struct Case {
        const char* label;
        Dictionary parameters;
        std::string withBrackets;
        std::string withoutBrackets;
    } cases[] = {
        {"sorted top level", {{"b", 2}, {"a", "x y"}, {"C", 3}}, "C=3&a=x%20y&b=2", "C=3&a=x%20y&b=2"},
        {"array", {{"ids", Array{1, 2}}}, "ids%5B%5D=1&ids%5B%5D=2", "ids=1&ids=2"},
        {"nested dictionary", {{"user", Dictionary{{"name", "n"}}}}, "user%5Bname%5D=n", "user%5Bname%5D=n"},
        {"nested order kept", {{"u", Dictionary{{"z", 1}, {"a", 2}}}}, "u%5Bz%5D=1&u%5Ba%5D=2", "u%5Bz%5D=1&u%5Ba%5D=2"},
        {"array in dictionary", {{"u", Dictionary{{"t", Array{"x"}}}}}, "u%5Bt%5D%5B%5D=x", "u%5Bt%5D=x"},
        {"dictionary in array", {{"l", Array{Dictionary{{"k", "v"}}}}}, "l%5B%5D%5Bk%5D=v", "l%5Bk%5D=v"},
        {"booleans", {{"on", true}, {"off", false}}, "off=0&on=1", "off=false&on=true"},
        {"numbers", {{"i", 42}, {"n", -7}, {"d", 1.5}, {"u", 18446744073709551615ull}}, "d=1.5&i=42&n=-7&u=18446744073709551615", "d=1.5&i=42&n=-7&u=18446744073709551615"},
        {"null", {{"z", Value()}}, "z=%3Cnull%3E", "z=%3Cnull%3E"},
        {"empty array", {{"e", Array{}}, {"f", 1}}, "f=1", "f=1"},
        {"escaped key", {{"a b&c", "1"}}, "a%20b%26c=1", "a%20b%26c=1"},
        {"unicode", {{"中", "文"}}, "%E4%B8%AD=%E6%96%87", "%E4%B8%AD=%E6%96%87"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(brackets.query(c.parameters), c.withBrackets) << c.label;
        std::string literal = c.withoutBrackets;
        EXPECT_EQ(plain.query(c.parameters), literal) << c.label;
    }
}

TEST(URLEncoding, BooleanEncodings) {
    const URLEncoding numeric = URLEncoding::default_();
    const URLEncoding literal(URLEncoding::Destination::methodDependent, URLEncoding::ArrayEncoding::brackets,
                              URLEncoding::BoolEncoding::literal);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(numeric.queryComponents("on", true), (Pairs{{"on", "1"}}));
    EXPECT_EQ(numeric.queryComponents("on", false), (Pairs{{"on", "0"}}));
    EXPECT_EQ(literal.queryComponents("on", true), (Pairs{{"on", "true"}}));
    EXPECT_EQ(literal.queryComponents("on", false), (Pairs{{"on", "false"}}));
    EXPECT_EQ(numeric.queryComponents("a[b]", Array{true}), (Pairs{{"a%5Bb%5D%5B%5D", "1"}}));
}

TEST(URLEncoding, Escape) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"-._~/?", "-._~/?"},
        {"AZaz09", "AZaz09"},
        {"!*'();:@&=+$,#[]", "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%23%5B%5D"},
        {" ", "%20"},
        {"中", "%E4%B8%AD"},
        {"%", "%25"},
        {"\"<>\\^`{|}", "%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {"\n\t", "%0A%09"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(URLEncoding::escape(c.in), c.out) << c.in;
    // Longer than the 50-character slices of old platforms: the same as one pass.
    std::string longText(120, 'a');
    longText += "中 ";
    EXPECT_EQ(URLEncoding::escape(longText), std::string(120, 'a') + "%E4%B8%AD%20");
}

TEST(URLEncoding, ConversionErrorPropagates) {
    struct Bad {
        Result<net::URLRequest> asURLRequest() const { return makeURLRequest("ht tp://x", HTTPMethod::get); }
    };
    auto encoded = URLEncoding::default_().encode(Bad{}, Dictionary{{"a", 1}});
    ASSERT_TRUE(encoded.isFailure());
    EXPECT_TRUE(encoded.failureError().as<HTTPError>()->isInvalidURL());
    EXPECT_TRUE(JSONEncoding::default_().encode(Bad{}, std::nullopt).isFailure());
    EXPECT_TRUE(PropertyListEncoding::default_().encode(Bad{}, std::nullopt).isFailure());
}

TEST(JSONEncoding, Encodes) {
    struct Case {
        const char* label;
        JSONEncoding encoding;
        std::optional<std::pair<std::string, std::string>> existingHeader;
        Value value;
        std::string contentType;
        std::string body;
    } cases[] = {
        {"dictionary", JSONEncoding::default_(), {}, Dictionary{{"b", 1}, {"a", "x"}}, "application/json", R"({"b":1,"a":"x"})"},
        {"empty dictionary", JSONEncoding::default_(), {}, Dictionary{}, "application/json", "{}"},
        {"array", JSONEncoding::default_(), {}, Array{1, true, Value()}, "application/json", "[1,true,null]"},
        {"existing type", JSONEncoding::default_(), std::pair<std::string, std::string>{"content-type", "text/json"}, Array{}, "text/json", "[]"},
    };
    for (const auto& c : cases) {
        auto r = request("http://x/", "POST");
        if (c.existingHeader) r.setValue(c.existingHeader->second, c.existingHeader->first);
        auto encoded = c.encoding.encodeJSONObject(r, c.value);
        ASSERT_TRUE(encoded.isSuccess()) << c.label;
        EXPECT_EQ(encoded.successValue().value("Content-Type"), c.contentType) << c.label;
        EXPECT_EQ(body(encoded.successValue()), c.body) << c.label;
    }
    auto pretty = JSONEncoding::prettyPrinted().encode(request("http://x/"), Dictionary{{"a", 1}});
    EXPECT_EQ(body(pretty.successValue()), *core::json::write(Dictionary{{"a", 1}}, core::json::PrettyPrinted));
    EXPECT_EQ(JSONEncoding::prettyPrinted().options(), 1u);
    EXPECT_EQ(JSONEncoding::default_().options(), 0u);
    // Absent parameters: unchanged, no header.
    auto unchanged = JSONEncoding::default_().encode(request("http://x/"), std::nullopt);
    EXPECT_FALSE(unchanged.successValue().httpBody);
    EXPECT_TRUE(unchanged.successValue().allHTTPHeaderFields.empty());
}

TEST(JSONEncoding, WriterFailures) {
    const Value rejected[] = {Value(core::Bytes{1}), Value("bare fragment"), Dictionary{{"nan", Value(std::nan(""))}}};
    for (const auto& value : rejected) {
        auto encoded = JSONEncoding::default_().encodeJSONObject(request("http://x/"), value);
        ASSERT_TRUE(encoded.isFailure());
        const auto* error = encoded.failureError().as<HTTPError>();
        ASSERT_TRUE(error && error->parameterEncodingReason());
        EXPECT_EQ(error->parameterEncodingReason()->kind(), ParameterEncodingFailureReason::Case::jsonEncodingFailed);
        ASSERT_TRUE(error->underlyingError());
        EXPECT_TRUE(error->underlyingError()->as<core::Error>());
        EXPECT_EQ(error->errorDescription(), "JSON could not be encoded because of error:\n" +
                                                 error->underlyingError()->localizedDescription());
    }
}

TEST(PropertyListEncoding, Encodes) {
    struct Case {
        PropertyListEncoding encoding;
        core::plist::Format format;
    } cases[] = {
        {PropertyListEncoding::default_(), core::plist::Format::Xml},
        {PropertyListEncoding::xml(), core::plist::Format::Xml},
        {PropertyListEncoding::binary(), core::plist::Format::Binary},
    };
    const Dictionary parameters{{"a", 1}, {"b", Array{"x", true}}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.encoding.format(), c.format);
        EXPECT_EQ(static_cast<int>(c.encoding.format()), c.format == core::plist::Format::Xml ? 100 : 200);
        EXPECT_EQ(c.encoding.options(), 0);
        auto encoded = c.encoding.encode(request("http://x/", "POST"), parameters);
        ASSERT_TRUE(encoded.isSuccess());
        EXPECT_EQ(encoded.successValue().value("Content-Type"), "application/x-plist");
        auto read = core::plist::read(*encoded.successValue().httpBody);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->format, c.format);
        EXPECT_EQ(read->value, Value(parameters));
    }
    auto kept = request("http://x/");
    kept.setValue("application/xml", "CONTENT-TYPE");
    EXPECT_EQ(PropertyListEncoding::default_().encode(kept, Dictionary{}).successValue().value("Content-Type"),
              "application/xml");
}

TEST(PropertyListEncoding, WriterFailures) {
    struct Case {
        PropertyListEncoding encoding;
        Dictionary parameters;
    } cases[] = {
        {PropertyListEncoding::xml(), {{"null", Value()}}},
        {PropertyListEncoding::binary(), {{"null", Value()}}},
        {PropertyListEncoding(core::plist::Format::OpenStep), {{"a", 1}}},
    };
    for (const auto& c : cases) {
        auto encoded = c.encoding.encode(request("http://x/"), c.parameters);
        ASSERT_TRUE(encoded.isFailure());
        const auto* error = encoded.failureError().as<HTTPError>();
        ASSERT_TRUE(error && error->parameterEncodingReason());
        EXPECT_EQ(error->parameterEncodingReason()->kind(),
                  ParameterEncodingFailureReason::Case::propertyListEncodingFailed);
        EXPECT_TRUE(error->underlyingError());
        EXPECT_EQ(error->errorDescription().rfind("PropertyList could not be encoded because of error:\n", 0), 0u);
    }
}

} // namespace
