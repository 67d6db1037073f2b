#include "platform/core/Json.h"

#include <gtest/gtest.h>

using namespace core;

TEST(JsonTest, ReadsKindsFaithfully) {
    auto v = json::read(R"({"b": true, "i": 1, "d": 1.5, "big": 18446744073709551615,
                           "n": null, "s": "中文", "a": [1, "x"], "z": 0})");
    ASSERT_TRUE(v) << v.error().description;
    EXPECT_TRUE(v->find("b")->isBool());
    EXPECT_EQ(v->find("i")->kind(), Value::Kind::Int);
    EXPECT_EQ(v->find("d")->kind(), Value::Kind::Double);
    EXPECT_EQ(v->find("big")->kind(), Value::Kind::UInt);
    EXPECT_TRUE(v->find("n")->isNull());
    EXPECT_EQ(v->find("s")->asString(), "中文");
    EXPECT_EQ(v->asDictionary().keys(), (std::vector<std::string>{"b", "i", "d", "big", "n", "s", "a", "z"}));
}

TEST(JsonTest, RepeatedKeyKeepsFirstPlaceAndLastValue) {
    auto v = json::read(R"({"a": 1, "b": 2, "a": 3})");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->asDictionary().keys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(*v->find("a"), Value(3));
}

TEST(JsonTest, FragmentsNeedTheOption) {
    struct Case { const char* text; bool plain; bool withOption; };
    const Case cases[] = {
        {"\"text\"", false, true}, {"12", false, true}, {"null", false, true}, {"true", false, true},
        {"[]", true, true}, {"{}", true, true}, {"", false, false}, {"[1,]", false, false},
        {"{\"a\":1} x", false, false}, {"\"\xff\"", false, false}, {"  [1] ", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(json::read(c.text).ok(), c.plain) << c.text;
        EXPECT_EQ(json::read(c.text, json::AllowFragments).ok(), c.withOption) << c.text;
    }
    auto failure = json::read("12");
    ASSERT_FALSE(failure);
    EXPECT_EQ(failure.error().domain, json::kErrorDomain);
    EXPECT_EQ(failure.error().code, 3840);
}

TEST(JsonTest, RefusesDeepNestingInsteadOfOverflowingTheStack) {
    std::string deep(100000, '[');
    EXPECT_FALSE(json::read(deep));
    std::string ok = std::string(json::kMaxDepth, '[') + std::string(json::kMaxDepth, ']');
    EXPECT_TRUE(json::read(ok));
}

TEST(JsonTest, WritesAndRefusesWhatJsonCannotHold) {
    Value doc(Dictionary{{"b", true}, {"a", Array{Value(1), Value(0.5), Value()}}, {"s", "中"}});
    auto text = json::write(doc);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, R"({"b":true,"a":[1,0.5,null],"s":"中"})");
    EXPECT_EQ(*json::write(doc, json::SortedKeys), R"({"a":[1,0.5,null],"b":true,"s":"中"})");
    EXPECT_FALSE(json::write(Value("x")));
    EXPECT_EQ(*json::write(Value("x"), json::FragmentsAllowed), "\"x\"");
    EXPECT_FALSE(json::write(Value(Array{Value(Bytes{1})})));
    EXPECT_FALSE(json::write(Value(Array{Value(1.0 / 0.0)})));
    EXPECT_FALSE(json::write(Value(Array{Value("\xff")})));
}
