#include "platform/core/TextConversions.h"
#include "platform/core/Utf16.h"
#include "platform/core/Value.h"

#include <gtest/gtest.h>

#include <limits>

using namespace core;

TEST(ValueTest, DescriptionFollowsThePlatformTextForms) {
    struct Case { Value value; std::string text; };
    const Case cases[] = {
        {Value(), "<null>"},
        {Value(true), "1"},
        {Value(false), "0"},
        {Value(42), "42"},
        {Value(-7LL), "-7"},
        {Value(18446744073709551615ULL), "18446744073709551615"},
        {Value(0.5), "0.5"},
        {Value(3.0), "3"},
        {Value(0.1), "0.1"},
        {Value(1e100), "1e+100"},
        {Value(-0.0), "-0"},
        {Value("文本"), "文本"},
        {Value(Bytes{0x0a, 0x0b, 0x0c, 0x0d, 0x0e}), "<0a0b0c0d 0e>"},
        {Value(Array{Value(1), Value("a b")}), "(\n    1,\n    \"a b\"\n)"},
        {Value(Dictionary{{"k", Value(Array{Value("x")})}}), "{\n    k = (\n        x\n    );\n}"},
    };
    for (const auto& c : cases) EXPECT_EQ(description(c.value), c.text);
}

TEST(ValueTest, LeadingNumbersOfTexts) {
    struct Case { const char* text; long long value; };
    const Case cases[] = {
        {"25", 25}, {"  -12abc", -12}, {"+7", 7}, {"abc", 0}, {"", 0}, {"1.9", 1},
        {"99999999999999999999", std::numeric_limits<long long>::max()},
        {"-99999999999999999999", std::numeric_limits<long long>::min()},
        {"-9223372036854775808", std::numeric_limits<long long>::min()},
    };
    for (const auto& c : cases) EXPECT_EQ(longLongValue(std::string_view(c.text)), c.value) << c.text;
    EXPECT_EQ(intValue("3000000000"), std::numeric_limits<int32_t>::max());
    EXPECT_DOUBLE_EQ(doubleValue(std::string_view(" 2.5e1x")), 25.0);
    EXPECT_EQ(doubleValue(std::string_view("0x10")), 0.0);
    EXPECT_EQ(doubleValue(std::string_view("nan")), 0.0);
}

TEST(ValueTest, BoolValueOfTexts) {
    struct Case { const char* text; bool value; };
    const Case cases[] = {{"YES", true}, {"true", true}, {"t", true}, {"1", true}, {"0009", true},
                          {"no", false}, {"0", false}, {"", false}, {"-0", false}, {" +3", true}};
    for (const auto& c : cases) EXPECT_EQ(boolValue(std::string_view(c.text)), c.value) << c.text;
}

TEST(ValueTest, NumbersOfValues) {
    EXPECT_EQ(longLongValue(Value(2.9)), 2);
    EXPECT_EQ(longLongValue(Value(-2.9)), -2);
    EXPECT_EQ(longLongValue(Value(1e300)), std::numeric_limits<long long>::max());
    EXPECT_EQ(longLongValue(Value(true)), 1);
    EXPECT_EQ(longLongValue(Value(Array{})), 0);
}

TEST(ValueTest, EqualityKeepsBooleansApartFromNumbers) {
    EXPECT_EQ(Value(1), Value(1.0));
    EXPECT_EQ(Value(5), Value(5ULL));
    EXPECT_NE(Value(-1), Value(18446744073709551615ULL));
    EXPECT_NE(Value(true), Value(1));
    EXPECT_NE(Value(), Value(0));
    EXPECT_FALSE(Value(true).isNumber());
    EXPECT_EQ(Value(Dictionary{{"a", 1}, {"b", 2}}), Value(Dictionary{{"b", 2}, {"a", 1}}));
}

TEST(ValueTest, DictionaryKeepsInsertionOrderAndReplacesInPlace) {
    Dictionary d;
    for (int i = 0; i < 40; ++i) d.set("k" + std::to_string(i), i); // crosses the hashing threshold
    d.set("k3", "three");
    ASSERT_EQ(d.size(), 40u);
    EXPECT_EQ(d.keys()[3], "k3");
    EXPECT_EQ(*d.find("k3"), Value("three"));
    EXPECT_TRUE(d.erase("k0"));
    EXPECT_FALSE(d.erase("k0"));
    EXPECT_EQ(d.keys().front(), "k1");
    EXPECT_EQ(*d.find("k39"), Value(39));
    EXPECT_EQ(d.find("missing"), nullptr);
}

TEST(Utf16Test, CountsAndOffsets) {
    const std::string text = "a中😀b"; // 1 + 1 + 2 + 1 UTF-16 units; 1 + 3 + 4 + 1 bytes
    EXPECT_EQ(utf16::length(text), 5u);
    EXPECT_EQ(utf16::fromUtf8(text).size(), 5u);
    EXPECT_EQ(utf16::toUtf8(utf16::fromUtf8(text)), text);
    struct Case { std::size_t units; std::size_t bytes; };
    const Case cases[] = {{0, 0}, {1, 1}, {2, 4}, {3, 4}, {4, 8}, {5, 9}, {99, 9}};
    for (const auto& c : cases) EXPECT_EQ(utf16::utf8Offset(text, c.units), c.bytes) << c.units;
    EXPECT_EQ(utf16::utf16Offset(text, 4), 2u);
    EXPECT_EQ(utf16::utf16Offset(text, 8), 4u);
    // Ill-formed input: every bad byte is one replacement character.
    EXPECT_EQ(utf16::fromUtf8("\xff\xe4\xb8"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf16::toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}
