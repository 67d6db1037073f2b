#include "RLTouchTesting.h"

#include "platform/ca/MediaTime.h"
#include "platform/ca/Renderer.h"
#include "platform/gfx/TextLayout.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/MenuController.h"

using namespace rltest;

namespace selection_view_test {

using Span = std::pair<std::int64_t, std::int64_t>;

std::string golden(const char* name) { return std::string(QUILLORA_GOLDEN_DIR) + "/" + name; }

class RLSelectionView : public RLTouchTest {
protected:
    // The window as drawn inside `area` (window points), at scale 2, on white.
    std::shared_ptr<const gfx::Image> renderArea(gfx::Rect area) {
        host->snapshot();
        gfx::BitmapContext context(area.size, 2);
        context.setFillColor(gfx::Color::whiteColor());
        context.fillRect({{0, 0}, area.size});
        context.translate(-area.x(), -area.y());
        ca::Renderer::render(*window->layer(), context, ca::currentMediaTime());
        return context.makeImage();
    }
    void selectSpan(RLLabel& label, std::size_t from, std::size_t to) {
        doubleTap(charPoint(label, from));
        auto s = selection();
        for (const auto& item : label.selectableRunItems())
            if (item->characterIndex == static_cast<std::int64_t>(to)) {
                s->showRLSelectViewWithPoint({}, 0, item, s->startCopyRunItem(), item->copy(),
                                             label.lineLayoutModels(), false);
                return;
            }
    }
};

TEST_F(RLSelectionView, HighlightTakesOneRectangleTwoOrThreeBands) {
    auto label = copyLabel(han(30), {20, 100, 150, 80});
    struct Case {
        const char* name;
        Span span;
        bool differentLine, head, middle, tail;
        const char* picture;
    } cases[] = {
        {"one line", {2, 6}, false, false, true, false, "selection_one_line.png"},
        {"two adjacent lines: no middle", {5, 13}, true, true, false, true, "selection_two_lines.png"},
        {"three lines", {5, 25}, true, true, true, true, "selection_three_lines.png"},
    };
    bool pinned = gfx::TextLayout::usesPinnedFonts();
    for (const auto& c : cases) {
        selectSpan(*label, static_cast<std::size_t>(c.span.first), static_cast<std::size_t>(c.span.second));
        auto range = selection()->textRangeView();
        EXPECT_EQ(range->differentLine(), c.differentLine) << c.name;
        EXPECT_EQ(!RLSelectTextRangeView::isNull(range->headRect()), c.head) << c.name;
        EXPECT_EQ(!RLSelectTextRangeView::isNull(range->middleRect()), c.middle) << c.name;
        EXPECT_EQ(!RLSelectTextRangeView::isNull(range->tailRect()), c.tail) << c.name;
        if (pinned) {
            ui::MenuController::shared().setMenuVisible(false, false);
            EXPECT_TRUE(gfx::testing::matchesGolden(*renderArea({10, 85, 170, 110}), golden(c.picture))) << c.name;
        }
        selection()->hideView();
    }
}

TEST_F(RLSelectionView, LoupeKeepsItsHeightNearTheTopAndShowsOnlyWhatIsBelowIt) {
    auto loupe = core::make<RLMagnifierView>(gfx::Rect{0, 0, 120, 44});
    window->addSubview(loupe);
    loupe->updateMagnifyPoint({100, 100}, {100, 100});
    EXPECT_EQ(loupe->center(), (gfx::Point{100, 78}));
    loupe->updateMagnifyPoint({60, 10}, {60, 10});  // under half the loupe's height from the top
    EXPECT_EQ(loupe->center(), (gfx::Point{60, 78}));

    // A blue square under the loupe itself: the picture shows the square, not the loupe's body.
    auto square = core::make<ui::View>(gfx::Rect{50, 70, 20, 20});
    square->setBackgroundColor(gfx::Color::rgb(0, 0, 255));
    window->insertSubview(square, 0);
    loupe->updateMagnifyPoint({60, 80}, {60, 100});
    loupe->contentLayer()->displayIfNeeded();
    auto picture = loupe->contentLayer()->contents();
    ASSERT_TRUE(picture);
    uint32_t middle = picture->pixel(picture->pixelWidth() / 2, picture->pixelHeight() / 2);
    EXPECT_EQ(middle, 0xff0000ffu);
}

TEST_F(RLSelectionView, Goldens) {
    if (!gfx::TextLayout::usesPinnedFonts()) GTEST_SKIP() << "fonts-noto-cjk is needed for pinned pixels";
    // The loupe over an answer, during a long press.
    auto label = copyLabel(han(30), {20, 100, 150, 80});
    host->touchDown(charPoint(*label, 13));
    host->advance(0.6);
    host->snapshot();
    auto loupe = selection()->magnifierView();
    ASSERT_FALSE(loupe->isHidden());
    gfx::Rect around = loupe->frame().insetBy(-6, -6);
    EXPECT_TRUE(gfx::testing::matchesGolden(*renderArea(around), golden("loupe_over_answer.png")));
    host->touchUp(charPoint(*label, 13));

    // The edit menu.
    auto bar = ui::MenuController::shared().menuView();
    ASSERT_TRUE(bar);
    host->advance(0.2);
    EXPECT_TRUE(gfx::testing::matchesGolden(*renderArea(bar->frame().insetBy(-4, -4)), golden("menu_bar.png")));
    selection()->hideView();

    // A label casting a soft shadow.
    auto shadowed = core::make<RLLabel>(gfx::Rect(0, 0, 200, 40));
    shadowed->setNumberOfLines(0);
    shadowed->setAttributedText(text::AttributedString(han(8), answerAttributes(20)));
    shadowed->setShadowColor(gfx::Color{0, 0, 0, 0.6});
    shadowed->setShadowOffset({0, 2});
    shadowed->setShadowRadius(3);
    EXPECT_TRUE(gfx::testing::matchesGolden(*rltest::render(*shadowed, 2), golden("shadowed_label.png")));
    // Highlighted, the label draws no shadow.
    shadowed->setHighlighted(true);
    auto plain = core::make<RLLabel>(gfx::Rect(0, 0, 200, 40));
    plain->setNumberOfLines(0);
    plain->setAttributedText(text::AttributedString(han(8), answerAttributes(20)));
    plain->setHighlighted(true);
    EXPECT_EQ(rltest::render(*shadowed, 2)->pixels(), rltest::render(*plain, 2)->pixels());
}

} // namespace selection_view_test

