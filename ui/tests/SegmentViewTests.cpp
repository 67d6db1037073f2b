#include "platform/core/ProcessInfo.h"
#include "platform/core/TextConversions.h"
#include "platform/ui/tests/UiTest.h"
#include "ui/SegmentView.h"
#include "ui/ViewGeometry.h"

#include <cmath>
#include <string>
#include <vector>

namespace kit {
namespace {

// A SegmentView at (10, 100) in the phone window (375 points wide: the flow's gap g is
// 375 * 40 / 1080 = 13.89 and its whole gap G is 13). Geometry is read from the view-tree dump.
class SegmentViewTest : public ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        SegmentView::clearIds();
        seg = core::make<SegmentView>(gfx::Rect{10, 100, 300, 200});
        window->addSubview(seg);
    }
    void TearDown() override {
        SegmentView::clearIds();
        UiTest::TearDown();
    }

    // The segment view's node in the dump (the window's last subview).
    core::Value segNode() {
        auto tree = host->dumpTree();
        return tree.dictionary()->find("subviews")->array()->back();
    }
    // The items' frames relative to the segment view, in subview order.
    std::vector<gfx::Rect> itemFrames() {
        std::vector<gfx::Rect> frames;
        auto node = segNode();
        auto* subviews = node.dictionary()->find("subviews");
        if (!subviews) return frames;
        for (const auto& child : *subviews->array()) {
            if (child.dictionary()->find("class")->asString() != "SegmentItemView") continue;
            const auto& f = *child.dictionary()->find("frame")->array();
            frames.push_back({core::doubleValue(f[0]) - 10, core::doubleValue(f[1]) - 100, core::doubleValue(f[2]),
                               core::doubleValue(f[3])});
        }
        return frames;
    }
    gfx::Rect segFrame() {
        auto node = segNode();
        const auto& f = *node.dictionary()->find("frame")->array();
        return {core::doubleValue(f[0]), core::doubleValue(f[1]), core::doubleValue(f[2]), core::doubleValue(f[3])};
    }
    // Auto-size items of the given sizes, built by the set-up block.
    void flow(std::vector<gfx::Size> sizes, std::int64_t lines = 0) {
        seg->setIsAutoSize(true);
        seg->setNumberOfLines(lines);
        seg->setUpCustomView = [sizes](std::int64_t i, SegmentItemView& item) {
            item.setFrame({0, 0, sizes[static_cast<std::size_t>(i)].width, sizes[static_cast<std::size_t>(i)].height});
        };
        seg->setItemCount(static_cast<std::int64_t>(sizes.size()), 3);
    }
    std::vector<bool> selection() {
        std::vector<bool> states;
        for (const auto& item : seg->itemViews()) states.push_back(item->itemSelected());
        return states;
    }

    std::shared_ptr<SegmentView> seg;
    const double g = 375.0 * 40 / 1080;
};

void expectFrames(const std::vector<gfx::Rect>& actual, const std::vector<gfx::Rect>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].origin.x, expected[i].origin.x, 1e-6) << "item " << i;
        EXPECT_NEAR(actual[i].origin.y, expected[i].origin.y, 1e-6) << "item " << i;
        EXPECT_NEAR(actual[i].size.width, expected[i].size.width, 1e-6) << "item " << i;
        EXPECT_NEAR(actual[i].size.height, expected[i].size.height, 1e-6) << "item " << i;
    }
}

TEST(SegmentViewLines, CountsLinesWithAZeroPerLineSpecialCased) {
    struct Case { std::int64_t count, perLine, lines; };
    for (auto k : {Case{7, 3, 3}, Case{6, 3, 2}, Case{0, 3, 0}, Case{5, 0, 1}, Case{0, 0, 0}, Case{1, 1, 1}})
        EXPECT_EQ(SegmentView::getLinesFromCount(k.count, k.perLine), k.lines) << k.count << " / " << k.perLine;
}

