#include "RLLabelTesting.h"

#include "platform/gfx/TextLayout.h"
#include "rich_label/RLLabelKeys.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rltest;
using text::AttributedString;

namespace {

const double kAnswerWidth = 335;  // a 375-point screen less the cell's margins

class RLLabelLayout : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gfx::TextLayout::usesPinnedFonts()) << "fonts-noto-cjk is needed for exact metrics";
        lineHeight = gfx::Font::systemFont(15).lineHeight();
    }
    double lineHeight = 0;
};

int pangoLines(const std::string& text, double width) {
    gfx::TextLayout layout;
    layout.setFont(gfx::Font::systemFont(15));
    layout.setLineBreak(gfx::TextLayout::LineBreak::wordWrap);
    layout.setMaximumLines(0);
    layout.setWidth(width);
    layout.setText(text);
    return layout.lineCount();
}

} // namespace

TEST_F(RLLabelLayout, MeasuredHeightsAreTheRowsHeights) {
    const std::string english = "Would you like to grab a coffee this weekend? I know a quiet place near the river "
                                "where the cakes are good and nobody is in a hurry.";
    const std::string mixed = han(30) + " coffee " + han(25) + " OK?";
    struct Case {
        const char* name;
        std::string text;
        std::int64_t lines;
        double spacing;
        gfx::EdgeInsets insets;
    } cases[] = {
        {"chinese", han(60), 0, 0, {}},
        {"chinese spaced", han(60), 0, 5, {}},
        {"chinese limited", han(200), 2, 5, {}},
        {"chinese inset", han(40), 0, 0, {3, 20, 4, 0}},
        {"english", english, 0, 0, {}},
        {"mixed", mixed, 0, 4, {}},
        {"mixed one line", mixed, 1, 4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The text is measured at the constraint's width; the insets are added around it.
        int lines = c.lines == 1 ? 1 : pangoLines(c.text, kAnswerWidth);
        if (c.lines > 1) lines = std::min<int>(lines, static_cast<int>(c.lines));
        double expected = std::ceil(lines * lineHeight + (lines - 1) * c.spacing) + c.insets.top + c.insets.bottom;
        gfx::Size size = RLLabel::sizeWithAttributedString(AttributedString(c.text, answerAttributes(15, c.spacing)),
                                                           {kAnswerWidth, 1e9}, c.lines, c.insets);
        EXPECT_NEAR(size.height, expected, 1e-6);
        if (c.lines != 1) {
            EXPECT_LE(size.width, kAnswerWidth + c.insets.left + c.insets.right);
        }
    }
    // 18 ideographs of 15 points take 270 points; the width is rounded up and insets added.
    EXPECT_EQ(RLLabel::sizeWithAttributedString(AttributedString(han(18), answerAttributes()), {kAnswerWidth, 1e9}, 0,
                                                {0, 20, 0, 0}),
              gfx::Size(290, std::ceil(lineHeight)));
}

TEST_F(RLLabelLayout, MeasuringLeavesTheSizingLabelClean) {
    EXPECT_EQ(RLLabel::sizeWithAttributedString(std::nullopt, {100, 100}, 0), gfx::Size(0, 0));
    EXPECT_EQ(RLLabel::sizeWithAttributedString(AttributedString(), {100, 100}, 0), gfx::Size(0, 0));
    RLLabel::sizeWithAttributedString(AttributedString(han(10), answerAttributes()), {100, 1e9}, 3, {1, 2, 3, 4});
    auto sizing = RLLabel::instance();
    EXPECT_TRUE(sizing->caculateSizeOnly());
    EXPECT_FALSE(sizing->attributedText());
    EXPECT_EQ(sizing->numberOfLines(), 0);
    EXPECT_EQ(sizing->textInsets(), gfx::EdgeInsets{});
}

TEST_F(RLLabelLayout, VerticalAlignmentOffsetsAShortText) {
    struct Case {
        std::int64_t alignment;
        double offset;  // of the text block inside 100 points of insetted height
    } cases[] = {{0, std::floor((100 - std::ceil(lineHeight)) * 0.5)},
                 {1, 0},
                 {2, 100 - std::ceil(lineHeight)}};
    std::optional<double> inkTop;  // the line's image box starts this far below the text block's top
    for (const auto& c : cases) {
        auto label = core::make<RLLabel>(gfx::Rect(0, 0, 200, 110));
        label->setTextInsets({5, 0, 5, 0});
        label->setNumberOfLines(0);
        label->setVerticalAlignment(c.alignment);
        label->setAttributedText(AttributedString(han(3), answerAttributes()));
        gfx::Rect r = label->textRectForBounds(label->bounds(), 0);
        EXPECT_DOUBLE_EQ(label->yOffset(), c.offset) << c.alignment;
        EXPECT_DOUBLE_EQ(r.y(), 5 + c.offset);
        EXPECT_DOUBLE_EQ(r.height(), 100);  // the whole inset height, not the text's
        render(*label);
        ASSERT_EQ(label->lineLayoutModels().size(), 1u);
        // The line's box moves with the offset.
        double top = label->lineLayoutModels()[0]->lineVerticalLayout.lineRect.y() - 5 - c.offset;
        if (!inkTop) inkTop = top;
        EXPECT_NEAR(top, *inkTop, 1e-6);
        EXPECT_GE(top, 0);
    }
    // A text taller than the label is not offset.
    auto tall = core::make<RLLabel>(gfx::Rect(0, 0, 60, 20));
    tall->setNumberOfLines(0);
    tall->setVerticalAlignment(2);
    tall->setAttributedText(AttributedString(han(20), answerAttributes()));
    tall->textRectForBounds(tall->bounds(), 0);
    EXPECT_EQ(tall->yOffset(), 0);
}

TEST_F(RLLabelLayout, LastVisibleLineEndsWithTheToken) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 150, 200));
    label->setNumberOfLines(2);
    label->setLineBreakMode(ui::LineBreakMode::truncateTail);
    text::Attributes marked = answerAttributes();
    marked.set(std::string(kRLBackgroundFillColor), text::box(gfx::Color::rgb(255, 0, 0)));
    label->setAttributedTruncationToken(AttributedString("\xE2\x80\xA6", marked));
    label->setAttributedText(AttributedString(han(40) + "\n", answerAttributes()));
    label->setEnableCopy(true);  // keeps every run's item, so the token's run can be found
    render(*label);
    EXPECT_EQ(label->textNumberOfLines(), 2);
    ASSERT_EQ(label->lineLayoutModels().size(), 2u);
    std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> second;
    for (const auto& item : label->allRunItems())
        if (item->lineVerticalLayout.line == 1) second.push_back(item);
    ASSERT_FALSE(second.empty());
    EXPECT_TRUE(second.back()->fillColor) << "the token comes last on the last line";
    for (std::size_t i = 0; i + 1 < second.size(); ++i) EXPECT_FALSE(second[i]->fillColor);
    EXPECT_LE(second.back()->locBounds.x() + second.back()->locBounds.width(), 150 + 1e-6);
}