namespace {

// Glyphs outside the clip are skipped: what is inside must look exactly as in a full drawing.
TEST(RLLabelClip, APartlyClippedDrawingMatchesTheFullOneInsideTheClip) {
    auto label = core::make<RLLabel>(gfx::Rect(0, 0, 150, 120));
    label->setNumberOfLines(0);
    label->setTextAlignment(ui::TextAlignment::center);
    label->setAttributedText(text::AttributedString(han(30) + "abc", answerAttributes()));
    auto full = rltest::render(*label, 2);
    for (gfx::Rect clip : {gfx::Rect{0, 60, 150, 60}, gfx::Rect{40, 0, 30, 120}, gfx::Rect{0, 33, 150, 5}}) {
        gfx::BitmapContext context(label->bounds().size, 2);
        context.setFillColor(gfx::Color::whiteColor());
        context.fillRect(label->bounds());
        context.clipToRect(clip);
        label->drawRect(context, label->bounds());
        auto part = context.makeImage();
        for (int y = static_cast<int>(clip.minY() * 2); y < static_cast<int>(clip.maxY() * 2); ++y)
            for (int x = static_cast<int>(clip.minX() * 2); x < static_cast<int>(clip.maxX() * 2); ++x)
                ASSERT_EQ(part->pixel(x, y), full->pixel(x, y)) << "at " << x << ", " << y;
    }
}

} // namespace
