#include "RLLabelTesting.h"

#include "rich_label/RLLabelKeys.h"

#include <gtest/gtest.h>

using namespace rltest;
using text::AttributedString;
using text::Range;

namespace {

constexpr char16_t kSentinel = text::kObjectReplacementCharacter;

std::shared_ptr<RLLabel> makeLabel() { return core::make<RLLabel>(gfx::Rect(0, 0, 200, 60)); }

} // namespace

TEST(RLLabelStorage, StoredTextEndsWithOneSentinel) {
    auto label = makeLabel();
    label->setAttributedText(AttributedString("ab", answerAttributes()));
    ASSERT_TRUE(label->attributedText());
    EXPECT_EQ(label->attributedText()->characters(), std::u16string(u"ab") + kSentinel);
    // The sentinel has no attributes of its own.
    EXPECT_TRUE(label->attributedText()->attributesAt(2).empty());

    label->setAttributedText(AttributedString());
    EXPECT_EQ(label->attributedText()->characters(), std::u16string(1, kSentinel));

    label->setText(std::string("hi"));
    EXPECT_EQ(label->text(), "hi");
    EXPECT_EQ(label->attributedText()->length(), 3u);
    // A plain string takes the label's font and colour.
    const auto* font = text::unbox<gfx::Font>(label->attributedText()->attributeAt(text::kFontAttributeName, 0));
    ASSERT_TRUE(font);
    EXPECT_EQ(*font, gfx::Font::systemFont(17));
}

TEST(RLLabelStorage, NothingGivenShowsNothing) {
    auto label = makeLabel();
    label->setText(std::string("hi"));
    label->setText(std::nullopt);
    EXPECT_FALSE(label->text());
    EXPECT_FALSE(label->attributedText());
    EXPECT_EQ(label->sizeThatFits({200, 100}), gfx::Size(0, 0));
    auto image = render(*label);
    for (auto pixel : image->pixels()) ASSERT_EQ(pixel, 0xFFFFFFFFu);
}

TEST(RLLabelStorage, OwnTextIsIgnoredUnlessCopySizesAreDue) {
    auto label = makeLabel();
    label->setAttributedText(AttributedString("ab", answerAttributes()));
    auto stored = *label->attributedText();
    label->setAttributedText(stored);
    EXPECT_EQ(label->attributedText()->length(), 3u);
    label->setCaculateCopySize(true);
    label->setAttributedText(stored);
    EXPECT_EQ(label->attributedText()->length(), 4u);  // taken again, with a second sentinel
}

TEST(RLLabelStorage, LinkRangesAreStampedPerIdentifier) {
    auto link = RLLabel::configureAttributes(std::nullopt, true, std::nullopt, {}, {}, {});
    AttributedString text(han(8), answerAttributes());
    text = RLLabel::configureAttrString(text, Range{1, 2}, link);
    text = RLLabel::configureAttrString(text, Range{3, 2}, link);  // adjacent, another identifier
    // One link split into two runs by a colour in its middle keeps one range.
    text = RLLabel::configureAttrString(text, Range{5, 3}, link);
    text.addAttribute(text::kForegroundColorAttributeName, text::box(gfx::Color::rgb(255, 0, 0)), {6, 1});
    auto label = makeLabel();
    label->setAttributedText(text);
    const auto& stored = *label->attributedText();
    auto rangeAt = [&](std::size_t i) -> std::string {
        const core::Value* v = stored.attributeAt(kRLLinkRangeAttributesName, i);
        return v && v->string() ? *v->string() : "none";
    };
    EXPECT_EQ(rangeAt(0), "none");
    EXPECT_EQ(rangeAt(1), "{1, 2}");
    EXPECT_EQ(rangeAt(3), "{3, 2}");
    EXPECT_EQ(rangeAt(5), "{5, 3}");
    EXPECT_EQ(rangeAt(7), "{5, 3}");
    EXPECT_EQ(rangeAt(8), "none");
}

TEST(RLLabelStorage, RenderedTextAppliesLinkAttributes) {
    text::Attributes blue{{std::string(text::kForegroundColorAttributeName), text::box(gfx::Color::rgb(0, 0, 255))}};
    text::Attributes bold{{std::string(text::kFontAttributeName), text::box(gfx::Font::boldSystemFont(15))}};
    auto configure = RLLabel::configureAttributes(blue, true, bold, {}, {}, {});
    auto label = makeLabel();
    label->setAttributedText(RLLabel::configureAttrString(AttributedString(han(4), answerAttributes()),
                                                          Range{1, 2}, configure));
    const auto& rendered = label->renderedAttributedText();
    EXPECT_EQ(*text::unbox<gfx::Color>(rendered.attributeAt(text::kForegroundColorAttributeName, 1)),
              gfx::Color::rgb(0, 0, 255));
    // Not pressed: the pressed-link keys are taken off the link's runs (the font with them).
    EXPECT_FALSE(rendered.attributeAt(text::kFontAttributeName, 1));
    EXPECT_TRUE(rendered.attributeAt(text::kFontAttributeName, 0));
}

TEST(RLLabelStorage, CopyModeOnlyWithCopyEnabled) {
    auto label = makeLabel();
    label->setCaculateCopySize(true);
    label->setAttributedText(AttributedString("ab", answerAttributes()));
    EXPECT_FALSE(label->attributedText()->attributeAt(text::kLinkAttributeName, 0));
    label->setEnableCopy(true);
    EXPECT_TRUE(label->attributedText()->attributeAt(text::kLinkAttributeName, 0));
}

TEST(RLLabelStorage, RemovingLinksKeepsOneSentinel) {
    auto link = RLLabel::configureAttributes(
        text::Attributes{{std::string(kRLBackgroundFillColor), text::box(gfx::Color::rgb(0, 255, 0))}}, true,
        std::nullopt, {}, {}, {});
    auto label = makeLabel();
    label->setAttributedText(RLLabel::configureAttrString(AttributedString(han(6), answerAttributes()),
                                                          Range{2, 2}, link));
    auto after = label->removeAllLink();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->length(), 7u);
    EXPECT_FALSE(after->attributeAt(kRLIsLinkAttributesName, 2));
    EXPECT_FALSE(after->attributeAt(kRLLinkAttributesName, 2));
    EXPECT_TRUE(after->attributeAt(kRLLinkLengthAttributesName, 2));  // removeAllLink keeps the length
    auto again = label->removeAllLink();
    EXPECT_EQ(*again, *after);
}
