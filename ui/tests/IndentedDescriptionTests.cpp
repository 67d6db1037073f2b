#include "ui/IndentedDescription.h"

#include <gtest/gtest.h>

namespace kit {
namespace {

TEST(IndentedDescription, NestedContainersDoubleTheIndent) {
    using core::Array;
    using core::Dictionary;
    const std::pair<core::Value, std::string> cases[] = {
        {Array{}, "[\n]"},
        {Dictionary{}, "{\n};"},
        {Array{1, Dictionary{{"a", 2}}}, "[\n\t1,\n\t{\n\t\ta = 2\n\t};\n]"},
        {Array{core::Value(Array{1, 2})}, "[\n\t\t[\n\t\t1,\n\t\t2,\n\t]\n]"},
        {Array{"聊天", 1.5, true, nullptr}, "[\n\t聊天,\n\t1.5,\n\t1,\n\t<null>,\n]"},
        // Keys come sorted whatever the insertion order.
        {Dictionary{{"b", "二"}, {"a", "一"}}, "{\n\ta = 一\n\tb = 二\n};"},
        {Dictionary{{"d", Dictionary{{"k", 1}}}},
         "{\n\td = \t{\n\t\tk = 1\n\t};\n};"},
        {Dictionary{{"l", Array{1}}}, "{\n\tl = \t\t[\n\t\t1,\n\t]\n};"},
        {core::Value("plain"), "plain"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(indentedDescription(value), text);
}

TEST(IndentedDescription, AGivenIndentIsUsedAsIsAndNestsAtTwiceIt) {
    EXPECT_EQ(formatArray(core::Array{1}, std::string("\t\t")), "\t[\n\t\t1,\n\t]");
    EXPECT_EQ(formatArray(core::Array{1}, std::string()), "[\n\t1,\n]");
    EXPECT_EQ(formatDictionary(core::Dictionary{{"a", 1}}, std::string("  ")), "{\n  a = 1\n };");
}

} // namespace
} // namespace kit
