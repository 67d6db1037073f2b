#include "platform/dispatch/RunLoop.h"
#include "refresh/RefreshAutoNormalFooter.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshNormalHeader.h"
#include "refresh/RefreshScrollView.h"
#include "RefreshTest.h"

namespace refresh {
namespace {

using testing::RefreshTest;
using State = RefreshComponentState;

// A control that records what its scroll view tells it.
class Recorder : public RefreshComponent {
public:
    using RefreshComponent::RefreshComponent;
    int offsets = 0, sizes = 0, pans = 0;

protected:
    void scrollViewContentOffsetDidChange(const ui::ObservedChange<gfx::Point>&) override { ++offsets; }
    void scrollViewContentSizeDidChange(const ui::ObservedChange<gfx::Size>&) override { ++sizes; }
    void scrollViewPanStateDidChange(const ui::ObservedChange<ui::GestureRecognizer::State>&) override { ++pans; }
};

using RefreshComponentTest = RefreshTest;

TEST_F(RefreshComponentTest, EndRefreshingTakesEffectOnALaterTurn) {
    auto header = RefreshNormalHeader::headerWithRefreshingBlock({});
    setRf_header(*table, header);
    header->beginRefreshing();
    EXPECT_EQ(header->state(), State::Refreshing);
    header->endRefreshing();
    EXPECT_EQ(header->state(), State::Refreshing);
    dispatch::RunLoop::main().pump();
    EXPECT_EQ(header->state(), State::Idle);
}

TEST_F(RefreshComponentTest, OutOfAWindowABeginWaitsForTheFirstDrawing) {
    auto loose = core::make<ui::TableView>(gfx::Rect{0, 64, 375, 600});
    auto header = RefreshNormalHeader::headerWithRefreshingBlock({});
    setRf_header(*loose, header);
    header->beginRefreshing();
    EXPECT_EQ(header->state(), State::WillRefresh);
    EXPECT_TRUE(header->isRefreshing());
    window->addSubview(loose);
    host->snapshot();
    EXPECT_EQ(header->state(), State::Refreshing);

    // Refreshing out of a window stays Refreshing.
    loose->removeFromSuperview();
    header->beginRefreshing();
    EXPECT_EQ(header->state(), State::Refreshing);
}

TEST_F(RefreshComponentTest, AttachingReplacesTheOldControl) {
    auto first = RefreshNormalHeader::headerWithRefreshingBlock({});
    auto second = RefreshNormalHeader::headerWithRefreshingBlock({});
    setRf_header(*table, first);
    EXPECT_EQ(table->subviews().front(), first);
    setRf_header(*table, first);  // the same again changes nothing
    EXPECT_EQ(first->superview(), table);
    EXPECT_EQ(rf_header(*table), first);
    auto cell = core::make<ui::View>();
    table->addSubview(cell);
    setRf_header(*table, second);
    EXPECT_EQ(first->superview(), nullptr);
    EXPECT_EQ(first->scrollView(), nullptr);
    EXPECT_EQ(table->subviews().front(), second);  // behind everything else
    EXPECT_EQ(header(*table), second);
    setRf_header(*table, nullptr);
    EXPECT_EQ(rf_header(*table), nullptr);
    EXPECT_EQ(second->superview(), nullptr);
}

TEST_F(RefreshComponentTest, HiddenAndNonInteractiveControlsHearLess) {
    auto recorder = core::make<Recorder>(gfx::Rect{});
    table->insertSubview(recorder, 0);
    reload(30);
    table->setContentOffset({0, 10});
    EXPECT_GT(recorder->sizes, 0);
    EXPECT_EQ(recorder->offsets, 1);

    recorder->setHidden(true);
    int sizes = recorder->sizes;
    reload(40);
    table->setContentOffset({0, 20});
    dragTo({100, 400}, {100, 300});
    EXPECT_GT(recorder->sizes, sizes);
    EXPECT_EQ(recorder->offsets, 1);
    EXPECT_EQ(recorder->pans, 0);

    recorder->setHidden(false);
    recorder->setUserInteractionEnabled(false);
    sizes = recorder->sizes;
    reload(10);
    table->setContentOffset({0, 0});
    dragTo({100, 400}, {100, 300});
    EXPECT_EQ(recorder->sizes, sizes);
    EXPECT_EQ(recorder->offsets, 1);
    EXPECT_EQ(recorder->pans, 0);
}

TEST_F(RefreshComponentTest, AControlThatLeavesItsScrollViewStopsObservingIt) {
    auto recorder = core::make<Recorder>(gfx::Rect{});
    table->insertSubview(recorder, 0);
    auto other = core::make<ui::View>(gfx::Rect{0, 0, 100, 100});
    window->addSubview(other);
    other->addSubview(recorder);  // straight into a view that is no scroll view
    EXPECT_EQ(recorder->scrollView(), nullptr);
    int offsets = recorder->offsets;
    table->setContentOffset({0, 30});
    reload(20);
    EXPECT_EQ(recorder->offsets, offsets);
}

TEST_F(RefreshComponentTest, TotalDataCountCountsRowsOfTablesOnly) {
    auto plain = core::make<ui::ScrollView>();
    EXPECT_EQ(rf_totalDataCount(*plain), 0);
    data->sections = 0;
    reload(5);
    EXPECT_EQ(rf_totalDataCount(*table), 0);
    data->sections = 3;
    reload(4);
    EXPECT_EQ(rf_totalDataCount(*table), 12);
}

// Every reload passes the hook, also through a subclass that reloads in its own way first.
class CountingTable : public ui::TableView {
public:
    using TableView::TableView;
    int reloads = 0;
    void reloadData() override {
        ++reloads;
        TableView::reloadData();
    }
};

TEST_F(RefreshComponentTest, TheReloadHookRunsForSubclassReloads) {
    auto sub = core::make<CountingTable>(gfx::Rect{0, 64, 375, 600});
    sub->setDataSource(data);
    std::vector<std::int64_t> seen;
    setRf_reloadDataBlock(*sub, [&](std::int64_t total) { seen.push_back(total); });
    data->rows = 7;
    sub->reloadData();
    std::static_pointer_cast<ui::TableView>(sub)->reloadData();
    EXPECT_EQ(sub->reloads, 2);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{7, 7}));
    executeReloadDataBlock(*sub);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(RefreshComponentTest, SettingTheTopInsetSetsTheEffectiveInset) {
    auto full = core::make<ui::TableView>(gfx::Rect{0, 0, 375, 667});
    window->addSubview(full);
    ASSERT_EQ(rf_insetT(*full), 20);  // the status bar's share
    setRf_insetT(*full, 74);
    EXPECT_EQ(full->contentInset().top, 54);
    EXPECT_EQ(rf_insetT(*full), 74);
    setRf_insetB(*full, 44);
    EXPECT_EQ(full->contentInset().bottom, 44);
}

TEST_F(RefreshComponentTest, AutomaticAlphaFollowsThePullExceptWhileRefreshing) {
    auto header = RefreshNormalHeader::headerWithRefreshingBlock({});
    setRf_header(*table, header);
    header->setAutomaticallyChangeAlpha(true);
    EXPECT_EQ(header->alpha(), 0);
    EXPECT_TRUE(header->isAutoChangeAlpha());
    reload(30);
    dragTo({100, 300}, {100, 354}, false);  // 27 points out: half the header
    EXPECT_EQ(header->pullingPercent(), 0.5);
    EXPECT_EQ(header->alpha(), 0.5);
    host->touchUp({100, 354});
    header->beginRefreshing();
    header->setPullingPercent(0.2);
    EXPECT_EQ(header->alpha(), 1);
    header->setAutomaticallyChangeAlpha(false);
    EXPECT_EQ(header->alpha(), 1);
}

} // namespace
} // namespace refresh
