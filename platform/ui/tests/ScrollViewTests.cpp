#include "platform/ui/ScrollView.h"
#include "platform/ui/Button.h"
#include "UiTest.h"

namespace ui {
namespace {

// A scroll view below a 64-point bar (so no safe area reaches it), 603 points high, with 2000
// points of content.
class ScrollViewTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        scroll = core::make<ScrollView>(gfx::Rect{0, 64, 375, 603});
        scroll->setContentSize({375, 2000});
        window->addSubview(scroll);
    }
    // Lets springs and gliding run out.
    void settle() {
        for (int i = 0; i < 300 && scroll->isDecelerating(); ++i) host->advance(1.0 / 60);
    }
    std::shared_ptr<ScrollView> scroll;
};

TEST_F(ScrollViewTest, ADragMovesTheContentWithTheFinger) {
    host->touchDown({100, 400});
    EXPECT_TRUE(scroll->isTracking());
    EXPECT_FALSE(scroll->isDragging());
    host->touchMove({100, 380});
    EXPECT_TRUE(scroll->isDragging());
    EXPECT_EQ(scroll->contentOffset().y, 20);  // the first 10 points are not lost
    host->touchMove({100, 300});
    EXPECT_EQ(scroll->contentOffset().y, 100);
    host->touchMove({160, 250});  // nothing to scroll sideways
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 150}));
}

TEST_F(ScrollViewTest, BeyondTheTopTheContentFollowsAtHalfSpeedAndSpringsBack) {
    std::vector<std::pair<double, bool>> seen;  // new y, dragging
    auto token = scroll->observeContentOffset([&](const ObservedChange<gfx::Point>& c) {
        seen.emplace_back(c.newValue.y, scroll->isDragging());
    });
    host->touchDown({100, 200});
    for (double y : {220, 240, 260, 280, 300, 300}) {  // the finger rests before it lifts
        host->advance(1.0 / 60);
        host->touchMove({100, y});
    }
    host->touchUp({100, 300});
    EXPECT_EQ(scroll->contentOffset().y, -50);
    EXPECT_FALSE(scroll->isDragging());
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(seen.back().second);  // every change so far happened while dragging
    host->advance(1.0 / 60);
    EXPECT_GT(scroll->contentOffset().y, -50);
    EXPECT_FALSE(seen.back().second);  // the first change after the lift
    settle();
    EXPECT_EQ(scroll->contentOffset().y, 0);
    EXPECT_FALSE(scroll->isDecelerating());
}

TEST_F(ScrollViewTest, AFlickGlidesAndStopsInsideTheRange) {
    host->drag({100, 600}, {100, 300}, 3, 1.0 / 60);  // 100 points per frame
    double released = scroll->contentOffset().y;
    EXPECT_EQ(released, 300);
    EXPECT_TRUE(scroll->isDecelerating());
    settle();
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_GT(scroll->contentOffset().y, released + 1000);
    EXPECT_LE(scroll->contentOffset().y, scroll->maximumContentOffset().y);
    // A touch on gliding content stops it where it is.
    host->drag({100, 600}, {100, 300}, 3, 1.0 / 60);
    scroll->setContentOffset({0, 100});
    host->drag({100, 300}, {100, 500}, 3, 1.0 / 60);
    host->advance(0.1);
    host->touchDown({100, 300});
    double stopped = scroll->contentOffset().y;
    host->advance(0.5);
    EXPECT_EQ(scroll->contentOffset().y, stopped);
    host->touchUp({100, 300});
}

TEST_F(ScrollViewTest, ShrinkingAnInsetClampsTheOffsetUnlessAFingerDrags) {
    scroll->setContentInset({54, 0, 0, 0});
    scroll->setContentOffset({0, -54});
    scroll->setContentInset({80, 0, 0, 0});  // growing keeps the offset
    EXPECT_EQ(scroll->contentOffset().y, -54);
    scroll->setContentInset({0, 0, 0, 0});
    EXPECT_EQ(scroll->contentOffset().y, 0);

    scroll->setContentInset({54, 0, 0, 0});
    scroll->setContentOffset({0, -54});
    host->touchDown({100, 300});
    host->touchMove({100, 320});
    ASSERT_TRUE(scroll->isDragging());
    double during = scroll->contentOffset().y;
    scroll->setContentInset({0, 0, 0, 0});
    EXPECT_EQ(scroll->contentOffset().y, during);
    host->touchUp({100, 320});

    // The bottom edge: at the far end, taking away the bottom inset pulls the offset back.
    scroll->setContentInset({0, 0, 44, 0});
    scroll->setContentOffset(scroll->maximumContentOffset());
    EXPECT_EQ(scroll->contentOffset().y, 2000 + 44 - 603);
    scroll->setContentInset({0, 0, 0, 0});
    EXPECT_EQ(scroll->contentOffset().y, 2000 - 603);
}

