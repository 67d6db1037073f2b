#include "platform/core/Utf16.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/ui/tests/UiTest.h"
#include "ui/c.h"
#include "ui/KeywordHighlighter.h"
#include "ui/NXRichStringFactory.h"
#include "ui/TextPieces.h"
#include "ui/c.h"

#include <optional>
#include <string>
#include <vector>

namespace kit {
namespace {

// One stretch of the result: its text, font size in design pixels and colour (none for no
// colour attribute).
struct Piece {
    std::string text;
    double size;
    std::optional<gfx::Color> colour;
};

const gfx::Color pink = gfx::Color::rgb(255, 91, 120);
const gfx::Color grey = gfx::Color::rgb(153, 153, 153);

// The phone window is 375 points wide, so a design pixel is 375 / 1080 points.
class Markup : public ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        c::resetForTesting();
    }
    void TearDown() override {
        c::resetForTesting();
        UiTest::TearDown();
    }
    const double u = 375.0 / 1080;

    std::vector<Piece> pieces(const text::AttributedString& s) {
        std::vector<Piece> out;
        for (std::size_t run = 0; run < s.runCount(); ++run) {
            auto range = s.runRange(run);
            const auto& attributes = s.runAttributes(run);
            auto* font = text::unbox<gfx::Font>(attributes.find(text::kFontAttributeName));
            auto* colour = text::unbox<gfx::Color>(attributes.find(text::kForegroundColorAttributeName));
            out.push_back({core::utf16::toUtf8(s.characters().substr(range.location, range.length)),
                           font ? font->pointSize / u : 0, colour ? std::optional(*colour) : std::nullopt});
        }
        return out;
    }
    void expectPieces(const text::AttributedString& s, const std::vector<Piece>& expected, const std::string& what) {
        auto actual = pieces(s);
        ASSERT_EQ(actual.size(), expected.size()) << what << ": \"" << s.string() << "\"";
        for (std::size_t i = 0; i < actual.size(); ++i) {
            EXPECT_EQ(actual[i].text, expected[i].text) << what;
            EXPECT_NEAR(actual[i].size, expected[i].size, 1e-9) << what;
            EXPECT_EQ(actual[i].colour, expected[i].colour) << what;
        }
    }
    // The answer cells' marking before the markup path: every ":" written as "：：" in the text
    // and in the search text, then each occurrence of the search text wrapped as a highlight.
    static std::string marked(const std::string& plain, const std::optional<std::string>& search) {
        std::string result = replaceAll(plain, ":", "：：");
        if (search && !search->empty()) {
            std::string escaped = replaceAll(*search, ":", "：：");
            result = replaceAll(result, escaped, ":-:rrrr" + escaped + ":-:");
        }
        return result;
    }
    static text::AttributedString throughMarkup(const std::string& plain, const std::optional<std::string>& search) {
        return NXRichStringFactory::richString(c::highlightMarkup(marked(plain, search)), false, false, 36);
    }
};

TEST_F(Markup, SegmentsFieldsAndKeys) {
    struct Case {
        const char* markup;
        std::vector<Piece> expected;
    };
    const Case cases[] = {
        {"", {}},
        {"no separators at all", {}},
        // The piece before the first "##" is dropped.
        {"x##v:&:Hi", {{"Hi", 36, std::nullopt}}},
        // A later duplicate key wins.
        {"##v:&:a,&,v:&:b", {{"b", 36, std::nullopt}}},
        // The escaped colon comes back; a size below 1 falls back to the default.
        {"##v:&:12：：30,&,f:&:0.5", {{"12:30", 36, std::nullopt}}},
        // Anything after a second ":&:" is dropped; a field without one is skipped.
        {"##v:&:k:&:z,&,junk", {{"k", 36, std::nullopt}}},
        {"##v:&:A,&,c:&:FF5B78,&,f:&:44", {{"A", 44, pink}}},
        {"##v:&:A,&,c:&:ff5b78", {{"A", 36, pink}}},
        // Numbers: leading spaces, then the longest decimal prefix.
        {"##v:&:A,&,f:&:  40.5px", {{"A", 40.5, std::nullopt}}},
        {"##v:&:A,&,f:&:big", {{"A", 36, std::nullopt}}},
        // Only exactly six UTF-16 units make a colour.
        {"##v:&:A,&,c:&:FF5B7", {{"A", 36, std::nullopt}}},
        {"##v:&:A,&,c:&:FF5B788", {{"A", 36, std::nullopt}}},
        // Six units that are not hexadecimal digits still colour by the digit rule ('Z' is 35).
        {"##v:&:A,&,c:&:0Z0Z0Z", {{"A", 36, gfx::Color{35 / 255.0, 35 / 255.0, 35 / 255.0, 1}}}},
        // Segments keep their own attributes; one without "v" adds no text.
        {"##v:&:A##,&,c:&:FF5B78##v:&:B,&,c:&:999999,&,f:&:40", {{"A", 36, std::nullopt}, {"B", 40, grey}}},
        {"##v:&:中文,&,c:&:999999", {{"中文", 36, grey}}},
    };
    for (const auto& k : cases)
        expectPieces(NXRichStringFactory::richString(k.markup, false, false, 36), k.expected, k.markup);

    // Six UTF-16 units written in eighteen UTF-8 bytes count as six.
    auto wide = NXRichStringFactory::richString("##v:&:A,&,c:&:中中中中中中", false, false, 36);
    EXPECT_TRUE(text::unbox<gfx::Color>(wide.attributeAt(text::kForegroundColorAttributeName, 0)));
}

