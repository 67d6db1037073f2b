// The navigation bar: the top's left items from the standard margin (custom views centred in the
// bar, fixed spaces, negative ones too), items that change while shown, and the title following
// setTitle at once.
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "UiTest.h"

namespace ui {
namespace {

class NavigationBar : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        root = core::make<ViewController>();
        nav = core::make<NavigationController>(root);
        window->setRootViewController(nav);
        host->advance(0.1);
    }
    std::shared_ptr<Label> barTitle() {
        for (const auto& v : nav->navigationBar()->subviews())
            if (auto l = std::dynamic_pointer_cast<Label>(v)) return l;
        return nullptr;
    }
    std::shared_ptr<ViewController> root;
    std::shared_ptr<NavigationController> nav;
};

TEST_F(NavigationBar, LeftItemsRunFromTheStandardMargin) {
    const double top = Screen::main().statusBarHeight();
    struct Case {
        double space;  // a fixed space before the view; 0 = none
        double x;
    } cases[] = {{0, 16}, {10, 26}, {-17, -1}};
    for (const auto& c : cases) {
        auto custom = core::make<View>(gfx::Rect{0, 0, 60, 35});
        std::vector<std::shared_ptr<BarButtonItem>> items;
        if (c.space != 0) items.push_back(BarButtonItem::fixedSpace(c.space));
        items.push_back(BarButtonItem::withCustomView(custom));
        root->navigationItem()->setLeftBarButtonItems(items);
        EXPECT_EQ(custom->superview(), nav->navigationBar()) << c.space;
        EXPECT_EQ(custom->frame(), (gfx::Rect{c.x, top + 4.5, 60, 35})) << c.space;
    }
    // Two views side by side; items replaced leave the bar.
    auto a = core::make<View>(gfx::Rect{0, 0, 30, 44});
    auto b = core::make<View>(gfx::Rect{0, 0, 20, 20});
    root->navigationItem()->setLeftBarButtonItems({BarButtonItem::withCustomView(a), BarButtonItem::withCustomView(b)});
    EXPECT_EQ(a->frame().origin.x, 16);
    EXPECT_EQ(b->frame(), (gfx::Rect{46, top + 12, 20, 20}));
    EXPECT_EQ(nav->navigationBar()->subviews().size(), 3u) << "the title and the two views";
}

TEST_F(NavigationBar, ThePushedPagesItemsReplaceTheRootsUntilItIsPopped) {
    auto rootItem = core::make<View>(gfx::Rect{0, 0, 40, 30});
    root->navigationItem()->setLeftBarButtonItems({BarButtonItem::withCustomView(rootItem)});
    auto page = core::make<ViewController>();
    auto pageItem = core::make<View>(gfx::Rect{0, 0, 40, 30});
    page->navigationItem()->setLeftBarButtonItems({BarButtonItem::withCustomView(pageItem)});
    nav->pushViewController(page, false);
    EXPECT_EQ(rootItem->superview(), nullptr);
    EXPECT_EQ(pageItem->superview(), nav->navigationBar());
    root->navigationItem()->setLeftBarButtonItems({});  // a hidden page's change shows nothing
    EXPECT_EQ(pageItem->superview(), nav->navigationBar());
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(pageItem->superview(), nullptr);
}

TEST_F(NavigationBar, TheTitleFollowsTheTopsTitle) {
    root->setTitle("一");
    EXPECT_EQ(barTitle()->text(), "一");
    auto page = core::make<ViewController>();
    nav->pushViewController(page, false);
    EXPECT_EQ(barTitle()->text(), "");
    page->setTitle("二");
    EXPECT_EQ(barTitle()->text(), "二");
    root->setTitle("三");  // not on top
    EXPECT_EQ(barTitle()->text(), "二");
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(barTitle()->text(), "三");
}

} // namespace
} // namespace ui
