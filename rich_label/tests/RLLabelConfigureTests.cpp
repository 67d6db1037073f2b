#include "RLLabelTesting.h"

#include "platform/core/Log.h"
#include "platform/text/Line.h"
#include "rich_label/RLLabelConfigure.h"
#include "rich_label/RLLabelKeys.h"

#include <gtest/gtest.h>

using namespace rltest;
using text::AttributedString;
using text::Range;

TEST(RLLabelConfigure, AttributeEditsNeedAValueAndAKey) {
    auto c = core::make<RLLabelConfigure>();
    c->addAttributes(core::Value(), "k");
    c->addAttributes(1, "");
    EXPECT_FALSE(c->attributes);
    c->addAttributes(1, "k");
    ASSERT_TRUE(c->attributes);
    EXPECT_EQ(c->attributes->size(), 1u);
    c->removeAttributesForKey("k");
    EXPECT_TRUE(c->attributes->empty());
}

TEST(RLLabelConfigure, RangeConfigurationStampsTheLinkKeys) {
    auto font = [](double size) {
        return text::Attributes{{std::string(text::kFontAttributeName), text::box(gfx::Font::systemFont(size))}};
    };
    struct Case {
        const char* name;
        std::optional<text::Attributes> link, active;
        bool needRedrawn;
    } cases[] = {
        {"same font", font(15), font(15), false},
        {"other size", font(15), font(17), true},
        {"no active", font(15), std::nullopt, false},
    };
    AttributedString s("abcdef");
    for (const auto& c : cases) {
        auto out = RLLabelConfigure::configureLinkAttributedString(s, Range{1, 3}, c.link, c.active, {}, {}, {}, true);
        const core::Value* flag = out.attributeAt(kRLLinkNeedRedrawnAttributesName, 2);
        ASSERT_TRUE(flag) << c.name;
        EXPECT_EQ(flag->asBool(), c.needRedrawn) << c.name;
        EXPECT_EQ(*out.attributeAt(kRLLinkLengthAttributesName, 1), core::Value(3));
        EXPECT_TRUE(out.attributeAt(kRLLinkIdentifierAttributesName, 1));
        EXPECT_FALSE(out.attributeAt(kRLIsLinkAttributesName, 0));
    }
    auto plain = RLLabelConfigure::configureLinkAttributedString(s, Range{0, 2}, std::nullopt, std::nullopt,
                                                                 core::Value(), {}, {}, false);
    EXPECT_FALSE(plain.attributeAt(kRLIsLinkAttributesName, 0)->asBool());
    EXPECT_EQ(*plain.attributeAt(kRLLinkLengthAttributesName, 0), core::Value(0));
    EXPECT_FALSE(plain.attributeAt(kRLLinkIdentifierAttributesName, 0));
    EXPECT_FALSE(plain.attributeAt(kRLLinkParameterAttributesName, 0));  // a null parameter is nothing
}

TEST(RLLabelConfigure, ImagePlaceholderIsOneSizedEmptyCharacter) {
    auto placeholder = RLLabel::initWithImage(core::Value("icon"), {30, 20}, 0, nullptr);
    ASSERT_EQ(placeholder.characters(), std::u16string(1, text::kObjectReplacementCharacter));
    const auto* style =
        text::unbox<text::ParagraphStyle>(placeholder.attributeAt(text::kParagraphStyleAttributeName, 0));
    ASSERT_TRUE(style);
    EXPECT_EQ(style->lineBreakMode, text::LineBreakMode::charWrap);
    auto line = text::Line::create(placeholder);
    ASSERT_EQ(line->glyphRuns().size(), 1u);
    double ascent = 0, descent = -1;
    EXPECT_NEAR(line->glyphRuns()[0]->typographicBounds(&ascent, &descent, nullptr), 30, 1e-3);
    EXPECT_NEAR(ascent, 20, 1e-3);
    EXPECT_NEAR(descent, 0, 1e-3);

    // Inserted into a text, it takes the text's first paragraph style over the whole result.
    auto into = RLLabel::insertImageAtAttrString(AttributedString("ab", answerAttributes()), core::Value("icon"),
                                                 {30, 20}, 1, 0, nullptr);
    EXPECT_EQ(into.length(), 3u);
    EXPECT_EQ(text::unbox<text::ParagraphStyle>(into.attributeAt(text::kParagraphStyleAttributeName, 1))->lineBreakMode,
              text::LineBreakMode::wordWrap);

    core::LogCapture log;
    auto refused = RLLabel::insertImageAtAttrString(AttributedString("ab"), core::Value("icon"), {30, 20}, 3, 0, nullptr);
    EXPECT_EQ(refused, AttributedString("ab"));
    EXPECT_EQ(log.lines().size(), 1u);
}

