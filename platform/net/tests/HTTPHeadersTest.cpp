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

// Past a few fields the headers are found through an index; it must agree with the scan before
// it, across removals that move later fields up.
TEST(HTTPHeaders, ManyFieldsKeepOrderSpellingAndLookup) {
    HTTPHeaders headers;
    const std::size_t count = 3 * HTTPHeaders::kIndexedFrom;
    for (std::size_t i = 0; i < count; ++i) headers.add("X-Field-" + std::to_string(i), std::to_string(i));
    headers.add("x-field-3", "again");
    headers.remove("X-FIELD-0");
    headers.set("x-field-40", "changed");
    headers.set("X-Late", "new");
    ASSERT_EQ(headers.size(), count);
    EXPECT_EQ(headers.begin()->first, "X-Field-1");
    EXPECT_EQ(headers.value("X-FIELD-3"), "3, again");
    EXPECT_EQ(headers.value("X-Field-40"), "changed");
    EXPECT_EQ(headers.value("x-late"), "new");
    EXPECT_FALSE(headers.contains("X-Field-0"));
    std::size_t i = 1;
    for (auto it = headers.begin(); i < count; ++it, ++i) EXPECT_EQ(it->first, "X-Field-" + std::to_string(i));
    // A copy shares the index until one of the two changes.
    HTTPHeaders copy = headers;
    copy.add("x-copy-only", "1");
    headers.add("X-Original-Only", "2");
    EXPECT_FALSE(headers.contains("X-Copy-Only"));
    EXPECT_FALSE(copy.contains("x-original-only"));
    EXPECT_EQ(copy.value("X-COPY-ONLY"), "1");
    EXPECT_EQ(copy.value("x-late"), "new");
    headers.remove("x-original-only");
    // Back under the threshold: found by the scan again.
    for (std::size_t j = 1; j < count; ++j) headers.remove("x-field-" + std::to_string(j));
    EXPECT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers.value("X-LATE"), "new");
    headers.add("x-late", "more");
    EXPECT_EQ(headers.value("X-Late"), "new, more");
}
