#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/TextLayout.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "refresh/RefreshBackGifFooter.h"
#include "refresh/RefreshBackNormalFooter.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshScrollView.h"
#include "RefreshTest.h"

namespace refresh {
namespace {

using State = RefreshComponentState;

// The table is 600 points high, its rows 50 points.
class RefreshBackFooterTest : public testing::RefreshTest {
protected:
    void attach(long rows) {
        footer = RefreshBackNormalFooter::footerWithRefreshingBlock([this] { ++loads; });
        reload(rows);
        setRf_footer(*table, footer);
        window->layoutIfNeeded();
    }
    // A finger down and dragging, then the offset put where a case wants it.
    void holdAt(double offsetY) {
        if (!table->isDragging()) {
            host->touchDown({100, 400});
            host->advance(1.0 / 60);
            host->touchMove({100, 380});
        }
        table->setContentOffset({0, offsetY});
    }
    void release() {
        host->advance(1.0 / 60);
        host->touchUp({100, 380});
        host->advance(1.0 / 60);
    }
    void endRefreshing() {
        footer->endRefreshing();
        dispatch::RunLoop::main().pump();
    }
    std::shared_ptr<RefreshBackNormalFooter> footer;
    int loads = 0;
};

TEST_F(RefreshBackFooterTest, GeometryFollowsTheContentAndTheViewAndLoadingWidensTheInset) {
    struct Case {
        long rows;
        double happen, footerY, idleAt, pullingAt, loadingInset, loadingOffset;
    } cases[] = {
        {20, 400, 1000, 444, 444.5, 44, 444},  // content 1000 in a view 600 high
        {6, 0, 600, 44, 44.5, 344, 44},        // content 300: the footer at the view's bottom
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        loads = 0;
        attach(c.rows);
        EXPECT_EQ(footer->heightForContentBreakView(), c.rows * 50.0 - 600);
        EXPECT_EQ(footer->happenOffsetY(), c.happen);
        EXPECT_EQ(rf_y(*footer), c.footerY);
        EXPECT_EQ(footer->arrowView()->transform(), gfx::AffineTransform::rotation(kRefreshArrowTurnedOver));
        holdAt(c.idleAt);
        EXPECT_EQ(footer->state(), State::Idle);
        holdAt(c.pullingAt);
        EXPECT_EQ(footer->state(), State::Pulling);
        EXPECT_NEAR(footer->pullingPercent(), (c.pullingAt - c.happen) / 44, 1e-9);
        settle(0.3);
        EXPECT_EQ(footer->arrowView()->transform(), gfx::AffineTransform::identity());
        release();
        EXPECT_EQ(footer->state(), State::Refreshing);
        EXPECT_EQ(rf_insetB(*table), c.loadingInset);
        EXPECT_EQ(rf_offsetY(*table), c.loadingOffset);
        EXPECT_EQ(loads, 0) << "the block waits for the inset animation";
        settle(0.3);
        EXPECT_EQ(loads, 1);
        EXPECT_TRUE(footer->arrowView()->isHidden());
        endRefreshing();
        settle(0.5);
        EXPECT_EQ(footer->state(), State::Idle);
        EXPECT_EQ(rf_insetB(*table), 0);
        EXPECT_EQ(footer->pullingPercent(), 0);
        setRf_footer(*table, nullptr);
        table->setContentOffset({0, 0});
    }
}

TEST_F(RefreshBackFooterTest, NewRowsKeepTheContentWhereItIsNoneLetItMoveBack) {
    struct Case {
        long rowsAfter;
        double offsetAfter;
    } cases[] = {{30, 444}, {20, 400}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rowsAfter);
        attach(20);
        footer->beginRefreshing();
        settle(0.3);
        ASSERT_EQ(rf_offsetY(*table), 444);
        reload(c.rowsAfter);
        endRefreshing();
        settle(0.5);
        EXPECT_EQ(rf_offsetY(*table), c.offsetAfter);
        setRf_footer(*table, nullptr);
        table->setContentOffset({0, 0});
    }
}

TEST_F(RefreshBackFooterTest, NoMoreDataOnlyFollowsThePull) {
    attach(20);
    footer->endRefreshingWithNoMoreData();
    dispatch::RunLoop::main().pump();
    ASSERT_EQ(footer->state(), State::NoMoreData);
    EXPECT_EQ(footer->stateLabel()->text(), "没有更多了");
    EXPECT_TRUE(footer->arrowView()->isHidden());
    holdAt(466);
    EXPECT_NEAR(footer->pullingPercent(), 1.5, 1e-9);
    release();
    settle();
    EXPECT_EQ(footer->state(), State::NoMoreData);
    EXPECT_EQ(loads, 0);
    footer->resetNoMoreData();
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(footer->state(), State::Idle);
}

TEST_F(RefreshBackFooterTest, ARefreshStartedDuringTheSpinnersFadeKeepsItOpaqueAndRunning) {
    attach(20);
    footer->beginRefreshing();
    settle(0.3);
    endRefreshing();
    host->advance(0.1);  // the spinner is fading
    footer->beginRefreshing();
    settle(0.6);
    ASSERT_EQ(footer->state(), State::Refreshing);
    auto spinner = footer->loadingView();
    EXPECT_EQ(spinner->alpha(), 1);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_TRUE(footer->arrowView()->isHidden());
}

TEST_F(RefreshBackFooterTest, LeavingWhileLoadingGivesTheInsetBackToItsOwnScrollViewOnly) {
    table->setContentInset({0, 0, 10, 0});
    attach(20);
    footer->beginRefreshing();
    settle(0.3);
    ASSERT_EQ(rf_insetB(*table), 54);
    auto other = core::make<ui::TableView>(gfx::Rect{0, 64, 375, 600});
    other->setContentInset({0, 0, 5, 0});
    window->addSubview(other);
    setRf_footer(*table, nullptr);
    EXPECT_EQ(rf_insetB(*table), 10);
    setRf_footer(*other, footer);
    endRefreshing();
    settle(0.5);
    EXPECT_EQ(rf_insetB(*table), 10);
    EXPECT_EQ(rf_insetB(*other), 5);
}

TEST(RefreshBackGifFooter, PicksTheIdleImageByThePercentOnlyAtRest) {
    auto gif = RefreshBackGifFooter::footerWithRefreshingBlock({});
    std::vector<gfx::ImagePtr> images;
    for (int i = 0; i < 10; ++i) images.push_back(gfx::BitmapContext({10, 10 + double(i)}, 1).makeImage());
    gif->setImages(images, State::Idle);
    for (auto [percent, index] : {std::pair{0.35, 3}, {1.0, 9}, {1.6, 9}, {0.0, 0}}) {
        gif->setPullingPercent(percent);
        EXPECT_EQ(gif->gifView()->image(), images[size_t(index)]) << percent;
    }
    gif->setState(State::Pulling);  // no Pulling images: the image stays
    gif->setPullingPercent(0.5);
    EXPECT_EQ(gif->gifView()->image(), images[0]);
    gif->setState(State::NoMoreData);
    EXPECT_TRUE(gif->gifView()->isHidden());
}

TEST_F(RefreshBackFooterTest, TheFooterAtRestAndWhenLettingGoWouldLoad) {
    if (!gfx::TextLayout::usesPinnedFonts()) GTEST_SKIP() << "fonts-noto-cjk is needed for pinned pixels";
    window->setFrame({0, 0, 375, 150});
    table->setFrame({0, 0, 375, 150});
    table->setContentInsetAdjustmentBehavior(ui::ContentInsetAdjustmentBehavior::never);
    attach(2);  // 100 points of content: the footer waits at the bottom of the view
    struct Case {
        double finger;
        State state;
        const char* picture;
    } cases[] = {{60, State::Idle, "back_footer_idle_zh.png"}, {140, State::Pulling, "back_footer_pulling_zh.png"}};
    for (const auto& c : cases) {
        dragTo({100, 145}, {100, 145 - c.finger}, false);
        ASSERT_EQ(footer->state(), c.state);
        settle(0.3);
        EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/" + c.picture));
        host->touchCancel();
        settle();
    }
}

} // namespace
} // namespace refresh
