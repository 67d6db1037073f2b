#include "platform/core/UserDefaults.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshGifHeader.h"
#include "refresh/RefreshNormalHeader.h"
#include "refresh/RefreshScrollView.h"
#include "RefreshTest.h"

namespace refresh {
namespace {

using State = RefreshComponentState;

class RefreshHeaderTest : public testing::RefreshTest {
protected:
    void SetUp() override {
        RefreshTest::SetUp();
        header = RefreshNormalHeader::headerWithRefreshingBlock([this] { ++refreshes; });
        setRf_header(*table, header);
        reload(30);
    }
    std::shared_ptr<RefreshNormalHeader> header;
    int refreshes = 0;
};

// The finger moves twice as far as the content beyond the top edge.
TEST_F(RefreshHeaderTest, PullingStrictlyPastTheHeaderHeightArmsIt) {
    host->touchDown({100, 200});
    struct Step { double finger; State expected; };
    const Step steps[] = {
        {300, State::Idle},      // 50 points out
        {308, State::Idle},      // exactly 54 out: not yet
        {309, State::Pulling},   // 54.5 out
        {320, State::Pulling},
        {308, State::Idle},      // back to 54
        {340, State::Pulling},
    };
    for (const auto& s : steps) {
        host->advance(1.0 / 60);
        host->touchMove({100, s.finger});
        EXPECT_EQ(header->state(), s.expected) << "finger at " << s.finger << ", offset " << table->contentOffset().y;
    }
    EXPECT_EQ(refreshes, 0);
}

TEST_F(RefreshHeaderTest, ReleasingWhilePullingRefreshesOnceAndEndingSlidesBack) {
    dragTo({100, 200}, {100, 340});  // 70 points out
    EXPECT_EQ(header->state(), State::Pulling);
    host->advance(1.0 / 60);  // the first change after the lift is the release
    EXPECT_EQ(header->state(), State::Refreshing);
    EXPECT_EQ(refreshes, 0);  // the block waits for the inset animation
    EXPECT_EQ(rf_insetT(*table), 54);
    EXPECT_EQ(table->contentOffset().y, -54);
    host->advance(0.2);
    EXPECT_EQ(refreshes, 0);
    host->advance(0.1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(header->loadingView()->isHidden());
    EXPECT_TRUE(header->arrowView()->isHidden());
    settle();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(header->state(), State::Refreshing);
    EXPECT_EQ(table->contentOffset().y, -54);  // the header stays in view

    EXPECT_FALSE(header->lastUpdatedTime());
    double ended = dispatch::Clock::current().wallTime();
    header->endRefreshing();
    EXPECT_EQ(header->state(), State::Refreshing);
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(header->state(), State::Idle);
    EXPECT_EQ(rf_insetT(*table), 0);
    EXPECT_EQ(table->contentOffset().y, 0);  // the model is there; the picture slides for 0.4 s
    EXPECT_TRUE(table->layer()->animation("view.bounds"));
    settle(0.5);
    EXPECT_FALSE(table->layer()->animation("view.bounds"));
    ASSERT_TRUE(header->lastUpdatedTime());
    EXPECT_NEAR(*header->lastUpdatedTime(), ended, 1e-6);
    EXPECT_FALSE(header->arrowView()->isHidden());
    EXPECT_TRUE(header->loadingView()->isHidden());
    EXPECT_EQ(refreshes, 1);
}

TEST_F(RefreshHeaderTest, WhileRefreshingTheInsetFollowsTheContentWithinItsRoom) {
    header->beginRefreshing();
    settle(0.5);
    ASSERT_EQ(rf_insetT(*table), 54);
    dragTo({100, 400}, {100, 300}, false);  // the content goes up over the header
    EXPECT_EQ(rf_insetT(*table), 0);
    host->touchMove({100, 500});  // and far down again
    EXPECT_EQ(rf_insetT(*table), 54);
    host->touchUp({100, 500});
    settle();
    EXPECT_EQ(table->contentOffset().y, -54);
    header->endRefreshing();
    settle(0.5);
    EXPECT_EQ(rf_insetT(*table), 0);
    EXPECT_EQ(table->contentOffset().y, 0);
}

TEST_F(RefreshHeaderTest, TheLastUpdatedTextNamesTheDay) {
    auto& clock = host->clock();
    clock.setWallTime(1718798700);  // 2024-06-19 12:05 UTC
    auto& defaults = core::UserDefaults::standard();
    auto storeDate = [&](double seconds1970) {
        defaults.setObject(seconds1970 - dispatch::kSecondsFrom1970To2001, kRefreshHeaderLastUpdatedTimeKey);
        header->setLastUpdatedTimeKey(header->lastUpdatedTimeKey());
        return header->lastUpdatedTimeLabel()->text();
    };
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "上次更新：暂无记录");
    EXPECT_EQ(storeDate(1718791380), "上次更新：今天 10:03");
    EXPECT_EQ(storeDate(1716113580), "上次更新：05-19 10:13");      // 2024-05-19
    EXPECT_EQ(storeDate(1687169580), "上次更新：2023-06-19 10:13");  // a year before

    // A second header with the default key shows the same date.
    auto second = RefreshNormalHeader::headerWithRefreshingBlock({});
    EXPECT_EQ(second->lastUpdatedTimeLabel()->text(), "上次更新：2023-06-19 10:13");

    // A text block decides, also without a date.
    defaults.removeObjectForKey(kRefreshHeaderLastUpdatedTimeKey);
    header->setLastUpdatedTimeText([](std::optional<double> date) { return date ? "dated" : "none"; });
    header->setLastUpdatedTimeKey(header->lastUpdatedTimeKey());
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "none");
}

TEST_F(RefreshHeaderTest, TheHeaderWhilePullingAndRefreshingInSimplifiedChinese) {
    window->setFrame({0, 0, 375, 150});
    table->setFrame({0, 0, 375, 150});
    table->setContentInsetAdjustmentBehavior(ui::ContentInsetAdjustmentBehavior::never);
    dragTo({100, 20}, {100, 160}, false);  // 70 points out
    ASSERT_EQ(header->state(), State::Pulling);
    settle(0.3);  // the arrow has turned over
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/header_pulling_zh.png"));
    host->touchUp({100, 160});
    settle(0.4);
    ASSERT_EQ(header->state(), State::Refreshing);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/header_refreshing_zh.png"));
}

TEST_F(RefreshHeaderTest, AnAnimatedHeaderShowsTheImageForThePull) {
    auto gif = RefreshGifHeader::headerWithRefreshingBlock({});
    std::vector<gfx::ImagePtr> images;
    for (int i = 0; i < 10; ++i) {
        gfx::BitmapContext c({10, 10 + double(i)}, 1);
        images.push_back(c.makeImage());
    }
    gif->setImages(images, State::Idle);
    setRf_header(*table, gif);
    for (auto [percent, index] : {std::pair{0.35, 3}, {1.0, 9}, {1.6, 9}, {0.0, 0}}) {
        gif->setPullingPercent(percent);
        EXPECT_EQ(gif->gifView()->image(), images[size_t(index)]) << percent;
    }
    // A first image taller than the header makes the header taller.
    gfx::BitmapContext tall({10, 80}, 1);
    gif->setImages(std::vector<gfx::ImagePtr>{tall.makeImage()}, 1.0, State::Refreshing);
    EXPECT_EQ(rf_h(*gif), 80);
}

} // namespace
} // namespace refresh
