#include "platform/text/AttributedString.h"

#include "platform/gfx/Font.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"

#include <gtest/gtest.h>

using namespace text;

namespace {

std::vector<Range> runsOf(const AttributedString& s) {
    std::vector<Range> out;
    for (std::size_t i = 0; i < s.runCount(); ++i) out.push_back(s.runRange(i));
    return out;
}

} // namespace

TEST(AttributedString, CountsUtf16AndKeepsRunsAtAttributeBoundaries) {
    AttributedString s("a\xF0\x9F\x98\x80\xE4\xB8\xAD");  // "a", an emoji (surrogate pair), a CJK ideograph
    EXPECT_EQ(s.length(), 4u);
    s.addAttribute("k", 1, {1, 2});
    EXPECT_EQ(runsOf(s), (std::vector<Range>{{0, 1}, {1, 2}, {3, 1}}));
    // Equal values set separately merge back into one run; boxed values compare by value.
    s.addAttribute("k", 1, {0, 4});
    EXPECT_EQ(runsOf(s), (std::vector<Range>{{0, 4}}));
    s.addAttribute(kFontAttributeName, box(gfx::Font::systemFont(15)), {0, 2});
    s.addAttribute(kFontAttributeName, box(gfx::Font::systemFont(15)), {2, 2});
    EXPECT_EQ(runsOf(s), (std::vector<Range>{{0, 4}}));
    s.removeAttribute("k", {3, 1});
    EXPECT_EQ(runsOf(s), (std::vector<Range>{{0, 3}, {3, 1}}));
}

TEST(AttributedString, EditsKeepAttributesWithTheirCharacters) {
    AttributedString s("abcd", {{"x", 1}});
    s.insert(AttributedString("XY", {{"y", 2}}), 2);
    EXPECT_EQ(s.string(), "abXYcd");
    EXPECT_EQ(runsOf(s), (std::vector<Range>{{0, 2}, {2, 2}, {4, 2}}));
    s.deleteCharacters({1, 2});
    EXPECT_EQ(s.string(), "aYcd");
    EXPECT_EQ(runsOf(s), (std::vector<Range>{{0, 1}, {1, 1}, {2, 2}}));
    AttributedString sub = s.substring({1, 2});
    EXPECT_EQ(sub.string(), "Yc");
    EXPECT_TRUE(sub.attributeAt("y", 0));
    EXPECT_FALSE(sub.attributeAt("y", 1));
    EXPECT_EQ(AttributedString(sub), sub);
    AttributedString other = s;
    other.addAttribute("z", true, {0, 1});
    EXPECT_FALSE(other == s);
}

TEST(AttributedString, FindsAndWalksComposedCharacters) {
    AttributedString s("aa\xE4\xB8\xAD" "e\xCC\x81" "\xF0\x9F\x98\x80");  // aa, 中, e + combining acute, emoji
    EXPECT_EQ(s.find(u"a"), (Range{0, 1}));
    EXPECT_EQ(s.find(u"a", 1), (Range{1, 1}));
    EXPECT_EQ(s.find(u"b").location, kNotFound);
    EXPECT_EQ(s.find(u"").location, kNotFound);
    std::vector<Range> chars;
    s.enumerateComposedCharacters([&](Range r) { chars.push_back(r); });
    EXPECT_EQ(chars, (std::vector<Range>{{0, 1}, {1, 1}, {2, 1}, {3, 2}, {5, 2}}));
}

TEST(Range, TextFormRoundTrips) {
    EXPECT_EQ(rangeToString({3, 12}), "{3, 12}");
    EXPECT_EQ(rangeFromString("{3, 12}"), (Range{3, 12}));
    EXPECT_EQ(rangeFromString("junk"), (Range{0, 0}));
}
