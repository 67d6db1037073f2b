#include "platform/ui/CollectionView.h"
#include "platform/ui/TableView.h"
#include "UiTest.h"

namespace ui {
namespace {

// Sections of rows with optional header views; counts every cell it makes.
class Source : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<long> rows{100};
    std::optional<double> headerHeight;
    std::optional<double> footerHeight;
    bool headerViews = false;
    int made = 0;
    std::vector<IndexPath> selected;

    long numberOfSectionsInTableView(TableView&) override { return static_cast<long>(rows.size()); }
    long numberOfRowsInSection(TableView&, long s) override { return rows[static_cast<size_t>(s)]; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& p) override {
        auto cell = table.dequeueReusableCellWithIdentifier("cell");
        if (!cell) {
            cell = core::make<TableViewCell>(TableViewCellStyle::default_, "cell");
            ++made;
        }
        cell->textLabel()->setText(std::to_string(p.section) + "." + std::to_string(p.row));
        return cell;
    }
    std::optional<double> heightForHeaderInSection(TableView&, long) override { return headerHeight; }
    std::optional<double> heightForFooterInSection(TableView&, long) override { return footerHeight; }
    std::shared_ptr<View> viewForHeaderInSection(TableView&, long s) override {
        if (!headerViews) return nullptr;
        auto v = core::make<View>();
        v->setTag(1000 + s);
        return v;
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& p) override { selected.push_back(p); }
};

class TableViewTest : public UiTest {
protected:
    void make(TableViewStyle style) {
        table = core::make<TableView>(gfx::Rect{0, 64, 375, 603}, style);
        table->setDataSource(source);
        table->setDelegate(source);
        window->addSubview(table);
        table->reloadData();
        window->layoutIfNeeded();
    }
    std::shared_ptr<Source> source = std::make_shared<Source>();
    std::shared_ptr<TableView> table;
};

TEST_F(TableViewTest, OnlyRowsInViewHaveCellsAndScrollingReusesThem) {
    make(TableViewStyle::plain);
    EXPECT_EQ(table->contentSize().height, 4400);
    EXPECT_EQ(table->visibleCells().size(), 14u);  // 603 / 44, the last one partly
    int made = source->made;
    for (int i = 0; i < 50; ++i) {
        table->scrollByWheel({0, 60});
        window->layoutIfNeeded();
    }
    EXPECT_EQ(table->contentOffset().y, 3000);
    EXPECT_LE(source->made, made + 1);
    auto rows = table->indexPathsForVisibleRows();
    EXPECT_EQ(rows.front(), (IndexPath{0, 68}));
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 70})->textLabel()->text(), "0.70");
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 70})->frame().y(), 70 * 44);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 3}), nullptr);
}

TEST_F(TableViewTest, ATapSelectsARowAndADragDoesNot) {
    make(TableViewStyle::plain);
    host->tap({100, 64 + 44 * 2 + 10});
    ASSERT_EQ(source->selected.size(), 1u);
    EXPECT_EQ(source->selected.back(), (IndexPath{0, 2}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isSelected());
    host->drag({100, 400}, {100, 300});
    EXPECT_EQ(source->selected.size(), 1u);
    host->advance(3);
    EXPECT_GT(table->contentOffset().y, 300);  // it glided on after the lift
    long target = static_cast<long>((table->contentOffset().y + 300) / 44);
    gfx::Rect row = table->convertRect(table->rectForRowAtIndexPath({0, target}), nullptr);
    host->tap({100, row.midY()});
    EXPECT_EQ(source->selected.back(), (IndexPath{0, target}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, target}));
    table->deselectRowAtIndexPath({0, target});
    EXPECT_FALSE(table->indexPathForSelectedRow());
}

TEST_F(TableViewTest, PlainHeadersStickUntilTheirSectionEnds) {
    source->rows = {10, 10};
    source->headerViews = true;
    source->headerHeight = 30;
    make(TableViewStyle::plain);
    auto first = table->viewWithTag(1000);
    ASSERT_TRUE(first);
    table->setContentOffset({0, 200});
    window->layoutIfNeeded();
    EXPECT_EQ(first->frame().y(), 200);  // pinned at the top of the view
    table->setContentOffset({0, 450});  // the section's rows end at 470
    window->layoutIfNeeded();
    EXPECT_EQ(first->frame().y(), 440);
    auto second = table->viewWithTag(1001);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->frame().y(), 470);
    // Headers float above the rows.
    auto& subs = table->subviews();
    EXPECT_GT(std::find(subs.begin(), subs.end(), first) - subs.begin(),
              std::find(subs.begin(), subs.end(), std::static_pointer_cast<View>(table->cellForRowAtIndexPath({0, 9}))) - subs.begin());
}

TEST_F(TableViewTest, GroupedHeightsOfZeroMeanTheDefaultAndOfAThousandthNone) {
    struct Case { std::optional<double> header, footer; double height; };
    const Case cases[] = {
        {std::nullopt, std::nullopt, 18 + 440 + 18},
        {0.0, 0.0, 18 + 440 + 18},
        {0.001, 0.001, 0.002 + 440},
        {40.0, 0.001, 40.001 + 440},
    };
    for (const auto& c : cases) {
        source->rows = {10};
        source->headerHeight = c.header;
        source->footerHeight = c.footer;
        make(TableViewStyle::grouped);
        EXPECT_NEAR(table->contentSize().height, c.height, 1e-9);
        table->removeFromSuperview();
    }
    // Plain tables without header views or heights have none.
    source->headerHeight = std::nullopt;
    source->footerHeight = std::nullopt;
    make(TableViewStyle::plain);
    EXPECT_EQ(table->contentSize().height, 440);
}

TEST_F(TableViewTest, SeparatorsFollowTheTable) {
    make(TableViewStyle::plain);
    auto cell = table->cellForRowAtIndexPath({0, 0});
    window->layoutIfNeeded();
    auto line = cell->subviews().back();
    EXPECT_FALSE(line->isHidden());
    EXPECT_EQ(line->frame(), (gfx::Rect{15, 43.5, 360, 0.5}));
    table->setSeparatorStyle(TableViewCellSeparatorStyle::none);
    window->layoutIfNeeded();
    EXPECT_TRUE(line->isHidden());
}

class Items : public CollectionViewDataSource {
public:
    long items = 0;
    long numberOfItemsInSection(CollectionView&, long) override { return items; }
    std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(CollectionView& view, const IndexPath&) override {
        auto cell = view.dequeueReusableCellWithReuseIdentifier("item");
        return cell ? cell : core::make<CollectionViewCell>("item");
    }
};

TEST_F(TableViewTest, CollectionViewsLayOutAGridAndPassTheReloadHook) {
    auto items = std::make_shared<Items>();
    auto grid = core::make<CollectionView>(gfx::Rect{0, 64, 375, 603});
    grid->setDataSource(items);
    grid->setItemSize({100, 100});
    grid->setSectionInset({10, 10, 10, 10});
    window->addSubview(grid);
    std::vector<std::int64_t> totals;
    grid->setReloadDataBlock([&](std::int64_t total) { totals.push_back(total); });
    items->items = 7;
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(totals, (std::vector<std::int64_t>{7}));
    EXPECT_EQ(grid->frameForItemAtIndexPath({0, 4}), (gfx::Rect{120, 120, 100, 100}));  // three to a row
    EXPECT_EQ(grid->contentSize().height, 10 + 3 * 100 + 2 * 10 + 10);
    EXPECT_TRUE(grid->cellForItemAtIndexPath({0, 6}));
}

} // namespace
} // namespace ui
