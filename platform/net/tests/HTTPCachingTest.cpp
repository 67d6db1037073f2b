// The caching rules as pure functions: freshness, age, what may be stored, what a stored response
// may answer under each cache policy, Vary and the merge of a 304's fields.
#include "platform/net/HTTPCaching.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace net;
using namespace net::caching;

namespace {

constexpr double kNow = 1.7e9;

std::string dateText(double seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

std::shared_ptr<CachedURLResponse> storedWith(HTTPHeaders fields, double responseDate, int status = 200) {
    auto cached = std::make_shared<CachedURLResponse>();
    cached->response = std::make_shared<HTTPURLResponse>(*URL::parse("http://host/a"), status, "HTTP/1.1", std::move(fields));
    cached->data = {'x'};
    cached->requestDate = responseDate;
    cached->responseDate = responseDate;
    return cached;
}

TEST(HTTPCaching, CacheControlDirectives) {
    auto cc = cacheControl("Public, MAX-AGE=60, no-cache=\"Set-Cookie, X\", must-revalidate, s-maxage=\"5\"");
    EXPECT_TRUE(cc.isPublic);
    EXPECT_TRUE(cc.noCache);
    EXPECT_TRUE(cc.mustRevalidate);
    EXPECT_FALSE(cc.noStore);
    EXPECT_EQ(cc.maxAge, 60);
    EXPECT_EQ(cc.sMaxAge, 5);
    // A max-age that is not a number makes the response stale; the first of two counts.
    EXPECT_EQ(cacheControl("max-age=soon").maxAge, 0);
    EXPECT_EQ(cacheControl("max-age=-3").maxAge, 0);
    EXPECT_EQ(cacheControl("max-age=10, max-age=99").maxAge, 10);
    EXPECT_EQ(cacheControl("max-age=99999999999999999999999").maxAge, INT64_MAX);
    EXPECT_TRUE(requestCacheControl(HTTPHeaders{{"Pragma", "no-cache"}}).noCache);
    EXPECT_FALSE(requestCacheControl(HTTPHeaders{{"Pragma", "no-cache"}, {"Cache-Control", "max-age=5"}}).noCache);
}

TEST(HTTPCaching, HttpDatesInAllThreeForms) {
    EXPECT_EQ(httpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777.0);
    EXPECT_EQ(httpDate("Sunday, 06-Nov-94 08:49:37 GMT"), 784111777.0);
    EXPECT_EQ(httpDate("Sun Nov  6 08:49:37 1994"), 784111777.0);
    EXPECT_FALSE(httpDate(""));
}

TEST(HTTPCaching, FreshnessAndAge) {
    struct Case {
        const char* name;
        HTTPHeaders fields;
        double storedAt; // response date
        double now;
        double lifetime;
        bool fresh;
    };
    const double t = kNow;
    const Case cases[] = {
        {"max-age within", {{"Cache-Control", "max-age=60"}}, t, t + 59, 60, true},
        {"max-age passed", {{"Cache-Control", "max-age=60"}}, t, t + 61, 60, false},
        {"max-age wins over Expires", {{"Cache-Control", "max-age=10"}, {"Expires", dateText(t + 1000)}}, t, t + 20, 10, false},
        {"Expires minus Date", {{"Date", dateText(t)}, {"Expires", dateText(t + 100)}}, t, t + 99, 100, true},
        {"Expires without Date counts from arrival", {{"Expires", dateText(t + 100)}}, t, t + 101, 100, false},
        {"Expires that is no date is expired", {{"Expires", "0"}, {"Last-Modified", dateText(t - 1000)}}, t, t, 0, false},
        {"Age counts", {{"Cache-Control", "max-age=60"}, {"Age", "50"}}, t, t + 11, 60, false},
        {"Age within", {{"Cache-Control", "max-age=60"}, {"Age", "50"}}, t, t + 9, 60, true},
        {"a Date in the past makes it older", {{"Cache-Control", "max-age=60"}, {"Date", dateText(t - 55)}}, t, t + 6, 60, false},
        {"heuristic: a tenth since Last-Modified", {{"Date", dateText(t)}, {"Last-Modified", dateText(t - 1000)}}, t, t + 99, 100, true},
        {"heuristic passed", {{"Date", dateText(t)}, {"Last-Modified", dateText(t - 1000)}}, t, t + 101, 100, false},
        {"heuristic capped at a day", {{"Last-Modified", dateText(t - 100 * 86400)}}, t, t + 86399, 86400, true},
        {"nothing: stale at once", {}, t, t, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto stored = storedWith(c.fields, c.storedAt);
        EXPECT_DOUBLE_EQ(freshnessLifetime(200, c.fields, c.storedAt), c.lifetime);
        EXPECT_EQ(isFresh(*stored, c.now), c.fresh);
    }
    // The time the exchange took counts into the age.
    EXPECT_DOUBLE_EQ(currentAge(HTTPHeaders{{"Age", "10"}}, kNow - 4, kNow, kNow + 1), 15);
    // A heuristic only for statuses cacheable by default.
    EXPECT_DOUBLE_EQ(freshnessLifetime(302, HTTPHeaders{{"Last-Modified", dateText(kNow - 1000)}}, kNow), 0);
}

TEST(HTTPCaching, WhatMayBeStored) {
    struct Case {
        const char* name;
        HTTPHeaders request;
        bool authorized;
        int status;
        HTTPHeaders response;
        bool storable;
    };
    const Case cases[] = {
        {"plain 200", {}, false, 200, {}, true},
        {"no-store in the response", {}, false, 200, {{"Cache-Control", "no-store"}}, false},
        {"no-store in the request", {{"Cache-Control", "no-store"}}, false, 200, {{"Cache-Control", "max-age=60"}}, false},
        {"no-cache may be stored", {}, false, 200, {{"Cache-Control", "no-cache"}}, true},
        {"Vary: *", {}, false, 200, {{"Vary", "Accept, *"}}, false},
        {"404 by default", {}, false, 404, {}, true},
        {"302 not by default", {}, false, 302, {}, false},
        {"302 with max-age", {}, false, 302, {{"Cache-Control", "max-age=5"}}, true},
        {"500 with Expires", {}, false, 500, {{"Expires", dateText(kNow + 5)}}, true},
        {"206 not by default", {}, false, 206, {}, false},
        {"credentials alone", {}, true, 200, {{"Cache-Control", "max-age=60"}}, false},
        {"credentials and public", {}, true, 200, {{"Cache-Control", "public"}}, true},
        {"credentials and s-maxage", {}, true, 200, {{"Cache-Control", "s-maxage=5"}}, true},
        {"credentials and must-revalidate", {}, true, 200, {{"Cache-Control", "must-revalidate"}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(mayStore(c.request, c.authorized, c.status, c.response), c.storable);
    }
    EXPECT_FALSE(isReusable(200, HTTPHeaders{}, kNow));
    EXPECT_TRUE(isReusable(200, HTTPHeaders{{"ETag", "\"1\""}}, kNow));
    EXPECT_TRUE(isReusable(200, HTTPHeaders{{"Cache-Control", "max-age=1"}}, kNow));
}

TEST(HTTPCaching, UseOfAStoredResponseUnderEachPolicy) {
    using P = CachePolicy;
    const double t = kNow;
    const HTTPHeaders fresh{{"Cache-Control", "max-age=60"}, {"ETag", "\"v1\""}};
    const HTTPHeaders staleWithETag{{"Cache-Control", "max-age=10"}, {"ETag", "\"v1\""}};
    const HTTPHeaders staleBare{{"Cache-Control", "max-age=10"}};
    const HTTPHeaders noCache{{"Cache-Control", "no-cache"}, {"Last-Modified", dateText(t - 100)}};
    const HTTPHeaders mustRevalidate{{"Cache-Control", "max-age=10, must-revalidate"}, {"ETag", "\"v1\""}};
    struct Case {
        const char* name;
        P policy;
        HTTPHeaders request;
        std::optional<HTTPHeaders> stored;
        Use use;
    };
    const Case cases[] = {
        {"protocol: nothing stored", P::useProtocolCachePolicy, {}, std::nullopt, Use::load},
        {"protocol: fresh", P::useProtocolCachePolicy, {}, fresh, Use::stored},
        {"protocol: stale with validator", P::useProtocolCachePolicy, {}, staleWithETag, Use::revalidate},
        {"protocol: stale without validator", P::useProtocolCachePolicy, {}, staleBare, Use::load},
        {"protocol: response no-cache", P::useProtocolCachePolicy, {}, noCache, Use::revalidate},
        {"protocol: request no-cache", P::useProtocolCachePolicy, {{"Cache-Control", "no-cache"}}, fresh, Use::revalidate},
        {"protocol: request Pragma", P::useProtocolCachePolicy, {{"Pragma", "no-cache"}}, fresh, Use::revalidate},
        {"protocol: request max-age below the age", P::useProtocolCachePolicy, {{"Cache-Control", "max-age=5"}}, fresh, Use::revalidate},
        {"reload: fresh ignored", P::reloadIgnoringLocalCacheData, {}, fresh, Use::load},
        {"else load: stale used", P::returnCacheDataElseLoad, {}, staleBare, Use::stored},
        {"else load: nothing stored", P::returnCacheDataElseLoad, {}, std::nullopt, Use::load},
        {"else load: no-cache revalidated", P::returnCacheDataElseLoad, {}, noCache, Use::revalidate},
        {"else load: must-revalidate when stale", P::returnCacheDataElseLoad, {}, mustRevalidate, Use::revalidate},
        {"don't load: stale used", P::returnCacheDataDontLoad, {}, staleWithETag, Use::stored},
        {"don't load: nothing stored", P::returnCacheDataDontLoad, {}, std::nullopt, Use::fail},
        {"don't load: must-revalidate when stale", P::returnCacheDataDontLoad, {}, mustRevalidate, Use::fail},
        {"don't load: no-cache", P::returnCacheDataDontLoad, {}, noCache, Use::fail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto stored = c.stored ? storedWith(*c.stored, t) : nullptr;
        EXPECT_EQ(decide(c.policy, c.request, stored.get(), t + 20), c.use);
    }
    // must-revalidate does not matter while fresh.
    auto stored = storedWith(mustRevalidate, t);
    EXPECT_EQ(decide(P::returnCacheDataDontLoad, {}, stored.get(), t + 5), Use::stored);
}

TEST(HTTPCaching, VaryMatchesTheNamedRequestFields) {
    const HTTPHeaders response{{"Vary", "Accept-Language, X-Absent"}};
    auto values = varyValues(response, HTTPHeaders{{"accept-language", "zh"}});
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 2u);
    EXPECT_EQ((*values)[0].second, "zh");
    EXPECT_FALSE((*values)[1].second);
    EXPECT_TRUE(varyMatches(*values, HTTPHeaders{{"Accept-Language", " zh "}}));
    EXPECT_FALSE(varyMatches(*values, HTTPHeaders{{"Accept-Language", "en"}}));
    EXPECT_FALSE(varyMatches(*values, HTTPHeaders{}));
    EXPECT_FALSE(varyMatches(*values, HTTPHeaders{{"Accept-Language", "zh"}, {"X-Absent", "1"}}));
    EXPECT_FALSE(varyValues(HTTPHeaders{{"Vary", "*"}}, {}));
}

TEST(HTTPCaching, ConditionalFieldsAndTheMergeOfA304) {
    const HTTPHeaders stored{{"ETag", "\"v1\""}, {"Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"}, {"Content-Length", "5"},
                             {"Content-Type", "image/png"}, {"Cache-Control", "max-age=10"}};
    const HTTPHeaders conditions = conditionalFields(stored);
    EXPECT_EQ(conditions.value("If-None-Match"), "\"v1\"");
    EXPECT_EQ(conditions.value("If-Modified-Since"), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_TRUE(conditionalFields(HTTPHeaders{{"Cache-Control", "max-age=1"}}).empty());
    EXPECT_TRUE(isOwnConditional(HTTPHeaders{{"Range", "bytes=0-1"}}));
    EXPECT_FALSE(isOwnConditional(HTTPHeaders{{"Accept", "*/*"}}));

    const HTTPHeaders merged = mergedFields(stored, HTTPHeaders{{"Cache-Control", "max-age=99"}, {"Content-Length", "0"},
                                                                {"X-New", "1"}, {"Connection", "close"}});
    EXPECT_EQ(merged.value("Cache-Control"), "max-age=99");
    EXPECT_EQ(merged.value("Content-Length"), "5");
    EXPECT_EQ(merged.value("Content-Type"), "image/png");
    EXPECT_EQ(merged.value("X-New"), "1");
    EXPECT_FALSE(merged.contains("Connection"));
    EXPECT_TRUE(isUnsafeMethod("POST"));
    EXPECT_TRUE(isUnsafeMethod("DELETE"));
    EXPECT_FALSE(isUnsafeMethod("HEAD"));
}

} // namespace
