#include "platform/text/Framesetter.h"

#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/PangoFonts.h"
#include "platform/gfx/TextLayout.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/RunDelegate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace text;

namespace {

const gfx::Font kFont = gfx::Font::systemFont(15);

Attributes plain(double lineSpacing = 0, LineBreakMode mode = LineBreakMode::wordWrap) {
    ParagraphStyle style;
    style.lineSpacing = lineSpacing;
    style.lineBreakMode = mode;
    return {{std::string(kFontAttributeName), box(kFont)}, {std::string(kParagraphStyleAttributeName), box(style)}};
}

std::string repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

const std::string kHan = "\xE4\xB8\xAD";  // one CJK ideograph, a full em wide

} // namespace

TEST(Framesetter, LinesStackByOurMetricsAndSpacing) {
    ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for exact metrics";
    const double lineHeight = kFont.lineHeight();
    struct Case {
        int characters;
        double width, spacing;
        int lines;
    } cases[] = {
        {5, 300, 0, 1},   // fits on one line
        {20, 150, 0, 2},  // ten ideographs of 15 points per line
        {25, 150, 6, 3},  // spacing goes between lines, not after the last
    };
    for (const auto& c : cases) {
        Framesetter setter(AttributedString(repeat(kHan, c.characters), plain(c.spacing)));
        Range fit;
        gfx::Size size = setter.suggestFrameSize({}, {c.width, 100000}, &fit);
        EXPECT_NEAR(size.height, c.lines * lineHeight + (c.lines - 1) * c.spacing, 1e-6) << c.characters;
        EXPECT_EQ(fit, (Range{0, static_cast<std::size_t>(c.characters)}));
        auto frame = setter.createFrame({}, {0, 0, c.width, 100000});
        ASSERT_EQ(frame->lines().size(), static_cast<std::size_t>(c.lines));
        double ascent = 0;
        frame->lines()[0]->typographicBounds(&ascent, nullptr, nullptr);
        EXPECT_NEAR(frame->lineOrigins()[0].y, 100000 - ascent, 1e-6);
        if (c.lines > 1) {
            EXPECT_NEAR(frame->lineOrigins()[0].y - frame->lineOrigins()[1].y, lineHeight + c.spacing, 1e-6);
        }
    }
}

TEST(Framesetter, FrameHoldsOnlyTheLinesThatFit) {
    const double lineHeight = kFont.lineHeight();
    Framesetter setter(AttributedString(repeat(kHan, 40), plain()));
    auto frame = setter.createFrame({}, {0, 0, 150, lineHeight * 2.5});
    EXPECT_EQ(frame->lines().size(), 2u);
    EXPECT_EQ(frame->visibleStringRange(), (Range{0, 20}));
    Range fit;
    setter.suggestFrameSize({}, {150, lineHeight * 1.99}, &fit);
    EXPECT_EQ(fit, (Range{0, 10}));
    // A trailing newline opens no line of its own; an empty paragraph in between does.
    Framesetter newlines(AttributedString(kHan + "\n\n" + kHan + "\n", plain()));
    auto lines = newlines.createFrame({}, {0, 0, 300, 1000})->lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]->stringRange(), (Range{0, 2}));
    EXPECT_EQ(lines[1]->stringRange(), (Range{2, 1}));
    EXPECT_EQ(lines[2]->stringRange(), (Range{3, 2}));
}

