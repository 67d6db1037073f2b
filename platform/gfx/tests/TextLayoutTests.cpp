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

} // namespace
} // namespace gfx
