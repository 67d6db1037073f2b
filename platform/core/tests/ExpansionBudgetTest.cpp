#include "platform/core/KeyedArchive.h"
#include "platform/core/PlistBudget.h"
#include "platform/core/PropertyList.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace core;

namespace {

// A binary property list whose objects are given by hand: each is either the text "x" (no
// members) or an array of references to other objects. Object 0 is the top.
std::string binaryList(const std::vector<std::vector<std::uint32_t>>& arrays) {
    auto put = [](std::string& out, std::uint64_t v, int width) {
        for (int i = width - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    std::string out = "bplist00";
    std::vector<std::uint32_t> offsets;
    for (const auto& members : arrays) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        if (members.empty()) {
            out += "\x51x";
            continue;
        }
        if (members.size() < 15) {
            out += static_cast<char>(0xA0 | members.size());
        } else {
            out += "\xAF\x12"; // the count follows as a 4-byte integer
            put(out, members.size(), 4);
        }
        for (auto m : members) put(out, m, 4);
    }
    const std::size_t table = out.size();
    for (auto o : offsets) put(out, o, 4);
    out += std::string(6, '\0');
    out += '\x04'; // offset size
    out += '\x04'; // reference size
    put(out, arrays.size(), 8);
    put(out, 0, 8);
    put(out, table, 8);
    return out;
}

// Each level an array holding the next level twice: 2^levels leaves from a few hundred bytes.
std::string doublingList(int levels) {
    std::vector<std::vector<std::uint32_t>> arrays;
    for (int i = 0; i < levels; ++i) arrays.push_back({static_cast<std::uint32_t>(i + 1), static_cast<std::uint32_t>(i + 1)});
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

// `chains` arrays of `length` levels each, where every chain but the first ends in the previous
// one: few references, a tree as deep as all of them together. The top lists the chains from
// the first, so a walk meets each chain at depth one before it meets it at the end of the next.
std::string chainedList(std::uint32_t chains, std::uint32_t length) {
    std::vector<std::vector<std::uint32_t>> arrays(1 + std::size_t(chains) * length + 1);
    const std::uint32_t leaf = static_cast<std::uint32_t>(arrays.size() - 1);
    for (std::uint32_t c = 0; c < chains; ++c) {
        const std::uint32_t head = 1 + c * length;
        arrays[0].push_back(head);
        for (std::uint32_t i = 0; i + 1 < length; ++i) arrays[head + i] = {head + i + 1};
        arrays[head + length - 1] = {c == 0 ? leaf : head - length};
    }
    return binaryList(arrays);
}

// An XML list of `levels` nested arrays around `inner`, closed or not.
std::string nestedXml(int levels, std::string_view inner, bool closed) {
    std::string out = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)";
    for (int i = 0; i < levels; ++i) out += "<array>";
    out += inner;
    if (closed) {
        for (int i = 0; i < levels; ++i) out += "</array>";
        out += "</plist>";
    }
    return out;
}

// Levels of arrays, along the deepest path.
int depthOf(const Value& v) {
    const auto* a = v.array();
    if (!a) return 0;
    int deepest = 0;
    for (const auto& e : *a) deepest = std::max(deepest, depthOf(e));
    return 1 + deepest;
}

} // namespace

// The parser underneath builds (and frees, recursively) a tree as deep as the bytes nest, so the
// nesting is bounded before it runs: 200,000 levels overflowed the stack.
TEST(ExpansionBudget, NestingIsBoundedBeforeTheTreeIsBuilt) {
    struct Case { const char* name; std::string bytes; int depth; }; // depth -1: refused
    const std::string deepest = nestedXml(plist::kMaxDepth, "<string>x</string>", true);
    const Case cases[] = {
        {"200,000 unclosed XML arrays", nestedXml(200'000, "", false), -1},
        {"200,000 closed XML arrays", nestedXml(200'000, "<true/>", true), -1},
        {"arrays after a comment, an instruction and a document type",
         "<!DOCTYPE plist><!-- <plist> --><?pi <plist> ?>" + nestedXml(200'000, "", false), -1},
        {"a document type with declarations", "<!DOCTYPE plist [ <!ENTITY a \"]>\"> ]>" + nestedXml(1, "", true), -1},
        {"a tag whose quote hides its end", nestedXml(1, "<string a=\"></string>\">x</string>", true), -1},
        {"the deepest list that reads", deepest, plist::kMaxDepth},
        {"one level more", nestedXml(plist::kMaxDepth + 1, "<string>x</string>", true), -1},
        {"markup the writer never makes",
         nestedXml(2, "<!-- c --><?pi?><string><![CDATA[<array>]]></string ><true\t/>", true), 2},
        {"30,000 levels through shared binary chains", chainedList(60, 500), -1},
        {"shared binary chains within the limit", chainedList(2, 200), 401},
    };
    for (const auto& c : cases) {
        auto read = plist::read(c.bytes);
        ASSERT_EQ(read.ok(), c.depth >= 0) << c.name;
        if (read) {
            EXPECT_EQ(depthOf(read->value), c.depth) << c.name;
        }
    }
    auto refused = plist::read(cases[0].bytes);
    EXPECT_NE(refused.error().description.find("nested too deeply"), std::string::npos) << refused.error().description;

    // Elements count against the same node budget as shared references do.
    std::string flat = nestedXml(1, "", false);
    for (std::uint64_t i = 0; i < plist::kMaxExpandedNodes; ++i) flat += "<true/>";
    flat += "</array></plist>";
    EXPECT_FALSE(plist::read(flat));
}

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
        if (c.readable) {
            EXPECT_EQ(leaves(read->value), c.leaves) << c.name;
        }
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