TEST_F(RLLabelLayout, CopyModeGivesEachCharacterItsOwnRun) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 300, 60));
    label->setNumberOfLines(0);
    label->setAttributedText(AttributedString(han(3) + "ab", answerAttributes()));
    label->setEnableCopy(true);  // takes its own text again, sentinel included
    render(*label);
    const auto& items = label->allRunItems();
    ASSERT_EQ(items.size(), 7u);  // five characters and two sentinels
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]->characterIndex, static_cast<std::int64_t>(i));
        EXPECT_EQ(items[i]->characterRange, (text::Range{i, 1}));
    }
    EXPECT_FALSE(label->caculateCopySize());  // only the next draw records them
}

TEST_F(RLLabelLayout, RecordsFollowTheLabelsSize) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 300, 300));
    label->setNumberOfLines(0);
    label->setAttributedText(AttributedString(han(30), answerAttributes()));
    render(*label);
    EXPECT_EQ(label->lineLayoutModels().size(), 2u);
    // A narrower label lays out again instead of dropping lines.
    label->setFrame({0, 0, 150, 300});
    render(*label);
    EXPECT_EQ(label->textNumberOfLines(), 3);
    EXPECT_EQ(label->lineLayoutModels().size(), 3u);
}

TEST_F(RLLabelLayout, LinkBoxesAreThoseOfTheLastDrawOnly) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 300, 60));
    label->setNumberOfLines(0);
    auto text = RLLabel::configureAttrString(AttributedString(han(10), answerAttributes()), text::Range{2, 3},
                                             RLLabel::configureAttributes(std::nullopt, true, std::nullopt, {}, {}, {}));
    label->setAttributedText(text);
    render(*label);
    ASSERT_EQ(label->linkStrokeItems().size(), 1u);
    EXPECT_EQ(label->linkStrokeItems()[0]->range, (text::Range{2, 3}));
    EXPECT_NEAR(label->linkStrokeItems()[0]->locBounds.x(), 30, 1e-3);
    render(*label);
    EXPECT_EQ(label->linkStrokeItems().size(), 1u);
}