TEST(Framesetter, RunsSplitAtEveryAttributeBoundary) {
    AttributedString s(repeat(kHan, 6), plain());
    s.addAttribute("invisible", 1, {2, 1});  // a key only the caller knows still splits runs
    s.addAttribute(kForegroundColorAttributeName, box(gfx::Color::rgb(255, 0, 0)), {4, 2});
    auto line = Line::create(s);
    const auto& runs = line->glyphRuns();
    ASSERT_EQ(runs.size(), 4u);
    std::vector<Range> ranges;
    double x = 0;
    for (const auto& run : runs) {
        ranges.push_back(run->stringRange());
        EXPECT_NEAR(run->xOffset(), x, 1e-6);
        x += run->typographicBounds(nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(ranges, (std::vector<Range>{{0, 2}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_NEAR(x, 6 * 15, 1e-3);
    EXPECT_NEAR(line->offsetForStringIndex(3), 45, 1e-3);
    EXPECT_NEAR(line->penOffsetForFlush(0.5, 190), 50, 1e-3);
}

TEST(Framesetter, ObjectReplacementIsEmptyUnlessADelegateSizesIt) {
    auto bare = Line::create(AttributedString(kHan + "\xEF\xBF\xBC", plain()));
    EXPECT_NEAR(bare->typographicBounds(nullptr, nullptr, nullptr), 15, 1e-3);

    auto delegate = std::make_shared<const RunDelegate>(
        RunDelegate::Callbacks{[](const core::Value&) { return 20.0; }, [](const core::Value&) { return 0.0; },
                               [](const core::Value&) { return 30.0; }},
        core::Value());
    AttributedString s(kHan, plain());
    Attributes box30 = plain();
    box30.set(std::string(kRunDelegateAttributeName), box(RunDelegatePtr(delegate)));
    s.append(AttributedString(std::u16string(1, kObjectReplacementCharacter), box30));
    auto line = Line::create(s);
    ASSERT_EQ(line->glyphRuns().size(), 2u);
    double ascent = 0, descent = -1;
    EXPECT_NEAR(line->glyphRuns()[1]->typographicBounds(&ascent, &descent, nullptr), 30, 1e-3);
    EXPECT_NEAR(ascent, 20, 1e-3);
    EXPECT_NEAR(descent, 0, 1e-3);
}

TEST(Framesetter, TruncationCutsWholeCharactersAndPlacesTheToken) {
    AttributedString s("abcdefghijklmnop", plain());
    Attributes red = plain();
    red.set(std::string(kForegroundColorAttributeName), box(gfx::Color::rgb(255, 0, 0)));
    auto token = Line::create(AttributedString("\xE2\x80\xA6", red));
    auto line = Line::create(s);
    double full = line->typographicBounds(nullptr, nullptr, nullptr);
    EXPECT_EQ(line->createTruncatedLine(full + 1, Line::TruncationType::end, token), line);
    EXPECT_EQ(line->createTruncatedLine(1, Line::TruncationType::end, token), nullptr);
    struct Case {
        Line::TruncationType type;
        bool tokenFirst, tokenLast;
    } cases[] = {{Line::TruncationType::end, false, true},
                 {Line::TruncationType::start, true, false},
                 {Line::TruncationType::middle, false, false}};
    for (const auto& c : cases) {
        auto cut = line->createTruncatedLine(full / 2, c.type, token);
        ASSERT_TRUE(cut);
        EXPECT_LE(cut->typographicBounds(nullptr, nullptr, nullptr), full / 2 + 1e-6);
        const auto& runs = cut->glyphRuns();
        ASSERT_GE(runs.size(), 2u);
        auto isToken = [](const std::shared_ptr<text::Run>& run) {
            return run->attributes().find(kForegroundColorAttributeName) != nullptr;
        };
        EXPECT_EQ(isToken(runs.front()), c.tokenFirst);
        EXPECT_EQ(isToken(runs.back()), c.tokenLast);
    }
}

TEST(Framesetter, DrawsUprightGlyphsInAFlippedSpace) {
    gfx::BitmapContext context({40, 20}, 1);
    context.translate(0, 20);
    context.scale(1, -1);
    Line::create(AttributedString(kHan, plain()))->draw(context, {2, 5});
    auto image = context.makeImage();
    // Ink sits above the baseline (y = 15 from the top) and nothing is drawn below the descent.
    int above = 0, below = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            if (image->pixel(x, y) >> 24) (y < 15 ? above : below)++;
    EXPECT_GT(above, 20);
    EXPECT_LT(below, above / 4);
}

// Run offsets are sums of glyph widths in Pango units; a line wider than 2^31 units (about 2.1
// million points) must not wrap them around.
TEST(Framesetter, RunOffsetsOfAVeryLongLineDoNotOverflow) {
    const int perRun = 100000; // 1.5 million points of 15-point ideographs per run
    AttributedString s(repeat(kHan, 3 * perRun), plain());
    s.addAttribute("part", 1, {std::size_t(perRun), std::size_t(perRun)});
    auto line = Line::create(s);
    const auto& runs = line->glyphRuns();
    ASSERT_EQ(runs.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(runs[std::size_t(i)]->xOffset(), i * perRun * 15.0, 1.0) << i;
}

// Long paragraphs are laid out a piece at a time; every line must still break where one Pango
// layout of the whole text breaks it.
TEST(Framesetter, LongTextsBreakAsOneLayoutWould) {
    const std::string words = "Quick brown foxes jump over lazy dogs, then rest. ";
    const std::string han = repeat(kHan, 7) + "\xEF\xBC\x8C" + repeat(kHan, 5) + "\xE3\x80\x82 ";  // with CJK commas and stops
    const std::string emoji = "\xF0\x9F\x98\x80\xF0\x9F\x8D\x8E ";  // two characters outside the BMP and a space
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"one paragraph of words and ideographs", repeat(words + han, 160)},
        {"paragraphs of a few thousand characters", repeat(repeat(words, 60) + "\n" + repeat(han, 170) + "\n", 3)},
        {"CR LF paragraphs", repeat(repeat(han, 150) + "\r\n", 4)},
        {"one, two and three bytes a character", repeat("alpha \xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1 " + han, 400)},
        // Characters outside the BMP (drawn as boxes: the pinned fonts have no emoji, and there
        // Pango's own lines can pass the width, so only the tiling is compared).
        {"surrogate pairs", repeat(emoji, 3000)},
        {"no break opportunity but between ideographs", repeat(kHan, 13000)},
    };
    const double width = 233.5;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AttributedString string(c.text, plain());
        ASSERT_GT(string.length(), 8192u);
        // Line starts as UTF-8 bytes, from one Pango layout of the whole text.
        PangoLayout* layout = pango_layout_new(gfx::sharedPangoContext());
        pango_layout_set_text(layout, c.text.data(), static_cast<int>(c.text.size()));
        PangoFontDescription* font = gfx::newPangoFontDescription(kFont);
        pango_layout_set_font_description(layout, font);
        pango_font_description_free(font);
        pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        std::vector<int> expected;
        for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next) {
            auto* line = static_cast<PangoLayoutLine*>(l->data);
            if (line->length > 0 || expected.empty()) expected.push_back(line->start_index);
        }
        g_object_unref(layout);

        Framesetter setter(string);
        auto frame = setter.createFrame({}, {0, 0, width, 1e9});
        std::vector<int> starts;
        std::size_t end = 0;
        for (const auto& line : frame->lines()) {
            Range r = line->stringRange();
            EXPECT_EQ(r.location, end) << "lines tile the text";
            EXPECT_FALSE(r.location < string.length() && string.characters()[r.location] >= 0xDC00 &&
                         string.characters()[r.location] <= 0xDFFF) << "a line starts inside a character";
            end = r.end();
            starts.push_back(static_cast<int>(string.substring({0, r.location}).string().size()));
        }
        EXPECT_EQ(end, string.length());
        if (c.text.find("\xF0") == std::string::npos) {
            EXPECT_EQ(starts, expected);
        }
    }
}

// Pango sums a run's widths in an int: a paragraph past INT_MAX units used to come back as one
// line a million points wide. A frame of its top lays out only what it shows.
TEST(Framesetter, AParagraphOfAMillionUnitsStillWraps) {
    const std::string piece = "\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBC\x8C" + repeat(kHan, 13) + " ";  // 17 characters
    AttributedString string(repeat(piece, 20000), plain(7));  // past INT_MAX units at 15 points
    const double width = 312.5, lineHeight = kFont.lineHeight();
    Framesetter setter(string);
    Range fit;
    gfx::Size top = setter.suggestFrameSize({}, {width, 1000}, &fit);
    EXPECT_LE(top.width, width);
    const auto linesInTop = static_cast<std::size_t>(std::floor((1000 + 7) / (lineHeight + 7)));
    EXPECT_NEAR(top.height, linesInTop * (lineHeight + 7) - 7, 1e-6);
    EXPECT_GT(fit.length, 0u);
    EXPECT_LT(fit.length, linesInTop * 22);  // 20 ideographs of 15 points, and a space, fit a line

    // Asking for more lays out the rest, with the same lines at the top.
    auto all = setter.createFrame({}, {0, 0, width, 1e9});
    ASSERT_GT(all->lines().size(), string.length() / 22);
    EXPECT_EQ(all->lines().back()->stringRange().end(), string.length());
    std::size_t end = 0;
    for (const auto& line : all->lines()) {
        ASSERT_EQ(line->stringRange().location, end);
        end = line->stringRange().end();
        ASSERT_LE(line->typographicBounds(nullptr, nullptr, nullptr) - line->trailingWhitespaceWidth(), width + 1e-6);
    }
    EXPECT_EQ(setter.suggestFrameSize({}, {width, 1000}, &fit), top);
}

// Every unit maps to the byte its character starts at: both halves of a pair, and a lone
// surrogate (drawn as U+FFFD) on its own.
TEST(Framesetter, RunsCoverSurrogatesWhole) {
    std::u16string text;
    for (int i = 0; i < 40; ++i) text += u"a\u03B1\u4E2D\U0001F600";
    text += u'\xD800';
    text += u"b\U0001F600";
    AttributedString s(text, plain());
    auto line = Line::create(s);
    std::size_t end = 0;
    for (const auto& run : line->glyphRuns()) {
        EXPECT_EQ(run->stringRange().location, end);
        end = run->stringRange().end();
    }
    EXPECT_EQ(end, s.length());
    double x = -1;
    for (std::size_t i = 0; i <= s.length(); ++i) {
        const double at = line->offsetForStringIndex(i);
        const bool secondHalf = i > 0 && i < s.length() && text[i] >= 0xDC00 && text[i] <= 0xDFFF &&
                                text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
        if (secondHalf) EXPECT_EQ(at, x) << i;  // inside a pair: where the pair starts
        else EXPECT_GT(at, x) << i;
        x = at;
    }
}
