#include "Commons/TableView/DequeueCell.h"
#include "Commons/TableView/MWScrollView.h"
#include "Commons/TableView/MWTableView.h"
#include "Commons/TableView/MWTableViewCell.h"
#include "platform/core/ProcessInfo.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "ui/tests/KitTest.h"
#include "refresh/RefreshNormalHeader.h"
#include "refresh/RefreshScrollView.h"
#include "ui/c.h"

#include <cmath>

namespace kit {
namespace {

// Frames computed from u carry rounding differences in the last bits.
::testing::AssertionResult near(const gfx::Rect& a, const gfx::Rect& b) {
    const double d[] = {a.origin.x - b.origin.x, a.origin.y - b.origin.y, a.size.width - b.size.width,
                        a.size.height - b.size.height};
    for (double v : d) {
        if (std::fabs(v) > 1e-9) {
            return ::testing::AssertionFailure() << "(" << a.origin.x << ", " << a.origin.y << ", " << a.size.width
                                                 << ", " << a.size.height << ") differs";
        }
    }
    return ::testing::AssertionSuccess();
}

class Source : public ui::TableViewDataSource {
public:
    long sections = 1;
    long rows = 0;
    long numberOfSectionsInTableView(ui::TableView&) override { return sections; }
    long numberOfRowsInSection(ui::TableView&, long) override { return rows; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath&) override {
        return dequeueCell<MWTableViewCell>(table, "");
    }
};

class OtherCell : public MWTableViewCell {
    QUILLORA_CLASS(OtherCell)
    using MWTableViewCell::MWTableViewCell;
};

class PageViews : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        table = core::make<MWTableView>(gfx::Rect{0, 64, 375, 600}, ui::TableViewStyle::grouped);
        table->setDataSource(source);
        window->addSubview(table);
    }
    void reload(long sections, long rows) {
        source->sections = sections;
        source->rows = rows;
        table->reloadData();
        window->layoutIfNeeded();
    }
    std::shared_ptr<Source> source = std::make_shared<Source>();
    std::shared_ptr<MWTableView> table;
};

TEST_F(PageViews, TheTableCountsSectionsUnlessThereIsExactlyOne) {
    struct Case {
        long sections, rows;
        bool empty;
    } cases[] = {{1, 0, true}, {0, 5, true}, {2, 0, false}, {1, 3, false}, {3, 2, false}};
    for (const auto& c : cases) {
        reload(c.sections, c.rows);
        EXPECT_EQ(!table->bgView()->isHidden(), c.empty) << c.sections << " sections, " << c.rows << " rows";
        EXPECT_EQ(table->isScrollEnabled(), !c.empty) << c.sections << " sections, " << c.rows << " rows";
    }
}

TEST_F(PageViews, AnEmptyTableScrollsToTheTopAndScrollsOnlyWithAHeader) {
    reload(1, 30);
    table->setContentOffset({0, 400});
    reload(1, 0);
    EXPECT_EQ(table->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_FALSE(table->isScrollEnabled());
    EXPECT_EQ(table->subviews().back(), table->bgView());

    refresh::setRf_header(*table, refresh::RefreshNormalHeader::headerWithRefreshingBlock([] {}));
    reload(1, 0);
    EXPECT_TRUE(table->isScrollEnabled());

    // theScrollEnabel is what both states go back to.
    table->setTheScrollEnabel(false);
    reload(1, 0);
    EXPECT_FALSE(table->isScrollEnabled());
    reload(1, 4);
    EXPECT_TRUE(table->bgView()->isHidden());
    EXPECT_FALSE(table->isScrollEnabled());
}

TEST_F(PageViews, ATableWithoutDataSourceIsEmptyAndForceHiddenKeepsThePanelAway) {
    auto lone = core::make<MWTableView>(gfx::Rect{0, 0, 375, 300});
    window->addSubview(lone);
    lone->reloadData();
    EXPECT_FALSE(lone->bgView()->isHidden());
    lone->reloadAndUpdateEmptyState(true);
    EXPECT_TRUE(lone->bgView()->isHidden());
}

TEST_F(PageViews, TheScrollViewPanelCoversWhatIsInView) {
    auto scroll = core::make<MWScrollView>(gfx::Rect{0, 64, 375, 600});
    window->addSubview(scroll);
    scroll->setContentSize({375, 2000});
    scroll->setContentOffset({0, 300});
    scroll->updateEmptyState(true);
    EXPECT_TRUE(scroll->bgView()->isHidden());
    EXPECT_EQ(scroll->bgView()->frame(), (gfx::Rect{0, 300, 375, 600}));
    EXPECT_TRUE(scroll->isScrollEnabled());

    scroll->updateEmptyState(false);
    EXPECT_FALSE(scroll->bgView()->isHidden());
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_EQ(scroll->bgView()->frame(), (gfx::Rect{0, 0, 375, 600}));
    EXPECT_FALSE(scroll->isScrollEnabled());

    const double u = 375.0 / 1080;
    EXPECT_TRUE(near(scroll->bgImageView()->frame(), {187.5 - 200 * u, 300 - 260 * u, 400 * u, 400 * u}));
    EXPECT_TRUE(near(scroll->label()->frame(), {0, 300 + 140 * u, 375, 60 * u}));
    EXPECT_EQ(scroll->label()->text(), "暂无数据");
    ASSERT_TRUE(scroll->bgImageView()->image());
}

TEST_F(PageViews, TheBaseCellHasAHiddenArrowAtTheRightEnd) {
    auto cell = core::make<MWTableViewCell>(ui::TableViewCellStyle::default_, "x");
    const double u = 375.0 / 1080;
    EXPECT_TRUE(cell->rightArrow()->isHidden());
    EXPECT_TRUE(near(cell->rightArrow()->frame(), {375 - 56 * u, 0, 16 * u, 30 * u}));
    EXPECT_EQ(cell->rightArrow()->superview(), cell->contentView());
    EXPECT_TRUE(cell->rightArrow()->image());
}

TEST_F(PageViews, DequeueKeepsTheQueuesOfCellClassesApart) {
    reload(1, 30);
    table->setContentOffset({0, 1200});
    window->layoutIfNeeded();
    auto base = dequeueCell<MWTableViewCell>(*table, "");
    EXPECT_EQ(base->reuseIdentifier(), "Quillora.MWTableViewCell");
    auto other = dequeueCell<OtherCell>(*table, "");
    EXPECT_EQ(other->reuseIdentifier(), "Quillora.OtherCell");
    // A queued cell of another class under the same identifier is not handed out as this class.
    auto wrong = dequeueCell<OtherCell>(*table, "Quillora.MWTableViewCell");
    EXPECT_EQ(wrong->className(), "OtherCell");
}

TEST_F(PageViews, EmptyPageSnapshot) {
    reload(1, 0);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/empty_page.png"));
}

} // namespace
} // namespace kit