TEST_F(RLLabelLayout, RunBoxesMergeByDecorationOrLink) {
    auto label = core::make<RLLabel>();
    auto item = [](double x, double width, bool decorated, double radius) {
        auto i = core::make<RLGlyphRunStrokeItem>();
        i->runBounds = {x, 0, width, 10};
        i->locBounds = {x, 0, width, 10};
        if (decorated) {
            i->fillColor = i->strokeColor = i->activeFillColor = i->activeStrokeColor = gfx::Color::rgb(0, 0, 255);
            i->cornerRadius = radius;
            i->strokeLineWidth = 1;
        }
        return i;
    };
    struct Case {
        const char* name;
        std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> items;
        std::vector<double> widths;  // of the merged boxes, after growing to the line height
    } cases[] = {
        {"touching alike", {item(0, 20, true, 5), item(20, 30, true, 5)}, {52}},
        {"a gap", {item(0, 20, true, 5), item(20.01, 30, true, 5)}, {22, 32}},
        {"other radius", {item(0, 20, true, 5), item(20, 30, true, 0)}, {22, 32}},
        {"plain runs", {item(0, 20, false, 0), item(20, 30, false, 0)}, {22, 32}},
    };
    for (auto& c : cases) {
        auto merged = label->mergeLineSameStrokePathItems(c.items, 12);
        std::vector<double> widths;
        for (const auto& m : merged) widths.push_back(m->runBounds.width());
        EXPECT_EQ(widths, c.widths) << c.name;
    }
    // Two runs of one link merge even apart; different links never do.
    auto a = item(0, 10, false, 0), b = item(40, 10, false, 0), d = item(60, 10, false, 0);
    a->isLink = b->isLink = d->isLink = true;
    a->range = b->range = {0, 4};
    d->range = {6, 2};
    EXPECT_EQ(label->mergeLineSameStrokePathItems({a, b, d}, 10).size(), 2u);
    // The heads absorb in place, so the drawing of the runs sees the widened box too.
    EXPECT_EQ(a->runBounds.width(), 20);
}

TEST_F(RLLabelLayout, StrikethroughAndRadiiFollowTheDecoration) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 200, 40));
    auto item = core::make<RLGlyphRunStrokeItem>();
    item->runBounds = {10, 10, 50, 20};
    item->strikethroughStyle = 2;
    item->strikethroughColor = gfx::Color::rgb(255, 0, 0);
    gfx::BitmapContext context({200, 40}, 1);
    label->drawBackgroundColor(context, *item, false, false, true);
    auto image = context.makeImage();
    // From box x + 1 to box x + 49 at mid-height (y 20, two points thick, square caps).
    EXPECT_EQ(image->pixel(10, 20) >> 24, 255u);
    EXPECT_EQ(image->pixel(59, 20) >> 24, 255u);
    EXPECT_EQ(image->pixel(61, 20) >> 24, 0u);
    EXPECT_EQ(image->pixel(30, 15) >> 24, 0u);
}
