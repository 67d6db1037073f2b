// Zooming: the scale's limits, the zoomed view's frame and the content size, the anchor that stays
// put, the two-finger pinch and its stops, and a second finger that ends a drag.
#include "platform/ui/ScrollView.h"
#include "UiTest.h"

namespace ui {
namespace {

class ZoomDelegate : public ScrollViewDelegate {
public:
    std::shared_ptr<View> zoomed;
    int didZoom = 0;
    std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) override { return zoomed; }
    void scrollViewDidZoom(ScrollView&) override { ++didZoom; }
};

// A 200 x 200 scroll view at (50, 100) showing a 200 x 200 picture that may zoom 1...5.
class ScrollViewZoom : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        scroll = core::make<ScrollView>(gfx::Rect{50, 100, 200, 200});
        scroll->setContentInsetAdjustmentBehavior(ContentInsetAdjustmentBehavior::never);
        delegate = std::make_shared<ZoomDelegate>();
        delegate->zoomed = core::make<View>(gfx::Rect{0, 0, 200, 200});
        scroll->addSubview(delegate->zoomed);
        scroll->setContentSize({200, 200});
        scroll->setDelegate(delegate);
        scroll->setMinimumZoomScale(1);
        scroll->setMaximumZoomScale(5);
        window->addSubview(scroll);
    }
    // Two fingers at `centre`, `from` apart horizontally, spread in small steps to `to` apart.
    void pinch(gfx::Point centre, double from, double to, bool lift = true) {
        host->touchDown({centre.x - from / 2, centre.y}, 1);
        host->touchDown({centre.x + from / 2, centre.y}, 2);
        const int steps = 20;
        for (int i = 1; i <= steps; ++i) {
            double d = from + (to - from) * i / steps;
            host->touchMove({centre.x - d / 2, centre.y}, 1);
            host->touchMove({centre.x + d / 2, centre.y}, 2);
        }
        if (!lift) return;
        host->touchUp({centre.x - to / 2, centre.y}, 1);
        host->touchUp({centre.x + to / 2, centre.y}, 2);
    }
    std::shared_ptr<ScrollView> scroll;
    std::shared_ptr<ZoomDelegate> delegate;
};

TEST_F(ScrollViewZoom, TheScaleMovesFrameAndContentSizeWithinItsLimits) {
    struct Case {
        double asked, scale;
    } cases[] = {{2, 2}, {5, 5}, {7, 5}, {0.5, 1}, {1, 1}};
    for (const auto& c : cases) {
        scroll->setZoomScale(c.asked);
        EXPECT_DOUBLE_EQ(scroll->zoomScale(), c.scale) << c.asked;
        EXPECT_EQ(delegate->zoomed->frame(), (gfx::Rect{0, 0, 200 * c.scale, 200 * c.scale})) << c.asked;
        EXPECT_EQ(scroll->contentSize(), (gfx::Size{200 * c.scale, 200 * c.scale})) << c.asked;
        EXPECT_EQ(delegate->zoomed->bounds().size, (gfx::Size{200, 200})) << "the transform scales, not the bounds";
    }
    EXPECT_EQ(delegate->didZoom, 5);
}

TEST_F(ScrollViewZoom, TheAnchorStaysUnderItsPoint) {
    scroll->setZoomScale(2);  // about the centre: (100, 100) of the content goes to (200, 200)
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{100, 100}));
    scroll->zoomAbout(4, {150, 120});  // content point (150, 120) seen at (50, 20)
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{250, 220}));
    scroll->zoomAbout(1, {250, 220});  // back to 1: the range leaves only (0, 0)
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
}

TEST_F(ScrollViewZoom, WithoutAViewOrLimitsNothingZooms) {
    scroll->setMaximumZoomScale(1);
    pinch({150, 200}, 40, 120);
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 1);
    scroll->setMaximumZoomScale(5);
    delegate->zoomed = nullptr;
    scroll->setZoomScale(3);
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 1);
    EXPECT_EQ(delegate->didZoom, 0);
}

TEST_F(ScrollViewZoom, APinchZoomsAboutItsCentreAndStopsAtTheLimits) {
    struct Case {
        double from, to, scale;
    } cases[] = {{40, 80, 2}, {20, 200, 5}, {100, 10, 1}};
    for (const auto& c : cases) {
        scroll->setZoomScale(1);
        pinch({150, 200}, c.from, c.to);  // window (150, 200) is the scroll view's centre
        EXPECT_NEAR(scroll->zoomScale(), c.scale, 1e-9) << c.from << " -> " << c.to;
        // The centre stayed the centre (within a little drift: the fingers move one at a time,
        // so the centre between them wobbles).
        const double half = 100 * c.scale - 100;
        EXPECT_NEAR(scroll->contentOffset().x, half, 6);
        EXPECT_NEAR(scroll->contentOffset().y, half, 1e-9);
        EXPECT_FALSE(scroll->isZooming());
        EXPECT_FALSE(scroll->isDragging());
    }
    // From 2, a pinch that halves the distance goes back to 1.
    scroll->setZoomScale(2);
    pinch({150, 200}, 120, 60);
    EXPECT_NEAR(scroll->zoomScale(), 1, 1e-9);
}

TEST_F(ScrollViewZoom, ZoomingReportsWhileTheFingersMove) {
    pinch({150, 200}, 40, 60, false);
    EXPECT_TRUE(scroll->isZooming());
    EXPECT_GT(delegate->didZoom, 1);
    EXPECT_NEAR(scroll->zoomScale(), 1.5, 1e-9);
    host->touchUp({120, 200}, 1);
    EXPECT_FALSE(scroll->isZooming());
    host->touchUp({180, 200}, 2);
}

TEST_F(ScrollViewZoom, OneFingerStillDragsTheZoomedContent) {
    scroll->setZoomScale(2);
    host->touchDown({150, 200});
    host->touchMove({150, 180});
    host->touchMove({130, 160});
    host->touchUp({130, 160});
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{120, 140}));
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 2);
}

TEST_F(ScrollViewZoom, HostsFindTheZoomableScrollViewUnderThePointer) {
    EXPECT_EQ(ScrollView::zoomTargetAt(*window, {150, 200}), scroll);
    EXPECT_EQ(ScrollView::zoomTargetAt(*window, {10, 10}), nullptr);
    scroll->setUserInteractionEnabled(false);
    EXPECT_EQ(ScrollView::zoomTargetAt(*window, {150, 200}), nullptr);
}

} // namespace
} // namespace ui