TEST_F(SegmentViewTest, GridPutsBareButtonsInEqualCells) {
    seg->setItemCount(5, 3);
    expectFrames(itemFrames(), {{0, 0, 100, 100}, {100, 0, 100, 100}, {200, 0, 100, 100},
                                {0, 100, 100, 100}, {100, 100, 100, 100}});
    for (const auto& item : seg->itemViews()) {
        EXPECT_FALSE(item->detailLabel());
        EXPECT_FALSE(item->iconImageView());
        EXPECT_EQ(item->seg(), seg);
    }
    // One line of equal cells.
    seg->setItemCount(4);
    expectFrames(itemFrames(), {{0, 0, 75, 200}, {75, 0, 75, 200}, {150, 0, 75, 200}, {225, 0, 75, 200}});
}

TEST_F(SegmentViewTest, APerLineOfZeroEmptiesTheViewWithoutLayout) {
    seg->setItemCount(3, 3);
    ASSERT_EQ(itemFrames().size(), 3u);
    seg->setItemCount(5, 0);
    EXPECT_TRUE(itemFrames().empty());
    EXPECT_TRUE(seg->itemViews().empty());

    // setItemCount(0) asks for zero per line too: an auto-size view keeps its size.
    seg->setIsAutoSize(true);
    seg->setItemCount(0);
    EXPECT_EQ(segFrame(), (gfx::Rect{10, 100, 300, 200}));
}

