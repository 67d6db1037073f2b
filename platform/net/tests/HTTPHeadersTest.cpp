#include "platform/net/HTTPHeaders.h"

#include <gtest/gtest.h>

using net::HTTPHeaders;

TEST(HTTPHeaders, NamesIgnoreCaseAndKeepFirstSpellingAndPlace) {
    HTTPHeaders headers{{"Content-Type", "text/plain"}, {"Accept", "*/*"}};
    EXPECT_EQ(headers.value("content-type"), "text/plain");
    EXPECT_TRUE(headers.contains("ACCEPT"));
    headers.set("CONTENT-TYPE", "application/json");
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers.begin()->first, "Content-Type");
    EXPECT_EQ(headers.begin()->second, "application/json");
    headers.remove("accept");
    EXPECT_EQ(headers.size(), 1u);
    headers.set("X-New", std::nullopt);
    EXPECT_EQ(headers.size(), 1u);
    EXPECT_FALSE(headers.value("X-New"));
}

TEST(HTTPHeaders, AddCombinesRepeatedFields) {
    HTTPHeaders headers;
    headers.add("Set-Cookie", "a=1");
    headers.add("set-cookie", "b=2");
    EXPECT_EQ(headers.value("Set-Cookie"), "a=1, b=2");
    EXPECT_EQ(headers.size(), 1u);
    EXPECT_TRUE(HTTPHeaders().empty());
    EXPECT_EQ((HTTPHeaders{{"A", "1"}}), (HTTPHeaders{{"A", "1"}}));
}
