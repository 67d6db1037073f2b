#include "Commons/Controller/MWRootController.h"
#include "Commons/Controller/ScrollViewRegistry.h"
#include "platform/core/Log.h"
#include "platform/core/ProcessInfo.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "ui/tests/KitTest.h"
#include "refresh/RefreshFooter.h"
#include "refresh/RefreshHeader.h"
#include "refresh/RefreshScrollView.h"
#include "ui/c.h"
#include "ui/n.h"

#include <algorithm>

namespace kit {
namespace {

// A page that records the hooks the base calls, in order.
class RecordingPage : public MWRootController {
    QUILLORA_CLASS(RecordingPage)
    std::vector<std::string> events;
    long tagSeenInViewDidLoad = 0;
    bool loadedInsideCreation = false;

    void viewDidLoad() override {
        MWRootController::viewDidLoad();
        events.push_back("viewDidLoad");
    }
    void loadData(bool refresh) override { events.push_back(refresh ? "loadData(true)" : "loadData(false)"); }
    void reloadView() override {
        events.push_back(std::string("reloadView panel ") + (scrollView()->bgView()->isHidden() ? "hidden" : "shown"));
    }
    void layoutPage() override {
        MWRootController::layoutPage();
        events.push_back("layoutPage");
    }
    long count(const std::string& event) const { return std::count(events.begin(), events.end(), event); }
};

class OtherPage : public RecordingPage {
    QUILLORA_CLASS(OtherPage)
};

class BasePage : public KitTest {
protected:
    static void post(const std::string& name) { core::NotificationCenter::defaultCenter().post(name); }
};

TEST_F(BasePage, CreationLoadsTheViewAndBuildsTheBar) {
    auto page = core::make<RecordingPage>();
    ASSERT_EQ(page->events, std::vector<std::string>{"viewDidLoad"});
    EXPECT_EQ(page->view()->tag(), MWRootController::kRootViewTag);
    EXPECT_EQ(page->pageName(), "Quillora.RecordingPage");
    EXPECT_EQ(page->navBar()->frame(), (gfx::Rect{0, 0, 375, 64}));
    EXPECT_EQ(page->lvTitleLabel()->frame(), (gfx::Rect{50, 20, 275, 40}));
    EXPECT_EQ(page->rightBarButton()->frame(), (gfx::Rect{330, 20, 40, 40}));
    EXPECT_TRUE(page->rightBarButton()->isHidden());
    EXPECT_EQ(page->backBtn()->superview(), page->navBar());
    EXPECT_EQ(page->bottomView()->superview(), page->scrollView());
    EXPECT_EQ(page->scrollView()->rootController(), page);
}

TEST_F(BasePage, AHiddenPageRemembersRefreshesAndCarriesThemOutOnce) {
    auto page = core::make<RecordingPage>();
    auto other = core::make<OtherPage>();
    page->events.clear();
    post(MWRootController::refreshNotificationName("RecordingPage"));
    MWRootController::postRefresh<RecordingPage>();
    EXPECT_EQ(page->count("loadData(true)"), 0);
    EXPECT_TRUE(page->isNeedRefresh);
    EXPECT_FALSE(other->isNeedRefresh);

    page->viewWillAppear(false);
    EXPECT_EQ(page->count("loadData(true)"), 1);
    EXPECT_FALSE(page->isNeedRefresh);
    // Data refresh first, then the layout.
    EXPECT_EQ(page->events.front(), "loadData(true)");

    // A visible page acts at once.
    MWRootController::postRefresh<RecordingPage>();
    EXPECT_EQ(page->count("loadData(true)"), 2);
    page->viewWillDisappear(false);
    MWRootController::postRefresh<RecordingPage>();
    EXPECT_EQ(page->count("loadData(true)"), 2);
}

TEST_F(BasePage, TheViewOnlyRefreshRunsItsStepsInOrder) {
    auto page = core::make<RecordingPage>();
    page->scrollView()->updateEmptyState(false);
    page->viewWillAppear(false);
    page->events.clear();
    page->scrollView()->updateEmptyState(false);
    post(MWRootController::refreshViewOnlyNotificationName("RecordingPage"));
    EXPECT_EQ(page->events, (std::vector<std::string>{"layoutPage", "reloadView panel hidden", "layoutPage"}));

    // Hidden: remembered, carried out by the next viewWillAppear after any data refresh.
    page->viewWillDisappear(false);
    page->events.clear();
    post(MWRootController::refreshViewOnlyNotificationName("RecordingPage"));
    post(MWRootController::refreshViewOnlyNotificationName("RecordingPage"));
    post(MWRootController::refreshNotificationName("RecordingPage"));
    EXPECT_TRUE(page->events.empty());
    page->viewWillAppear(false);
    EXPECT_EQ(page->events, (std::vector<std::string>{"loadData(true)", "layoutPage", "reloadView panel hidden",
                                                      "layoutPage", "layoutPage"}));

    // "enterforground" lays every page out again.
    page->events.clear();
    post(std::string(n::enterForegroundNotification));
    EXPECT_EQ(page->events, std::vector<std::string>{"layoutPage"});
}

TEST_F(BasePage, TheBottomViewFollowsTheContent) {
    struct Case {
        double contentBottom;
        double bottomY, bottomH, contentHeight;
    } cases[] = {{300, 600, 0, 0}, {700, 720, 0, 740}};
    for (const auto& tc : cases) {
        auto page = core::make<RecordingPage>();
        page->viewFrame = gfx::Rect{0, 0, 375, 600};
        auto content = core::make<ui::View>(gfx::Rect{0, tc.contentBottom - 100, 375, 100});
        page->scrollView()->addSubview(content);
        page->layoutPage();
        EXPECT_EQ(page->bottomView()->frame(), (gfx::Rect{0, tc.bottomY, 375, tc.bottomH})) << tc.contentBottom;
        EXPECT_EQ(page->scrollView()->contentSize().height, tc.contentHeight) << tc.contentBottom;
        EXPECT_TRUE(page->navBar()->isHidden());
    }
}

TEST_F(BasePage, ViewsThatDoNotShowNeverExtendTheContent) {
    auto page = core::make<RecordingPage>();
    page->viewFrame = gfx::Rect{0, 0, 375, 600};
    page->createTableView(ui::TableViewStyle::plain);
    page->tableviewFrame = gfx::Rect{0, 0, 375, 2000};
    auto transparent = core::make<ui::View>(gfx::Rect{0, 0, 10, 900});
    transparent->setAlpha(0);
    auto hidden = core::make<ui::View>(gfx::Rect{0, 0, 10, 900});
    hidden->setHidden(true);
    auto rootTagged = core::make<ui::View>(gfx::Rect{0, 0, 10, 900});
    rootTagged->setTag(MWRootController::kRootViewTag);
    for (auto& v : {transparent, hidden, rootTagged}) page->scrollView()->addSubview(v);
    page->layoutPage();
    EXPECT_EQ(page->scrollView()->contentSize(), (gfx::Size{0, 0}));
    EXPECT_EQ(page->tableview()->frame(), (gfx::Rect{0, 0, 375, 2000}));

    // A bottom view with content is kept at the bottom of the visible area.
    page->bottomView()->addSubview(core::make<ui::View>(gfx::Rect{0, 0, 375, 50}));
    page->layoutPage();
    EXPECT_EQ(page->bottomView()->frame(), (gfx::Rect{0, 550, 375, 50}));

    // A view tagged 10010 anywhere stops all scrolling.
    auto tall = core::make<ui::View>(gfx::Rect{0, 0, 375, 1500});
    page->scrollView()->addSubview(tall);
    page->layoutPage();
    EXPECT_GT(page->scrollView()->contentSize().height, 1500);
    auto deep = core::make<ui::View>(gfx::Rect{0, 0, 10, 10});
    deep->setTag(MWRootController::kNoScrollTag);
    tall->addSubview(deep);
    page->scrollView()->setContentOffset({0, 300});
    page->layoutPage();
    EXPECT_EQ(page->scrollView()->contentSize(), (gfx::Size{0, 0}));
    EXPECT_EQ(page->scrollView()->contentOffset(), (gfx::Point{0, 0}));
}

TEST_F(BasePage, ATallStatusBarMovesTheBarUpAndShortensTheScrollView) {
    auto profile = ui::DeviceProfile::phone();
    profile.statusBarHeight = 40;
    ui::Screen::main().setProfile(profile);
    auto page = core::make<RecordingPage>();
    page->layoutPage();
    EXPECT_EQ(page->navBar()->frame().origin.y, -20);
    EXPECT_EQ(page->scrollView()->frame(), (gfx::Rect{0, 64, 375, 667 - 84}));
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());
    auto normal = core::make<RecordingPage>();
    normal->layoutPage();
    EXPECT_EQ(normal->scrollView()->frame(), (gfx::Rect{0, 64, 375, 667 - 64}));
}

TEST_F(BasePage, WithATabBarTheScrollViewLeavesRoomForTheTallestBarSeen) {
    auto page = core::make<RecordingPage>();
    page->isBarHidden = false;
    auto navigation = core::make<ui::NavigationController>(page);
    auto tabs = core::make<ui::TabBarController>();
    tabs->setViewControllers({navigation});
    MWRootController::maxTabBarHeight() = 0;
    page->layoutPage();
    EXPECT_EQ(page->scrollView()->frame(), (gfx::Rect{0, 64, 375, 667 - 64 - 49}));
    // A lower bar later does not give the room back.
    auto bar = tabs->tabBar()->frame();
    tabs->tabBar()->setFrame({bar.origin.x, bar.origin.y, bar.size.width, 30});
    page->layoutPage();
    EXPECT_EQ(page->scrollView()->frame().size.height, 667 - 64 - 49);
    EXPECT_EQ(MWRootController::maxTabBarHeight(), 49);
}

TEST_F(BasePage, TheBackButtonPopsThePage) {
    auto first = core::make<RecordingPage>();
    auto navigation = core::make<ui::NavigationController>(first);
    window->setRootViewController(navigation);
    auto second = core::make<OtherPage>();
    navigation->pushViewController(second, false);
    run(0.5);
    second->backBtn()->actionWithSender(*second->backBtn());
    run(0.5);
    EXPECT_EQ(navigation->topViewController(), first);
}

TEST_F(BasePage, PullingTheEmptyTableDownReloadsTheData) {
    auto page = core::make<RecordingPage>();
    page->addTableHeaderRefresh();
    window->setRootViewController(page);
    page->tableview()->reloadData();
    window->layoutIfNeeded();
    ASSERT_FALSE(page->tableview()->bgView()->isHidden());
    ASSERT_TRUE(page->tableview()->isScrollEnabled());
    page->events.clear();
    // 130 points of finger pull the content down 65, past the header's 54.
    host->touchDown({187, 200});
    for (int i = 1; i <= 13; ++i) {
        host->advance(1.0 / 60);
        host->touchMove({187, 200.0 + 10 * i});
    }
    host->advance(1.0 / 60);
    host->touchMove({187, 330});
    host->touchUp({187, 330});
    run(1);
    EXPECT_EQ(page->count("loadData(true)"), 1);
}

TEST_F(BasePage, EndRefreshingHidesTheFooterOnceEverythingIsLoaded) {
    auto page = core::make<RecordingPage>();
    page->endRefreshing(3, 3);  // no table: nothing happens
    EXPECT_FALSE(page->tableview());
    page->addTableFooterRefresh();
    page->addTableHeaderRefresh();
    auto footer = refresh::rf_footer(*page->tableview());
    ASSERT_TRUE(footer);
    ASSERT_TRUE(refresh::rf_header(*page->tableview()));
    page->endRefreshing(3, 3);
    EXPECT_TRUE(footer->isHidden());
    page->endRefreshing(2, 3);
    EXPECT_FALSE(footer->isHidden());
    EXPECT_EQ(page->tableview()->style(), ui::TableViewStyle::grouped);
}

TEST_F(BasePage, TheTableDefaultsAreTheHairlineHeights) {
    auto page = core::make<RecordingPage>();
    page->createTableView(ui::TableViewStyle::plain);
    auto& table = *page->tableview();
    EXPECT_EQ(page->heightForHeaderInSection(table, 0), 0.001);
    EXPECT_EQ(page->heightForFooterInSection(table, 0), 0.001);
    EXPECT_EQ(page->heightForRowAtIndexPath(table, {0, 0}), 44);
    EXPECT_EQ(page->viewForHeaderInSection(table, 0)->frame(), (gfx::Rect{0, 0, 375, 0.001}));
    EXPECT_EQ(page->cellForRowAtIndexPath(table, {0, 0})->reuseIdentifier(), "Quillora.RecordingPage");
}

TEST_F(BasePage, ReleasingAPageRemovesExactlyItsOwnScrollViews) {
    auto& registry = scrollViewRegistry();
    const size_t before = registry.size();
    auto keep = core::make<RecordingPage>();
    keep->createTableView(ui::TableViewStyle::plain);
    auto page = core::make<OtherPage>();
    page->createTableView(ui::TableViewStyle::plain);
    EXPECT_EQ(registry.size(), before + 4);
    std::weak_ptr<MWRootController> weak = page;
    core::LogCapture log;
    page.reset();
    EXPECT_TRUE(weak.expired());
    ASSERT_EQ(registry.size(), before + 2);
    EXPECT_NE(std::find(registry.begin(), registry.end(), keep->scrollView()), registry.end());
    EXPECT_NE(std::find(registry.begin(), registry.end(), keep->tableview()), registry.end());
    EXPECT_NE(std::find(log.lines().begin(), log.lines().end(), "Quillora.OtherPagedealloc"), log.lines().end());
    // A released page no longer hears its notifications (nothing to call, nothing to crash).
    MWRootController::postRefresh<OtherPage>();
}

TEST_F(BasePage, TheRegistryIsBusyWhileAControlRefreshes) {
    auto page = core::make<RecordingPage>();
    page->addTableHeaderRefresh();
    EXPECT_TRUE(isEveryRegisteredScrollViewIdle());
    refresh::rf_header(*page->tableview())->beginRefreshing();
    host->advance(0.5);
    EXPECT_FALSE(isEveryRegisteredScrollViewIdle());
}

} // namespace
} // namespace kit