TEST_F(ScrollViewTest, ObservationTokensEndWithEitherSide) {
    int offsets = 0, sizes = 0;
    std::vector<std::pair<GestureRecognizer::State, GestureRecognizer::State>> pans;
    auto offsetToken = scroll->observeContentOffset([&](const auto& c) {
        ++offsets;
        EXPECT_NE(c.oldValue, c.newValue);
    });
    auto sizeToken = scroll->observeContentSize([&](const ObservedChange<gfx::Size>& c) {
        if (++sizes == 1) {
            EXPECT_EQ(c.oldValue, (gfx::Size{375, 2000}));
            EXPECT_EQ(c.newValue, (gfx::Size{375, 10}));
        }
    });
    auto panToken = scroll->observePanState([&](const auto& c) { pans.emplace_back(c.oldValue, c.newValue); });
    scroll->setContentOffset({0, 10});
    scroll->setContentSize({375, 10});
    EXPECT_EQ(offsets, 1);
    EXPECT_EQ(sizes, 1);
    scroll->setContentSize({375, 2000});
    host->drag({100, 400}, {100, 300}, 4);
    using S = GestureRecognizer::State;
    ASSERT_GE(pans.size(), 3u);
    EXPECT_EQ(pans.front(), std::make_pair(S::possible, S::began));
    EXPECT_EQ(pans.back().second, S::ended);

    offsetToken.reset();
    int before = offsets;
    scroll->setContentOffset({0, 30});
    EXPECT_EQ(offsets, before);

    // The scroll view goes first: the remaining tokens outlive it harmlessly.
    scroll->removeFromSuperview();
    scroll.reset();
    sizeToken.reset();
    panToken.reset();
}

TEST_F(ScrollViewTest, AdjustedInsetAddsTheSafeAreaItCovers) {
    auto full = core::make<ScrollView>(gfx::Rect{0, 0, 375, 667});
    window->addSubview(full);
    EXPECT_EQ(full->adjustedContentInset().top, 20);  // under the status bar
    EXPECT_EQ(scroll->adjustedContentInset().top, 0);
    full->setContentInset({54, 0, 0, 0});
    EXPECT_EQ(full->adjustedContentInset().top, 74);
    EXPECT_EQ(full->minimumContentOffset().y, -74);
    full->setContentInsetAdjustmentBehavior(ContentInsetAdjustmentBehavior::never);
    EXPECT_EQ(full->adjustedContentInset().top, 54);
}

TEST_F(ScrollViewTest, TheWheelScrollsWithinTheRange) {
    auto target = ScrollView::wheelTargetAt(*window, {100, 300}, {0, 120});
    ASSERT_EQ(target, scroll);
    EXPECT_TRUE(scroll->scrollByWheel({0, 120}));
    EXPECT_EQ(scroll->contentOffset().y, 120);
    EXPECT_TRUE(scroll->scrollByWheel({0, -500}));
    EXPECT_EQ(scroll->contentOffset().y, 0);
    EXPECT_FALSE(scroll->scrollByWheel({0, -10}));
    EXPECT_EQ(ScrollView::wheelTargetAt(*window, {100, 300}, {0, -10}), nullptr);
    scroll->setContentOffset({0, 5000});
    EXPECT_FALSE(scroll->scrollByWheel({0, 10}));  // beyond the end: the wheel does not push on
    EXPECT_TRUE(scroll->scrollByWheel({0, -10}));
    EXPECT_EQ(scroll->contentOffset().y, 4990);
}

TEST_F(ScrollViewTest, ADragOverAButtonScrollsAndCancelsTheButton) {
    auto button = core::make<Button>(gfx::Rect{50, 300, 200, 60});
    scroll->addSubview(button);
    int taps = 0, cancels = 0;
    button->addTarget(std::weak_ptr<void>{}, [&](Control&) { ++taps; }, touchUpInside);
    button->addTarget(std::weak_ptr<void>{}, [&](Control&) { ++cancels; }, touchCancel);
    host->drag({100, 400}, {100, 330}, 5);
    EXPECT_EQ(taps, 0);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(scroll->contentOffset().y, 70);
    host->tap({100, 300});  // window y 300 is content y 306 + 70 - 64: the button
    EXPECT_EQ(taps, 1);
}

} // namespace
} // namespace ui

