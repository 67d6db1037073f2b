#include "platform/core/KeyedArchive.h"
#include "platform/core/PlistBudget.h"
#include "platform/core/PropertyList.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace core;

namespace {

// A binary property list whose objects are given by hand: each is either the text "x" (no
// members) or an array of references to other objects. Object 0 is the top.
std::string binaryList(const std::vector<std::vector<std::uint8_t>>& arrays) {
    std::string out = "bplist00";
    std::vector<std::uint16_t> offsets;
    for (const auto& members : arrays) {
        offsets.push_back(static_cast<std::uint16_t>(out.size()));
        if (members.empty()) {
            out += "\x51x";
            continue;
        }
        out += static_cast<char>(0xA0 | members.size());
        for (auto m : members) out += static_cast<char>(m);
    }
    const std::size_t table = out.size();
    for (auto o : offsets) {
        out += static_cast<char>(o >> 8);
        out += static_cast<char>(o & 0xFF);
    }
    out += std::string(6, '\0');
    out += '\x02'; // offset size
    out += '\x01'; // reference size
    auto put64 = [&](std::uint64_t v) {
        for (int i = 7; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put64(arrays.size());
    put64(0);
    put64(table);
    return out;
}

// Each level an array holding the next level twice: 2^levels leaves from a few hundred bytes.
std::string doublingList(int levels) {
    std::vector<std::vector<std::uint8_t>> arrays;
    for (int i = 0; i < levels; ++i) arrays.push_back({static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 1)});
    arrays.push_back({});
    return binaryList(arrays);
}

// A keyed archive built the same way: each array object refers to the next one twice.
Bytes doublingArchive(int levels) {
    auto uid = [](std::uint64_t n) { return Value(Dictionary{{"CF$UID", Value(static_cast<unsigned long long>(n))}}); };
    Array objects{Value("$null"),
                  Value(Dictionary{{"$classname", Value("NSArray")}, {"$classes", Value(Array{Value("NSArray"), Value("NSObject")})}})};
    for (int i = 0; i < levels; ++i) {
        std::uint64_t next = objects.size() + 1;
        objects.push_back(Value(Dictionary{{"NS.objects", Value(Array{uid(next), uid(next)})}, {"$class", uid(1)}}));
    }
    objects.push_back(Value("leaf"));
    Dictionary top{{"$version", Value(100000)},
                   {"$archiver", Value("NSKeyedArchiver")},
                   {"$top", Value(Dictionary{{"root", uid(2)}})},
                   {"$objects", Value(std::move(objects))}};
    return *plist::write(Value(std::move(top)), plist::Format::Binary);
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::size_t leaves(const Value& v) {
    if (const auto* a = v.array()) {
        std::size_t n = 0;
        for (const auto& e : *a) n += leaves(e);
        return n;
    }
    return 1;
}

} // namespace

TEST(ExpansionBudget, SharedReferencesInABinaryListAreRefusedBeforeTheTreeIsBuilt) {
    struct Case { const char* name; std::string bytes; bool readable; std::size_t leaves; };
    const Case cases[] = {
        {"sixty doublings", doublingList(60), false, 0},
        {"a cycle", binaryList({{1}, {0}}), false, 0},
        {"a reference past the table", binaryList({{7}}), false, 0},
        {"ten doublings stay within budget", doublingList(10), true, 1024},
    };
    const long before = peakKilobytes();
    for (const auto& c : cases) {
        auto read = plist::read(c.bytes);
        ASSERT_EQ(read.ok(), c.readable) << c.name;
        if (c.readable) EXPECT_EQ(leaves(read->value), c.leaves) << c.name;
    }
    EXPECT_LT(peakKilobytes() - before, 64 * 1024) << "peak resident memory grew";
    // Ordinary lists of both formats still read.
    Value settings(Dictionary{{"SERVER_URL", "http://example.test/"}, {"history", Array{Value("a"), Value("b")}}});
    for (auto format : {plist::Format::Binary, plist::Format::Xml}) {
        auto back = plist::read(*plist::write(settings, format));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->value, settings);
    }
}

TEST(ExpansionBudget, KeyedArchivesThatExpandPastTheirBudgetAreRefused) {
    const long before = peakKilobytes();
    auto bomb = doublingArchive(40);
    EXPECT_LT(bomb.size(), 2000u);
    auto refused = archive::unarchive(bomb);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().description.find("budget"), std::string::npos) << refused.error().description;
    EXPECT_LT(peakKilobytes() - before, 64 * 1024) << "peak resident memory grew";

    auto shared = archive::unarchive(doublingArchive(8));
    ASSERT_TRUE(shared);
    EXPECT_EQ(leaves(*shared), 256u);
    EXPECT_EQ(*archive::unarchive(*archive::archive(Value("6F9619FF-8B86-D011-B42D-00CF4FC964FF"))),
              Value("6F9619FF-8B86-D011-B42D-00CF4FC964FF"));
}