TEST_F(SegmentViewTest, AnIndexWithoutAnItemSelectsNothing) {
    int changes = 0;
    seg->itemChangeState = [&](std::int64_t, SegmentItemView&, bool) { ++changes; };
    seg->setItemCount(3, 3);
    seg->setIndex(1);
    EXPECT_EQ(selection(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(changes, 3) << "every item's state is set, also when it does not change";

    seg->setIndex(7);
    EXPECT_EQ(selection(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(seg->index(), 7) << "without canCancel the index is kept";
    seg->setIndex(-1);
    EXPECT_EQ(seg->index(), -1);

    seg->setCanCancel(true);
    seg->setIndex(7);
    EXPECT_EQ(seg->index(), -1) << "in cancel mode an index with no item clears the index";
    seg->setIndex(2);
    EXPECT_EQ(selection(), (std::vector<bool>{false, false, true}));
    seg->setIndex(2);
    EXPECT_EQ(selection(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(seg->index(), -1);
}

TEST_F(SegmentViewTest, SetItemCountKeepsTheSelectionOrTogglesItInCancelMode) {
    seg->setUpCustomView = [](std::int64_t, SegmentItemView&) {};
    seg->setItemCount(3);
    seg->setIndex(1);
    seg->setItemCount(3);
    EXPECT_EQ(selection(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(seg->index(), 1);

    seg->setCanCancel(true);
    seg->setItemCount(3);
    EXPECT_EQ(selection(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(seg->index(), -1);
}

class Recorder : public SegmentViewDelegate {
public:
    explicit Recorder(std::vector<std::string>& log) : log_(log) {}
    void segmentView(SegmentView& view, SegmentItemView& item) override {
        log_.push_back("delegate " + std::to_string(item.index()) + " index " + std::to_string(view.index()));
    }

private:
    std::vector<std::string>& log_;
};

TEST_F(SegmentViewTest, TapsSelectThenTellTheDelegateThenTheBlock) {
    std::vector<std::string> log;
    auto delegate = std::make_shared<Recorder>(log);
    seg->setDelegate(delegate);
    seg->itemChangeState = [&](std::int64_t i, SegmentItemView&, bool on) {
        if (on) log.push_back("selected " + std::to_string(i));
    };
    seg->didClickItem = [&](std::int64_t i, SegmentItemView&) { log.push_back("block " + std::to_string(i)); };
    seg->setItemCount(3, 3);

    const gfx::Point second{10 + 150, 100 + 100};
    host->tap(second);
    EXPECT_EQ(log, (std::vector<std::string>{"selected 1", "delegate 1 index 1", "block 1"}));

    log.clear();
    host->tap(second);
    EXPECT_TRUE(log.empty()) << "a tap on the selected item is ignored";

    seg->setReclickAble(true);
    host->tap(second);
    EXPECT_EQ(log, (std::vector<std::string>{"selected 1", "delegate 1 index 1", "block 1"}));
    EXPECT_EQ(selection(), (std::vector<bool>{false, true, false}));

    // The delegate is held weakly: once gone, taps still select and run the block.
    delegate.reset();
    log.clear();
    host->tap({10 + 50, 100 + 100});
    EXPECT_EQ(log, (std::vector<std::string>{"selected 0", "block 0"}));
}

TEST_F(SegmentViewTest, FlowWrapsRowsWithScreenRelativeGaps) {
    // Row 1 takes 100 + 120 (100 + 120 + 2G = 246 < 300); 90 would need 220 + 90 + 3G = 349.
    // Row 2 takes 90; 200 would need 90 + 200 + 2G = 316. Row 3 takes 200.
    flow({{100, 40}, {120, 50}, {90, 40}, {200, 30}});
    const double V = 13, half = 6;
    const double row2 = 50 + V, row3 = row2 + 40 + V;
    expectFrames(itemFrames(), {{g, half + 5, 100, 40},
                                {100 + 2 * g, half, 120, 50},
                                {g, row2 + half, 90, 40},
                                {g, row3 + half, 200, 30}});
    // Every row adds its gap below it, and the view one more.
    EXPECT_EQ(segFrame(), (gfx::Rect{10, 100, 300, row3 + 30 + V + V}));
}

TEST_F(SegmentViewTest, AnOversizedItemClosesItsRowAndRemovesTheVerticalGaps) {
    // Wider than 300 - 2G = 274: alone on the first row, and no row has a vertical gap.
    flow({{280, 40}, {100, 30}, {100, 20}});
    expectFrames(itemFrames(), {{g, 0, 280, 40}, {g, 40, 100, 30}, {100 + 2 * g, 40 + 5, 100, 20}});
    EXPECT_EQ(segFrame().height(), 70);

    // Appended to a row that already holds items, it replaces the row's size (so the taller item
    // before it reaches above the view); an item as wide as the view gets no left gap.
    flow({{100, 60}, {300, 20}, {50, 10}});
    expectFrames(itemFrames(), {{g, -20, 100, 60}, {g + 100, 0, 300, 20}, {g, 20, 50, 10}});
    EXPECT_EQ(segFrame().height(), 30);
}

TEST_F(SegmentViewTest, AutoLayoutsOfNoItems) {
    flow({});
    EXPECT_EQ(segFrame(), (gfx::Rect{10, 100, 300, 13})) << "the flow of nothing is one gap high";
    flow({}, 1);
    EXPECT_EQ(segFrame(), (gfx::Rect{10, 100, 0, 13})) << "the strip of nothing has no width";
}

TEST_F(SegmentViewTest, StripPlacesItemsSideBySideAtTheViewsHeight) {
    setHeight(*seg, 40);
    flow({{50, 10}, {70, 90}}, 1);
    expectFrames(itemFrames(), {{0, 0, 50, 40}, {50, 0, 70, 40}});
    EXPECT_EQ(segFrame(), (gfx::Rect{10, 100, 120, 40}));
}

TEST_F(SegmentViewTest, PoolsReturnTheViewOfTheSameIndexAcrossRebuildsAndViews) {
    seg->setItemCount(3, 3, std::string("tags"));
    auto first = seg->itemViews();
    seg->setItemCount(3, 3, std::string("tags"));
    EXPECT_EQ(seg->itemViews(), first) << "an unchanged rebuild gets its own views back in place";
    expectFrames(itemFrames(), {{0, 0, 100, 200}, {100, 0, 100, 200}, {200, 0, 100, 200}});

    seg->setItemCount(0, 1, std::string("tags"));
    auto other = core::make<SegmentView>(gfx::Rect{0, 0, 100, 50});
    other->setItemCount(2, 2, std::string("tags"));
    ASSERT_EQ(other->itemViews().size(), 2u);
    EXPECT_EQ(other->itemViews()[0], first[0]);
    EXPECT_EQ(other->itemViews()[1], first[1]);
    EXPECT_EQ(other->itemViews()[0]->frame(), (gfx::Rect{0, 0, 50, 50}));

    // A wanted index that is not parked takes the pool's last view.
    std::vector<std::shared_ptr<SegmentItemView>> pool{core::make<SegmentItemView>(), core::make<SegmentItemView>()};
    pool[0]->setIndex(4);
    auto last = pool[1];
    EXPECT_EQ(SegmentView::getUnUsed(9, pool), last);
    EXPECT_EQ(pool.size(), 1u);
    pool.clear();
    EXPECT_FALSE(SegmentView::getUnUsed(0, pool));

    other->setItemCount(0, 1, std::string("tags"));
    SegmentView::clearIds();
    auto fresh = core::make<SegmentView>(gfx::Rect{0, 0, 100, 50});
    fresh->setItemCount(2, 2, std::string("tags"));
    EXPECT_NE(fresh->itemViews()[0], first[0]) << "after clearIds the pool has nothing to give";
    EXPECT_NE(fresh->itemViews()[1], first[1]);
}

TEST_F(SegmentViewTest, ParkedItemsOutliveTheirViewWithoutDanglingBack) {
    int changes = 0;
    auto shortLived = core::make<SegmentView>(gfx::Rect{0, 0, 100, 50});
    shortLived->itemChangeState = [&](std::int64_t, SegmentItemView&, bool) { ++changes; };
    shortLived->setItemCount(2, 2, std::string("short"));
    shortLived->setItemCount(0, 1, std::string("short"));
    std::weak_ptr<SegmentView> gone = shortLived;
    shortLived.reset();
    EXPECT_TRUE(gone.expired()) << "items do not keep their view alive";

    auto reused = core::make<SegmentView>(gfx::Rect{0, 0, 100, 50});
    reused->setItemCount(1, 1, std::string("short"));
    auto item = reused->itemViews()[0];
    EXPECT_EQ(item->seg(), reused);
    reused.reset();
    EXPECT_FALSE(item->seg());
    item->setItemSelected(true);
    EXPECT_EQ(changes, 0);
}

TEST_F(SegmentViewTest, IconItemsGetIconsCaptionsAndCells) {
    core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
    auto icons = core::make<SegmentView>(gfx::Rect{0, 0, 300, 100}, gfx::Size{40, 40}, gfx::Point{0, -10});
    auto named = std::make_shared<SegmentViewItemModel>();
    named->title = "Boy";
    named->imageString = "shared_icon_boy.png";
    named->hightlightImageString = "shared_icon_girl.png";
    auto remote = std::make_shared<SegmentViewItemModel>();
    remote->title = "Remote";
    remote->imageUrl = "http://127.0.0.1:1/icon.png";
    icons->setItems({named, remote});
    core::Bundle::setResourcePathForTesting(std::nullopt);

    ASSERT_EQ(icons->itemViews().size(), 2u);
    auto& first = *icons->itemViews()[0];
    EXPECT_EQ(first.frame(), (gfx::Rect{0, 0, 150, 100}));
    EXPECT_EQ(icons->itemViews()[1]->frame(), (gfx::Rect{150, 0, 150, 100}));
    EXPECT_EQ(first.iconImageView()->frame(), (gfx::Rect{55, 20, 40, 40}));
    // The caption runs from the icon's bottom to 2 % of the screen's width above the item's bottom.
    EXPECT_EQ(first.detailLabel()->frame(), (gfx::Rect{0, 60, 150, 100 - 375 * 0.4 / 20 - 60}));
    EXPECT_EQ(first.detailLabel()->text(), "Boy");
    ASSERT_TRUE(first.iconImageView()->image());
    EXPECT_FALSE(icons->itemViews()[1]->iconImageView()->image()) << "nothing listens there";

    icons->setIndex(0);
    EXPECT_TRUE(first.iconImageView()->isHighlighted());
    EXPECT_EQ(first.iconImageView()->highlightedImage(), first.highlightedIconImage());
    ASSERT_TRUE(first.highlightedIconImage());
    EXPECT_FALSE(first.seg()) << "icon items are not tied back to their view";
}

} // namespace
} // namespace kit
