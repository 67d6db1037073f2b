#include "RLLabelTesting.h"

#include "platform/gfx/TextLayout.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "rich_label/RLLabelKeys.h"

#include <gtest/gtest.h>

using namespace rltest;
using text::AttributedString;

namespace {

std::string golden(const char* name) { return std::string(QUILLORA_GOLDEN_DIR) + "/" + name; }

std::shared_ptr<const gfx::Image> swatch() {
    gfx::BitmapContext context({18, 18}, 2);
    context.setFillColor(gfx::Color::rgb(240, 120, 40));
    context.fillPath(gfx::Path::ellipse({0, 0, 18, 18}));
    context.setFillColor(gfx::Color::whiteColor());
    context.fillRect({6, 6, 6, 6});
    return context.makeImage();
}

class RLLabelSnapshot : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gfx::TextLayout::usesPinnedFonts()) GTEST_SKIP() << "fonts-noto-cjk is needed for pinned pixels";
    }
};

} // namespace

TEST_F(RLLabelSnapshot, AnswerWithHighlightedWords) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 240, 70));
    label->setNumberOfLines(0);
    label->setTextInsets({0, 10, 0, 0});
    text::Attributes highlight{
        {std::string(text::kForegroundColorAttributeName), text::box(gfx::Color::rgb(255, 255, 255))},
        {std::string(kRLBackgroundFillColor), text::box(gfx::Color::rgb(230, 80, 80))},
        {std::string(kRLBackgroundLineCornerRadius), 3}};
    auto configure = RLLabel::configureAttributes(highlight, false, std::nullopt, {}, {}, {});
    AttributedString answer(han(12) + "\xE8\xAF\xB4\xE8\xAF\x9D" + han(9), answerAttributes(15, 4));
    answer = RLLabel::configureAttrString(answer, std::u16string_view(u"说话"), true, configure);
    label->setAttributedText(answer);
    EXPECT_TRUE(gfx::testing::matchesGolden(*render(*label, 2), golden("answer_highlighted.png")));
}

TEST_F(RLLabelSnapshot, InsertedImageSitsInTheLine) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 200, 40));
    label->setNumberOfLines(0);
    label->setVerticalAlignment(1);
    auto text = RLLabel::insertImageAtAttrString(AttributedString(han(6), answerAttributes()),
                                                 text::box(gfx::ImagePtr(swatch())), {18, 18}, 3, 0, nullptr);
    label->setAttributedText(text);
    EXPECT_TRUE(gfx::testing::matchesGolden(*render(*label, 2), golden("inserted_image.png")));
}

TEST_F(RLLabelSnapshot, TruncatedLabel) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 150, 44));
    label->setNumberOfLines(2);
    label->setLineBreakMode(ui::LineBreakMode::truncateTail);
    label->setAttributedText(AttributedString(han(40), answerAttributes()));
    EXPECT_TRUE(gfx::testing::matchesGolden(*render(*label, 2), golden("truncated.png")));
}
