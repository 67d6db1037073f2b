#include "platform/core/KeyedArchive.h"
#include "platform/core/PropertyList.h"
#include "platform/core/TextConversions.h"

#include <gtest/gtest.h>

using namespace core;

namespace {
Value sample() {
    return Value(Dictionary{{"text", "中文"}, {"int", -5}, {"double", 2.5}, {"bool", true},
                            {"bytes", Bytes{0, 1, 2}}, {"list", Array{Value("a"), Value(7)}},
                            {"nested", Dictionary{{"empty", Array{}}}}});
}
} // namespace

TEST(PropertyListTest, RoundTripsInBothFormats) {
    for (auto format : {plist::Format::Xml, plist::Format::Binary}) {
        auto bytes = plist::write(sample(), format);
        ASSERT_TRUE(bytes) << bytes.error().description;
        auto back = plist::read(*bytes);
        ASSERT_TRUE(back) << back.error().description;
        EXPECT_EQ(back->format, format);
        EXPECT_EQ(back->value, sample());
        EXPECT_TRUE(back->value.find("bool")->isBool());
    }
}

TEST(PropertyListTest, RefusesWhatAPropertyListCannotHold) {
    const Value bad[] = {Value(), Value(Array{Value()}), Value(Dictionary{{std::string("k\0x", 3), 1}}),
                         Value(Array{Value(std::string("a\0b", 3))})};
    for (const auto& v : bad) {
        EXPECT_FALSE(plist::isValid(v)) << description(v);
        EXPECT_FALSE(plist::write(v, plist::Format::Xml));
    }
    EXPECT_FALSE(plist::write(Value("x"), plist::Format::OpenStep));
    EXPECT_FALSE(plist::read(std::string_view("")));
    EXPECT_FALSE(plist::read(std::string_view("not a plist")));
    EXPECT_FALSE(plist::read(std::string_view("bplist00\x01\x02", 10)));
}

TEST(KeyedArchiveTest, RoundTripsTextsAndContainers) {
    const Value values[] = {Value("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), Value(""), Value(3), Value(),
                            Value(Array{Value("a"), Value("a"), Value(Dictionary{{"k", "v"}})})};
    for (const auto& v : values) {
        auto bytes = archive::archive(v);
        ASSERT_TRUE(bytes);
        ASSERT_EQ(std::string(bytes->begin(), bytes->begin() + 8), "bplist00");
        auto back = archive::unarchive(*bytes);
        ASSERT_TRUE(back) << back.error().description;
        EXPECT_EQ(*back, v);
    }
}

TEST(KeyedArchiveTest, UsesThePlatformLayoutForATextRoot) {
    auto bytes = archive::archive(Value("ID"));
    auto top = plist::read(*bytes);
    ASSERT_TRUE(top);
    EXPECT_EQ(*top->value.find("$archiver"), Value("NSKeyedArchiver"));
    EXPECT_EQ(*top->value.find("$version"), Value(100000));
    EXPECT_EQ(*top->value.find("$objects"), Value(Array{Value("$null"), Value("ID")}));
    EXPECT_EQ(*top->value.find("$top")->find("root")->find("CF$UID"), Value(1));
}

TEST(KeyedArchiveTest, DamagedArchivesFailWithAReason) {
    auto plainPlist = plist::write(Value(Dictionary{{"a", 1}}), plist::Format::Binary);
    auto badRef = plist::write(Value(Dictionary{{"$archiver", "NSKeyedArchiver"}, {"$objects", Array{Value("$null")}},
                                                {"$top", Dictionary{{"root", Dictionary{{"CF$UID", 9}}}}}}),
                               plist::Format::Binary);
    // An object that names itself as its own member must not recurse for ever.
    auto cycle = plist::write(
        Value(Dictionary{{"$archiver", "NSKeyedArchiver"},
                         {"$objects", Array{Value("$null"),
                                            Value(Dictionary{{"NS.objects", Array{Value(Dictionary{{"CF$UID", 1}})}},
                                                             {"$class", Dictionary{{"CF$UID", 2}}}}),
                                            Value(Dictionary{{"$classname", "NSArray"}})}},
                         {"$top", Dictionary{{"root", Dictionary{{"CF$UID", 1}}}}}}),
        plist::Format::Binary);
    const Bytes inputs[] = {Bytes{1, 2, 3}, *plainPlist, *badRef, *cycle};
    for (const auto& in : inputs) {
        auto r = archive::unarchive(in);
        ASSERT_FALSE(r);
        EXPECT_FALSE(r.error().description.empty());
    }
}