namespace ui {
namespace {

// What a bar shows now: "hidden", "shown", "faded" (out), or "fading".
std::string barState(const ca::Layer& bar) {
    if (bar.isHidden()) return "hidden";
    double opacity = bar.presentationAt(bar.localTime()).opacity;
    return opacity >= 0.99 ? "shown" : opacity <= 0.01 ? "faded" : "fading";
}

// The bars show while a finger tracks or drags and while the content glides, and fade out half a
// second after the scroll stops; the flags, content that fits and flashing decide the rest.
TEST_F(ScrollViewTest, IndicatorsShowWhileScrollingAndFadeAfterItStops) {
    auto wait = [this](double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 0.01) host->advance(0.01);
    };
    struct Case {
        const char* name;
        std::function<void()> act;
        const char* vertical;
        const char* horizontal;
    } cases[] = {
        {"at rest", [] {}, "faded", "hidden"},
        {"tracking", [this] { host->touchDown({100, 400}); }, "shown", "hidden"},
        {"dragging",
         [this] {
             host->touchDown({100, 400});
             host->touchMove({100, 300});
         },
         "shown", "hidden"},
        {"decelerating",
         [this, wait] {
             host->drag({100, 600}, {100, 300}, 3, 1.0 / 60);
             wait(0.3);
             ASSERT_TRUE(scroll->isDecelerating());
         },
         "shown", "hidden"},
        {"just scrolled by the wheel",
         [this, wait] {
             host->scrollWheel({100, 400}, {0, 100});
             wait(0.4);
         },
         "shown", "hidden"},
        {"scrolled by the wheel a while ago",
         [this, wait] {
             host->scrollWheel({100, 400}, {0, 100});
             wait(0.9);
         },
         "faded", "hidden"},
        {"glided to a stop",
         [this, wait] {
             host->drag({100, 600}, {100, 300}, 3, 1.0 / 60);
             settle();
             wait(0.9);
         },
         "faded", "hidden"},
        {"vertical flag off",
         [this] {
             scroll->setShowsVerticalScrollIndicator(false);
             host->touchDown({100, 400});
             host->touchMove({100, 300});
         },
         "hidden", "hidden"},
        {"content that fits",
         [this] {
             scroll->setContentSize({375, 500});
             host->touchDown({100, 400});
         },
         "hidden", "hidden"},
        {"wide content",
         [this] {
             scroll->setContentSize({800, 2000});
             host->touchDown({300, 400});
             host->touchMove({200, 300});
         },
         "shown", "shown"},
        {"horizontal flag off",
         [this] {
             scroll->setContentSize({800, 2000});
             scroll->setShowsHorizontalScrollIndicator(false);
             host->touchDown({300, 400});
             host->touchMove({200, 300});
         },
         "shown", "hidden"},
        {"flashed", [this] { scroll->flashScrollIndicators(); }, "shown", "hidden"},
        {"flashed a while ago",
         [this, wait] {
             scroll->flashScrollIndicators();
             wait(0.9);
         },
         "faded", "hidden"},
    };
    for (const auto& tc : cases) {
        TearDown();
        SetUp();
        tc.act();
        EXPECT_EQ(barState(*scroll->verticalScrollIndicator()), tc.vertical) << tc.name;
        EXPECT_EQ(barState(*scroll->horizontalScrollIndicator()), tc.horizontal) << tc.name;
        host->touchCancel();
    }
}

// The bar is 2.5 points wide, 3 points in from the edge (and the indicator insets), and its length
// and place follow the part of the content shown.
TEST_F(ScrollViewTest, TheVerticalBarFollowsTheVisiblePart) {
    const auto& bar = scroll->verticalScrollIndicator();
    scroll->setContentOffset({0, 0});
    gfx::Rect top = bar->frame();
    EXPECT_DOUBLE_EQ(top.width(), 2.5);
    EXPECT_DOUBLE_EQ(top.maxX(), 375 - 3);
    EXPECT_DOUBLE_EQ(top.minY(), 3);
    EXPECT_NEAR(top.height(), (603 - 6) * 603.0 / 2000, 1e-9);
    scroll->setContentOffset({0, 2000 - 603});  // the end: the bar at the bottom of the view
    EXPECT_NEAR(bar->frame().maxY(), 2000 - 3, 1e-9);
    scroll->setScrollIndicatorInsets({10, 0, 20, 8});
    EXPECT_DOUBLE_EQ(bar->frame().maxX(), 375 - 8 - 3);
    EXPECT_NEAR(bar->frame().maxY(), 2000 - 20 - 3, 1e-9);
}

} // namespace
} // namespace ui
