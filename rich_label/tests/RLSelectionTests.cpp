#include "RLTouchTesting.h"

#include "platform/ui/Application.h"
#include "platform/ui/MenuController.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/ScrollView.h"

using namespace rltest;

namespace {

using RLSelection = RLTouchTest;
using Span = std::pair<std::int64_t, std::int64_t>;

// Three lines of ten characters each in a 150-point label.
constexpr int kChars = 30;

class RLSelectionPins : public RLTouchTest {
protected:
    std::shared_ptr<RLLabel> label;
    void SetUp() override {
        RLTouchTest::SetUp();
        label = copyLabel(han(kChars), {20, 100, 150, 80});
        ASSERT_EQ(label->lineLayoutModels().size(), 3u);
    }
    // Selects [from, to] by a double tap and a drag of the right pin.
    void select(std::size_t from, std::size_t to) {
        doubleTap(charPoint(*label, from));
        if (to != from) host->drag(rightPin(), charPoint(*label, to));
        ASSERT_EQ(selected(), (Span(static_cast<std::int64_t>(from), static_cast<std::int64_t>(to))));
    }
    // Window points on the two pins' stems.
    gfx::Point leftPin() {
        auto s = selection()->startCopyRunItem()->withOutMergeBounds;
        return selection()->convertPoint({s.minX(), s.midY()}, nullptr);
    }
    gfx::Point rightPin() {
        auto e = selection()->endCopyRunItem()->withOutMergeBounds;
        return selection()->convertPoint({e.maxX(), e.midY()}, nullptr);
    }
};

TEST_F(RLSelectionPins, DraggingAPinKeepsTheStartBeforeTheEnd) {
    gfx::Rect last = label->allRunItems()[kChars - 1]->withOutMergeBounds;
    struct Case {
        const char* name;
        bool left;
        std::function<gfx::Point()> to;
        Span expected;
    } cases[] = {
        {"left pin past the end", true, [&] { return charPoint(*label, 14); }, {5, 12}},
        {"left pin onto the end", true, [&] { return charPoint(*label, 12); }, {12, 12}},
        {"left pin back", true, [&] { return charPoint(*label, 2); }, {2, 12}},
        {"right pin before the start", false, [&] { return charPoint(*label, 3); }, {5, 12}},
        {"right pin onto the start", false, [&] { return charPoint(*label, 5); }, {5, 5}},
        {"right pin below the last line", false, [&] { return label->convertPoint({10, last.maxY() + 5}, nullptr); },
         {5, kChars - 1}},
    };
    for (const auto& c : cases) {
        select(5, 12);
        host->drag(c.left ? leftPin() : rightPin(), c.to(), 1);
        EXPECT_EQ(selected(), c.expected) << c.name;
        EXPECT_TRUE(selection()->magnifierView()->isHidden()) << c.name << ": the loupe outlives the drag";
        selection()->hideView();
    }
}

TEST_F(RLSelectionPins, PinDragLeavesTheScrollViewsStillAndGivesTheirSettingsBack) {
    auto outer = core::make<ui::ScrollView>(window->bounds());
    outer->setContentSize({window->bounds().width(), 3000});
    outer->setDelaysContentTouches(false);
    auto inner = core::make<ui::ScrollView>(gfx::Rect{0, 0, 375, 400});
    inner->setContentSize({375, 2000});
    inner->setCanCancelContentTouches(false);
    outer->addSubview(inner);
    window->addSubview(outer);
    label->removeFromSuperview();
    inner->addSubview(label);
    host->snapshot();

    select(0, 3);
    EXPECT_FALSE(outer->delaysContentTouches());
    EXPECT_FALSE(outer->canCancelContentTouches());
    EXPECT_FALSE(inner->canCancelContentTouches());
    host->drag(rightPin(), rightPin() + gfx::Point{0, 60}, 10);
    EXPECT_EQ(outer->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_EQ(inner->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_GT(selected().second, 3);

    selection()->hideView();
    EXPECT_FALSE(outer->delaysContentTouches());
    EXPECT_TRUE(outer->canCancelContentTouches());
    EXPECT_TRUE(inner->delaysContentTouches());
    EXPECT_FALSE(inner->canCancelContentTouches());
}

TEST_F(RLSelection, PinChoiceNarrowsOrGrowsTheRectanglesUntilOneWins) {
    auto s = selection();
    gfx::Rect left{0, 0, 10, 50}, right{5, 0, 10, 50};
    struct Case {
        const char* name;
        gfx::Point point;
        std::int64_t expected;
    } cases[] = {
        {"left only", {2, 20}, 1},
        {"right only", {13, 20}, 2},
        {"in both: narrowed until the left alone holds it", {7, 20}, 1},
        {"in both, nearer the right", {8.5, 20}, 2},
        {"4 points out: reached by the last attempt", {-4, 20}, 1},
        {"4.5 points out: attempts run out", {-4.5, 20}, 0},
        {"far from both", {100, 100}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(s->choseSelectView(c.point, 1, left, right, 0), c.expected) << c.name;
}

TEST_F(RLSelection, SelectSelectAllAndCopyTakeExactlyTheCallersCharacters) {
    std::string text = han(7) + "ab";
    auto label = copyLabel(text);  // copy mode turned on after the text: the label holds two sentinels
    auto& pasteboard = ui::Pasteboard::general();
    auto& menu = ui::MenuController::shared();

    doubleTap(charPoint(*label, 2));
    ASSERT_TRUE(menu.isMenuVisible());
    EXPECT_EQ(menu.visibleActions(), (std::vector<std::string>{"copy:", "select:", "selectAll:"}));
    EXPECT_TRUE(selection()->isFirstResponder());

    selection()->performAction("selectAll:");
    EXPECT_EQ(selected(), (Span{0, 8})) << "a sentinel is selectable";
    EXPECT_TRUE(menu.isMenuVisible());
    selection()->performAction("select:");
    EXPECT_EQ(selected(), (Span{0, 0}));
    selection()->performAction("selectAll:");

    // The menu's own tap sends copy.
    gfx::Rect bar = menu.menuView()->frame();
    host->tap({bar.minX() + 5, bar.midY()});
    EXPECT_EQ(pasteboard.string(), text);
    EXPECT_FALSE(selecting()) << "copy ends the selection";
    EXPECT_FALSE(menu.isMenuVisible());

    // The run items made on demand (copy mode on before the text) end at the caller's text too.
    auto later = core::make<RLLabel>(gfx::Rect{20, 300, 300, 80});
    later->setNumberOfLines(0);
    later->setEnableCopy(true);
    later->setAttributedText(text::AttributedString(text, answerAttributes()));
    window->addSubview(later);
    host->snapshot();
    longPress(later->convertPoint({5, 40}, nullptr));  // the first character, before any run item exists
    ASSERT_TRUE(selecting());
    selection()->selectAll();
    selection()->copy();
    EXPECT_EQ(pasteboard.string(), text);
    EXPECT_EQ(later->attributedText()->length(), text::AttributedString(text).length() + 1) << "one sentinel only";
}

TEST_F(RLSelection, MenuStandsJustAboveOrBelowTheSelection) {
    auto& menu = ui::MenuController::shared();
    struct Case {
        const char* name;
        double labelY;
        bool above;
    } cases[] = {
        {"room above", 200, true},
        {"at the top of the window: right below the chosen line", 0, false},
    };
    for (const auto& c : cases) {
        auto label = copyLabel(han(kChars), {20, c.labelY, 150, 80});
        doubleTap(charPoint(*label, 15));  // on the second line
        ASSERT_TRUE(menu.isMenuVisible()) << c.name;
        auto s = selection();
        gfx::Rect e = s->convertRect(s->endCopyRunItem()->withOutMergeBounds, nullptr);
        double top = s->convertPoint({0, s->startCopyRunItemY() - 5}, nullptr).y;
        gfx::Rect bar = menu.menuView()->frame();
        if (c.above) EXPECT_EQ(bar.maxY(), top - ui::MenuController::kGap) << c.name;
        else EXPECT_EQ(bar.minY(), e.maxY() + 16 + ui::MenuController::kGap) << c.name;
        s->hideView();
        label->removeFromSuperview();
    }
}

TEST_F(RLSelection, SelectionEndsOnlyForItsOwnReasons) {
    struct Case {
        const char* name;
        std::function<void(RLLabel& label, RLLabel& other)> act;
        bool ends;
    } cases[] = {
        {"background", [](RLLabel&, RLLabel&) { ui::Application::shared().didEnterBackground(); }, true},
        {"touch outside", [this](RLLabel&, RLLabel&) { host->tap({200, 600}); }, true},
        {"single tap inside", [this](RLLabel& label, RLLabel&) {
             host->tap(charPoint(label, 4));
             host->advance(0.4);
         }, true},
        {"own layout", [](RLLabel& label, RLLabel&) { label.setNeedsFramesetter(); }, true},
        {"another label's layout", [](RLLabel&, RLLabel& other) { other.setNeedsFramesetter(); }, false},
        {"measuring rows", [](RLLabel&, RLLabel&) {
             RLLabel::sizeWithAttributedString(text::AttributedString(han(40), answerAttributes()), {300, 1000}, 0);
         }, false},
        {"a double tap elsewhere in the label", [this](RLLabel& label, RLLabel&) { doubleTap(charPoint(label, 4)); },
         false},
    };
    auto label = copyLabel(han(8));
    auto other = copyLabel(han(8), {20, 300, 300, 80});
    for (const auto& c : cases) {
        doubleTap(charPoint(*label, 1));
        ASSERT_TRUE(selecting()) << c.name;
        c.act(*label, *other);
        EXPECT_EQ(!selecting(), c.ends) << c.name;
        selection()->hideView();
        host->snapshot();
    }
}

TEST_F(RLSelection, StartingAtTheCurrentStartChangesNothing) {
    auto label = copyLabel(han(8));
    doubleTap(charPoint(*label, 2));
    selection()->selectAll();
    auto s = selection();
    auto item = s->startCopyRunItem();
    s->showSelectViewInRLLabel(label, {}, item, label->bounds().width(), label->lineLayoutModels(),
                               label->selectableRunItems(), {});
    EXPECT_EQ(selected(), (Span{0, 7}));
}

} // namespace

namespace {

TEST_F(RLSelection, GesturesOnTheSelectionMoveItToOneCharacter) {
    auto label = copyLabel(han(8));
    auto& menu = ui::MenuController::shared();
    doubleTap(charPoint(*label, 1));
    selection()->selectAll();
    doubleTap(charPoint(*label, 4));  // on the selection itself
    EXPECT_EQ(selected(), (Span{4, 4}));
    EXPECT_TRUE(menu.isMenuVisible());

    gfx::Point p = charPoint(*label, 6);
    host->touchDown(p);
    host->advance(0.6);
    EXPECT_FALSE(selection()->magnifierView()->isHidden());
    EXPECT_FALSE(menu.isMenuVisible()) << "the menu shows with the loupe";
    host->touchUp(p);
    EXPECT_EQ(selected(), (Span{6, 6}));
    EXPECT_TRUE(selection()->magnifierView()->isHidden());
    EXPECT_TRUE(menu.isMenuVisible());
}

} // namespace
