#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/TextLayout.h"

#include <gtest/gtest.h>

namespace gfx {
namespace {

TextLayout layoutOf(const std::string& text, double size, std::optional<double> width = std::nullopt, int lines = 0) {
    TextLayout t;
    t.setFont(Font::systemFont(size));
    t.setWidth(width);
    t.setMaximumLines(lines);
    t.setText(text);
    return t;
}

TEST(gfx_TextLayout, UsesThePinnedCjkFont) {
    EXPECT_TRUE(TextLayout::usesPinnedFonts());
    // CJK ideographs are one em wide in Noto Sans CJK.
    EXPECT_NEAR(layoutOf("你好世界", 20).size().width, 80, 0.5);
    EXPECT_NEAR(Font::systemFont(20).lineHeight(), layoutOf("你好", 20).size().height, 0.01);
    EXPECT_GT(Font::boldSystemFont(20).lineHeight(), 0);
}

TEST(gfx_TextLayout, WrapsTruncatesAndLimitsLines) {
    const std::string text = "The quick brown fox jumps over the lazy dog again and again";
    auto one = layoutOf(text, 15);
    EXPECT_EQ(one.lineCount(), 1);
    auto wrapped = layoutOf(text, 15, 100.0);
    EXPECT_GT(wrapped.lineCount(), 2);
    EXPECT_LE(wrapped.size().width, 100);
    auto two = layoutOf(text, 15, 100.0, 2);
    EXPECT_EQ(two.lineCount(), 2);
    EXPECT_NEAR(two.size().height, 2 * Font::systemFont(15).lineHeight(), 0.01);
    auto tall = layoutOf(text, 15, 100.0);
    tall.setHeight(Font::systemFont(15).lineHeight() * 3.5);
    EXPECT_EQ(tall.lineCount(), 3);
    EXPECT_EQ(layoutOf("", 15).size(), Size(0, 0));
}

TEST(gfx_TextLayout, DrawsInTheGivenColour) {
    BitmapContext ctx({60, 30}, 2);
    auto t = layoutOf("中", 20);
    t.draw(ctx, {0, 0}, Color::rgb(255, 0, 0));
    auto image = ctx.makeImage();
    int red = 0, other = 0;
    for (uint32_t p : image->pixels()) {
        if ((p >> 24) == 0) continue;
        ((p & 0xffff) == 0 ? red : other)++;
    }
    EXPECT_GT(red, 50);
    EXPECT_EQ(other, 0);
}

// `count` characters: a head of "开头" then ideographs and digits, ending in "结尾".
std::string longLine(std::size_t count) {
    std::string text = "开头";
    const std::string pattern = "标签12";  // 4 characters
    while (text.size() < (count - 4) / 4 * 4 * 2) text += pattern;
    return text + "结尾";
}

std::shared_ptr<const Image> picture(const TextLayout& t, Size size) {
    BitmapContext ctx(size, 2);
    t.draw(ctx, {0, 0}, Color::black());
    return ctx.makeImage();
}

// One line of any length is cut as one of a few thousand characters is: the same characters
// beside the ellipsis, drawn alike, however the line is truncated or wrapped.
TEST(gfx_TextLayout, OneLineOfAnyLengthShowsAsAShortOneWithItsEllipsis) {
    using LineBreak = TextLayout::LineBreak;
    const std::pair<LineBreak, const char*> modes[] = {
        {LineBreak::truncateTail, "tail"}, {LineBreak::truncateHead, "head"}, {LineBreak::truncateMiddle, "middle"},
        {LineBreak::wordWrap, "word wrap"}, {LineBreak::clip, "clip"},
    };
    const std::string shortText = longLine(2000);
    for (std::size_t count : {200000, 1000000}) {
        const std::string text = longLine(count);
        for (const auto& [modeOfCase, name] : modes) {
            const LineBreak mode = modeOfCase;  // a lambda cannot capture a binding in every compiler
            SCOPED_TRACE(std::to_string(count) + " characters, " + name);
            auto layout = [&](const std::string& t) {
                TextLayout l = layoutOf(t, 18, 150.0, 1);
                l.setLineBreak(mode);
                return l;
            };
            TextLayout expected = layout(shortText), actual = layout(text);
            EXPECT_EQ(actual.lineCount(), 1);
            EXPECT_EQ(actual.size(), expected.size());
            EXPECT_LE(actual.size().width, 150);
            EXPECT_EQ(picture(actual, {150, 30})->pixels(), picture(expected, {150, 30})->pixels());
        }
    }
    // A height of one line cuts as a line limit does; what follows the first paragraph never shows.
    TextLayout tall = layoutOf(longLine(200000) + "\n" + longLine(200000), 18, 150.0);
    tall.setLineBreak(TextLayout::LineBreak::truncateTail);
    tall.setHeight(Font::systemFont(18).lineHeight() * 1.5);
    TextLayout expected = layoutOf(shortText, 18, 150.0, 1);
    EXPECT_EQ(tall.lineCount(), 1);
    EXPECT_EQ(picture(tall, {150, 30})->pixels(), picture(expected, {150, 30})->pixels());
    // The ellipsis is there: the cut line is not the first characters alone.
    TextLayout head = layoutOf("开头标签12标签", 18, 150.0, 1);
    EXPECT_NE(picture(expected, {150, 30})->pixels(), picture(head, {150, 30})->pixels());
}

// Without a width a long line measures the sum of its characters' widths.
TEST(gfx_TextLayout, UnlimitedLongLineMeasuresItsFullWidth) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "中";
    const Size size = layoutOf(text, 20).size();
    EXPECT_NEAR(size.width, 20.0 * 200000, 20.0);
    EXPECT_NEAR(size.height, Font::systemFont(20).lineHeight(), 0.01);
    EXPECT_NEAR(layoutOf(text + "\n中", 20).size().width, 20.0 * 200000, 20.0);
}

} // namespace
} // namespace gfx
