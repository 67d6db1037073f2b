#include "platform/dispatch/RunLoop.h"
#include "refresh/RefreshAutoNormalFooter.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshScrollView.h"
#include "RefreshTest.h"

namespace refresh {
namespace {

using State = RefreshComponentState;

// A table 600 points high with 20 rows of 50 points: 1000 points of content.
class RefreshFooterTest : public testing::RefreshTest {
protected:
    void SetUp() override {
        RefreshTest::SetUp();
        footer = RefreshAutoNormalFooter::footerWithRefreshingBlock([this] { ++loads; });
        reload(20);
        setRf_footer(*table, footer);
    }
    std::shared_ptr<RefreshAutoNormalFooter> footer;
    int loads = 0;
};

TEST_F(RefreshFooterTest, ScrollingToTheEndLoadsOnce) {
    EXPECT_EQ(rf_insetB(*table), 44);
    EXPECT_EQ(rf_y(*footer), 1000);
    dragTo({100, 600}, {100, 200}, false);  // offset 400: the footer is not all in view yet
    EXPECT_EQ(footer->state(), State::Idle);
    host->touchMove({100, 156});  // offset 444
    EXPECT_EQ(footer->state(), State::Refreshing);
    host->touchUp({100, 156});
    settle();
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(footer->stateLabel()->text(), "正在加载…");
    EXPECT_TRUE(footer->loadingView()->isAnimating());

    // While it loads the content goes on beyond the end; after the load it comes back up.
    table->setContentOffset({0, 500});
    footer->endRefreshing();
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(footer->state(), State::Idle);
    EXPECT_FALSE(footer->loadingView()->isAnimating());
    EXPECT_EQ(footer->stateLabel()->text(), "点击加载更多");

    // Reaching the same offset while going back up starts nothing.
    dragTo({100, 300}, {100, 356}, false);  // offset 444 from above
    EXPECT_EQ(footer->state(), State::Idle);
    host->advance(1.0 / 60);
    host->touchMove({100, 400});  // on up, away from the end, before the finger lifts
    host->advance(1.0 / 60);
    host->touchMove({100, 400});
    host->touchUp({100, 400});
    settle();
    EXPECT_EQ(loads, 1);
}

TEST_F(RefreshFooterTest, TheWheelAtTheEndLoadsToo) {
    for (int i = 0; i < 10 && footer->state() == State::Idle; ++i) table->scrollByWheel({0, 60});
    EXPECT_EQ(footer->state(), State::Refreshing);
    EXPECT_EQ(table->contentOffset().y, 444);
}

TEST_F(RefreshFooterTest, ShortContentLoadsWhenADragEndsUnpulled) {
    reload(5);  // 250 points in a 600-point view
    EXPECT_EQ(rf_y(*footer), 250);
    dragTo({100, 400}, {100, 300});  // content pushed up, then released
    EXPECT_EQ(footer->state(), State::Refreshing);
    settle();
    footer->endRefreshing();
    settle();
    dragTo({100, 300}, {100, 400});  // pulled down: not a load
    EXPECT_EQ(footer->state(), State::Idle);
    settle();
    EXPECT_EQ(loads, 1);
}

TEST_F(RefreshFooterTest, HidingAndShowingMoveTheBottomInset) {
    footer->beginRefreshing();
    footer->setHidden(true);
    EXPECT_EQ(footer->state(), State::Idle);
    EXPECT_EQ(rf_insetB(*table), 0);
    footer->setHidden(true);
    EXPECT_EQ(rf_insetB(*table), 0);
    reload(30);
    footer->setHidden(false);
    EXPECT_EQ(rf_insetB(*table), 44);
    EXPECT_EQ(rf_y(*footer), 1500);

    // A footer attached while hidden adds nothing; removing a visible one takes its height back.
    setRf_footer(*table, nullptr);
    EXPECT_EQ(rf_insetB(*table), 0);
    auto hidden = RefreshAutoNormalFooter::footerWithRefreshingBlock({});
    hidden->setHidden(true);
    setRf_footer(*table, hidden);
    EXPECT_EQ(rf_insetB(*table), 0);
}

TEST_F(RefreshFooterTest, AutomaticallyHiddenFollowsTheRowsOfEachReload) {
    footer->setAutomaticallyHidden(true);
    reload(0);
    EXPECT_TRUE(footer->isHidden());
    EXPECT_EQ(rf_insetB(*table), 0);
    reload(3);
    EXPECT_FALSE(footer->isHidden());
    EXPECT_EQ(rf_insetB(*table), 44);
}

TEST_F(RefreshFooterTest, ADetachedFooterNoLongerTouchesTheTable) {
    footer->setAutomaticallyHidden(true);
    auto block = rf_reloadDataBlock(*table);  // what the table keeps calling
    footer->removeFromSuperview();
    EXPECT_EQ(rf_insetB(*table), 0);
    ASSERT_TRUE(block);
    block(0);  // the old block hides the footer ...
    EXPECT_TRUE(footer->isHidden());
    block(5);
    EXPECT_EQ(rf_insetB(*table), 0);  // ... but leaves the table's inset alone
    int before = loads;
    table->setContentOffset({0, 300});
    table->setContentOffset({0, 450});
    settle();
    EXPECT_EQ(loads, before);
}

TEST_F(RefreshFooterTest, OnlyOneLoadPerDragWhenAsked) {
    footer->setOnlyRefreshPerDrag(true);
    dragTo({100, 600}, {100, 150}, false);
    EXPECT_EQ(footer->state(), State::Refreshing);
    footer->endRefreshing();
    dispatch::RunLoop::main().pump();
    ASSERT_EQ(footer->state(), State::Idle);
    host->advance(1.0 / 60);
    host->touchMove({100, 140});  // still the same drag, still at the end
    EXPECT_EQ(footer->state(), State::Idle);
    host->touchUp({100, 140});
    settle();
    EXPECT_EQ(footer->state(), State::Idle);
    dragTo({100, 400}, {100, 350}, false);  // a new drag may load again
    EXPECT_EQ(footer->state(), State::Refreshing);
    host->touchUp({100, 350});
}

TEST_F(RefreshFooterTest, NoMoreDataStartsNothing) {
    footer->endRefreshingWithNoMoreData();
    dispatch::RunLoop::main().pump();
    ASSERT_EQ(footer->state(), State::NoMoreData);
    EXPECT_EQ(footer->stateLabel()->text(), "没有更多了");
    dragTo({100, 600}, {100, 150});
    settle();
    host->tap(footer->stateLabel()->convertPointToWindow({187, 22}));
    settle();
    EXPECT_EQ(footer->state(), State::NoMoreData);
    EXPECT_EQ(loads, 0);

    footer->resetNoMoreData();
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(footer->state(), State::Idle);
    window->layoutIfNeeded();
    host->tap(footer->stateLabel()->convertPointToWindow({187, 22}));  // a tap on the title loads
    EXPECT_EQ(footer->state(), State::Refreshing);
    settle();
    EXPECT_EQ(loads, 1);
}

} // namespace
} // namespace refresh