TEST_F(Markup, BaselineOffsetOnlyWithTheFlagAndPlainTextAsItStands) {
    auto withFlag = NXRichStringFactory::richString("##v:&:a,&,f:&:30,&,fo:&:2", false, true, 36);
    auto* offset = withFlag.attributeAt(kBaselineOffsetAttributeName, 0);
    ASSERT_TRUE(offset);
    EXPECT_NEAR(offset->asDouble(), (2 * 36 - 30 - 2) * u, 1e-9);
    EXPECT_FALSE(NXRichStringFactory::richString("##v:&:a,&,fo:&:2", false, false, 36)
                     .attributeAt(kBaselineOffsetAttributeName, 0));

    expectPieces(NXRichStringFactory::richString("##v:&:a", true, false, 30), {{"##v:&:a", 30, std::nullopt}}, "plain");
}

TEST_F(Markup, HighlightMarkupWritesOneSegmentPerPiece) {
    EXPECT_EQ(c::highlightMarkup("a:-:rrrrb:-:c"),
              "##v:&:a,&,c:&:999999,&,f:&:36.000000,&,fo:&:0.000000"
              "##v:&:b,&,c:&:FF5B78,&,f:&:36.000000,&,fo:&:0.000000"
              "##v:&:c,&,c:&:999999,&,f:&:36.000000,&,fo:&:0.000000");
    EXPECT_EQ(c::highlightMarkup("rrrr"), "##v:&:,&,c:&:FF5B78,&,f:&:36.000000,&,fo:&:0.000000");
    EXPECT_EQ(c::highlightMarkup(""), "##v:&:,&,c:&:999999,&,f:&:36.000000,&,fo:&:0.000000");

    expectPieces(NXRichStringFactory::richString(c::highlightMarkup("a:-:rrrrb:-:c"), false, false, 36),
                 {{"a", 36, grey}, {"b", 36, pink}, {"c", 36, grey}}, "round trip");
}

TEST_F(Markup, KeywordHighlighterEqualsTheMarkupPathForOrdinaryText) {
    struct Case {
        std::string text;
        std::optional<std::string> search;
    };
    const Case cases[] = {
        {"她说今天好累，我该怎么回复？", std::string("好累")},
        {"plain answer", std::nullopt},
        {"plain answer", std::string("")},
        {"no match here", std::string("zz")},
        {"b at the start and the end b", std::string("b")},
        {"bb", std::string("b")},
        // Occurrences do not overlap: "aa" is found at 0, then the search goes on from 2.
        {"aaa", std::string("aa")},
        // Colons are escaped and unescaped on the markup path.
        {"见面时间 12:30 可以吗", std::string("12:30")},
        {"a:b", std::string("b")},
        {"", std::string("x")},
    };
    for (const auto& k : cases) {
        auto direct = KeywordHighlighter::highlight(k.text, k.search);
        EXPECT_EQ(direct, throughMarkup(k.text, k.search)) << k.text;
        EXPECT_EQ(direct.string(), k.text);
    }
    expectPieces(KeywordHighlighter::highlight("aaa", std::string("aa")), {{"aa", 36, pink}, {"a", 36, grey}}, "aaa");
    expectPieces(KeywordHighlighter::highlight("x 12:30 y", std::string("12:30")),
                 {{"x ", 36, grey}, {"12:30", 36, pink}, {" y", 36, grey}}, "colon");
}

TEST_F(Markup, KeywordHighlighterKeepsTextThatTheMarkupPathLoses) {
    struct Case {
        std::string text;
        std::string search;
        std::vector<Piece> expected;
        bool lostOnMarkupPath;
    };
    const Case cases[] = {
        {"a##b", "b", {{"a##", 36, grey}, {"b", 36, pink}}, true},
        {"x,&,y", "x", {{"x", 36, pink}, {",&,y", 36, grey}}, true},
        {"rrrrhello", "zz", {{"rrrrhello", 36, grey}}, true},
        {"全角：：冒号", "冒号", {{"全角：：", 36, grey}, {"冒号", 36, pink}}, true},
        // Separators with a colon survive the markup path too, as its colons are escaped.
        {"k:&:v", "zz", {{"k:&:v", 36, grey}}, false},
        {"p:-:q", "q", {{"p:-:", 36, grey}, {"q", 36, pink}}, false},
    };
    for (const auto& k : cases) {
        expectPieces(KeywordHighlighter::highlight(k.text, k.search), k.expected, k.text);
        EXPECT_EQ(throughMarkup(k.text, k.search).string() != k.text, k.lostOnMarkupPath) << k.text;
    }
}

} // namespace
} // namespace kit