TEST(RLLabelConfigure, InsertedViewsAreWrappedInAContainer) {
    auto view = core::make<ui::View>(gfx::Rect(5, 5, 1, 1));
    auto s = RLLabel::initWithView(core::Value(view), {40, 30}, 1, nullptr);
    const core::Value* info = s.attributeAt(kRLImageAttributeName, 0);
    ASSERT_TRUE(info);
    auto container = info->find(kRLImage)->object<ui::View>();
    ASSERT_TRUE(container);
    EXPECT_EQ(container->frame(), gfx::Rect(0, 0, 40, 30));
    ASSERT_EQ(container->subviews().size(), 1u);
    EXPECT_EQ(container->subviews()[0], view);
    EXPECT_EQ(view->tag(), RLTagForName(kRLInsertViewTag));
}

TEST(RLLabelConfigure, SearchesAreLeftToRightWithoutOverlaps) {
    AttributedString s("aaaa");
    EXPECT_EQ(RLLabel::sameLinkStringRangeArray(u"aa", s), (std::vector<Range>{{0, 2}, {2, 2}}));
    EXPECT_TRUE(RLLabel::sameLinkStringRangeArray(u"b", s).empty());
    EXPECT_TRUE(RLLabel::sameLinkStringRangeArray(u"", s).empty());

    // Every occurrence gets its own identifier, so neighbours stay separate links.
    auto link = RLLabel::configureAttributes(std::nullopt, true, std::nullopt, {}, {}, {});
    auto both = RLLabel::configureAttrString(s, std::u16string_view(u"aa"), true, link);
    EXPECT_FALSE(*both.attributeAt(kRLLinkIdentifierAttributesName, 0) ==
                 *both.attributeAt(kRLLinkIdentifierAttributesName, 2));
}

TEST(RLLabelConfigure, AttributedSearchLooksOnlyAtTheFirstOccurrence) {
    AttributedString target = RLLabelConfigure::linkAttStr("ab", std::nullopt, "x");
    target.append(RLLabelConfigure::linkAttStr("ab", std::nullopt, "y"));
    auto pattern = RLLabelConfigure::linkAttStr("ab", std::nullopt, "y");
    EXPECT_EQ(RLLabelConfigure::getFirstRangeWithAttString(pattern, target).location, text::kNotFound);
    EXPECT_EQ(RLLabelConfigure::getLinkAttStringRangeArray(pattern, target), (std::vector<Range>{{2, 2}}));
    auto first = RLLabelConfigure::linkAttStr("ab", std::nullopt, "x");
    EXPECT_EQ(RLLabelConfigure::getFirstRangeWithAttString(first, target), (Range{0, 2}));
}

TEST(RLLabelConfigure, AttributedBuilderKeepsTheFirstCharactersStyle) {
    AttributedString s("ab", answerAttributes());
    s.addAttribute(text::kFontAttributeName, text::box(gfx::Font::boldSystemFont(15)), {1, 1});
    auto out = RLLabel::initWithAttributedString(s, "id", nullptr);
    EXPECT_EQ(*text::unbox<gfx::Font>(out.attributeAt(text::kFontAttributeName, 1)), gfx::Font::systemFont(15));
    EXPECT_EQ(*out.attributeAt(kRLLinkStringIdentifierAttributesName, 1)->string(), "id");
}
