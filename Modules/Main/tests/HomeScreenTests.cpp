#include "Commons/Controller/ScrollViewRegistry.h"
#include "Modules/Main/QUMainItemSeg.h"
#include "Modules/Main/tests/ScreenTest.h"
#include "refresh/RefreshHeader.h"
#include "refresh/RefreshScrollView.h"

namespace kit::testing {
namespace {

class HomeScreen : public ScreenTest {
protected:
    // The home page on screen with the groups of `data` loaded through its refresh notification.
    std::shared_ptr<QUMainController> loadedHome(const std::string& data) {
        setTagList(data);
        auto home = core::make<QUMainController>();
        navigation = show(home);
        MWRootController::postRefresh<QUMainController>();
        EXPECT_TRUE(runUntil([&] { return home->listModel() != nullptr; }));
        settle();
        return home;
    }
    // The group view inside item i of the column (the item's own button views come first).
    static QUMainItemSeg& group(const QUMainController& page, std::size_t i) {
        auto seg = std::dynamic_pointer_cast<QUMainItemSeg>(page.classSeg()->itemViews().at(i)->subviews().back());
        if (!seg) throw std::logic_error("no group view in item " + std::to_string(i));
        return *seg;
    }
    std::shared_ptr<ui::NavigationController> navigation;
};

TEST_F(HomeScreen, BuildsItsViewsWithTheSideMenuButton) {
    auto home = core::make<QUMainController>();
    show(home);
    expectNear(home->topBgImageView()->frame(), {44 * u, 43.5 * u, 998 * u, 89 * u}, "top image");
    expectNear(home->searchView()->frame(), {0, 176 * u, 1080 * u, 126 * u}, "search bar");
    expectNear(home->classSeg()->frame(), {0, 372 * u, 1080 * u, 126 * u}, "groups");
    EXPECT_TRUE(home->topBgImageView()->image());
    EXPECT_EQ(home->topBgImageView()->superview(), home->scrollView());
    EXPECT_FALSE(home->backBtn()->isHidden());
    EXPECT_TRUE(home->backBtn()->imageForState(ui::stateNormal));
    EXPECT_TRUE(home->classSeg()->isAutoSize());
    EXPECT_TRUE(refresh::rf_header(*home->scrollView()));
    // The page asks for nothing until its refresh logic or a pull says so.
    settle();
    EXPECT_TRUE(formsTo(network::Api::kTagListPath).empty());
}

TEST_F(HomeScreen, ARefreshLoadsTheTagListAndStacksTheGroupsWithoutGaps) {
    auto home = loadedHome(kThreeGroups);
    auto sent = formsTo(network::Api::kTagListPath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 2u) << "only random_time and sign";
    EXPECT_EQ(network::Api::currentMainList(), home->listModel()) << "kept for the side menu";

    const auto& items = home->classSeg()->itemViews();
    ASSERT_EQ(items.size(), 3u);
    const double heights[] = {408 * u, 270 * u, 132 * u};
    const long lines[] = {2, 1, 0};
    const std::size_t tags[] = {4, 3, 0};
    double top = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        expectNear(items[i]->frame(), {0, top, 1080 * u, heights[i]}, "item");
        auto& g = group(*home, i);
        expectNear(g.frame(), {0, 0, 1080 * u, heights[i]}, "group");
        expectNear(g.colorView()->frame(), {40 * u, 0, 10 * u, 60 * u}, "bar");
        expectNear(g.titleLabel()->frame(), {100 * u, 0, 940 * u, 60 * u}, "title");
        expectNear(g.seg()->frame(), {15 * u, 110 * u, 1050 * u, static_cast<double>(lines[i]) * 138 * u}, "grid");
        EXPECT_EQ(g.titleLabel()->text(), home->listModel()->list[i]->title);
        ASSERT_EQ(g.seg()->itemViews().size(), tags[i]);
        for (std::size_t t = 0; t < tags[i]; ++t) {
            const auto& cell = *g.seg()->itemViews()[t];
            expectNear(cell.frame(), {350 * u * static_cast<double>(t % 3), 138 * u * static_cast<double>(t / 3), 350 * u, 138 * u},
                       "tag cell");
            auto& label = static_cast<ui::Label&>(*cell.subviews().back());
            expectNear(label.frame(), {25 * u, 21 * u, 300 * u, 96 * u}, "tag label");
            EXPECT_EQ(label.text(), home->listModel()->list[i]->content[t]->title);
            EXPECT_EQ(label.layer()->borderWidth(), 1);
            EXPECT_EQ(label.layer()->cornerRadius(), 4);
        }
        top += heights[i];
    }
    EXPECT_EQ(group(*home, 0).colorView()->backgroundColor(), c::colorFF5B78());
    EXPECT_EQ(group(*home, 1).colorView()->backgroundColor(), c::color13B5B1());
    expectNear(home->classSeg()->frame(), {0, 372 * u, 1080 * u, 810 * u}, "groups");

    // A second answer replaces every group; an empty list leaves the column as it was, empty.
    setTagList(R"({"about_url":"/about","list":[]})");
    MWRootController::postRefresh<QUMainController>();
    ASSERT_TRUE(runUntil([&] { return home->listModel()->list.empty(); }));
    settle();
    EXPECT_TRUE(home->classSeg()->itemViews().empty());
    EXPECT_NEAR(home->classSeg()->frame().height(), 810 * u, 1e-6);
}

TEST_F(HomeScreen, ATagOpensItsAnswerListEachTimeItIsTapped) {
    auto home = loadedHome(kThreeGroups);
    const auto& tag = *group(*home, 1).seg()->itemViews().at(2);  // "散步"
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        host->tap(middleInWindow(tag));
        settle();
        auto page = std::dynamic_pointer_cast<QUMainDetailController>(navigation->topViewController());
        ASSERT_TRUE(page);
        EXPECT_EQ(page->mContent(), "散步");
        ASSERT_TRUE(answered(static_cast<std::size_t>(round)));
        const auto form = formsTo(network::Api::kContentListPath).back();
        EXPECT_EQ(form.at("pages"), "0");
        EXPECT_EQ(form.at("search_text"), "");
        EXPECT_EQ(form.at("search_tag"), "散步");
        navigation->popViewControllerAnimated(false);
        settle();
    }
}

TEST_F(HomeScreen, TheSearchBarOpensTheSearchPageFromAnyPointOfIt) {
    auto home = loadedHome(kThreeGroups);
    // On the text field, which takes no touches here, and on the icon.
    for (const ui::View* target : {static_cast<const ui::View*>(home->searchView()->inputTextField().get()),
                                   static_cast<const ui::View*>(home->searchView()->iconImageView().get())}) {
        host->tap(middleInWindow(*target));
        settle();
        auto page = std::dynamic_pointer_cast<QUMainDetailController>(navigation->topViewController());
        ASSERT_TRUE(page);
        EXPECT_FALSE(page->mContent());
        navigation->popViewControllerAnimated(false);
        settle();
    }
    EXPECT_EQ(contentRequests(), 0u);
}

TEST_F(HomeScreen, EveryAnswerEndsThePullSoLaterRequestsShowTheOverlayAgain) {
    struct Case {
        const char* name;
        std::function<Reply()> reply;
        bool loaded;
    } cases[] = {
        {"success", nullptr, true},
        {"refused by the service", [] { return Reply::json(R"({"status":0,"message":"签名错误"})"); }, false},
        {"connection dropped", [] { Reply r = Reply::json("{}"); r.mode = Reply::Mode::closeWithoutReply; return r; }, false},
    };
    setTagList(kThreeGroups);
    auto home = core::make<QUMainController>();
    show(home);
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        {
            std::lock_guard lock(mutex);
            tagListReply = k.reply;
        }
        home->setListModel(nullptr);
        const std::size_t before = formsTo(network::Api::kTagListPath).size();
        auto header = refresh::rf_header(*home->scrollView());
        header->beginRefreshing();
        ASSERT_TRUE(runUntil([&] { return header->state() == refresh::RefreshComponentState::Refreshing; }));
        EXPECT_FALSE(isEveryRegisteredScrollViewIdle());
        ASSERT_TRUE(runUntil([&] { return formsTo(network::Api::kTagListPath).size() > before; }));
        ASSERT_TRUE(runUntil([&] { return header->state() == refresh::RefreshComponentState::Idle; }));
        EXPECT_TRUE(isEveryRegisteredScrollViewIdle());
        EXPECT_EQ(home->listModel() != nullptr, k.loaded);
        ASSERT_TRUE(runUntil([] { return network::MWNetwork::shared()->showTimes == 0; }));
        settle();
    }
}

TEST_F(HomeScreen, GroupsHoldTheirPageWeaklyAndATapOnAGoneTagDoesNothing) {
    std::weak_ptr<QUMainController> weak;
    std::shared_ptr<QUMainItemSeg> kept;
    {
        auto home = loadedHome(kThreeGroups);
        kept = std::static_pointer_cast<QUMainItemSeg>(group(*home, 0).shared_from_this());
        EXPECT_EQ(kept->controller(), home);
        weak = home;
        window->setRootViewController(nullptr);
        navigation.reset();
        settle();
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(kept->controller());
    kept->seg()->click(*kept->seg()->itemViews().at(0));  // no page to push onto
}

} // namespace
} // namespace kit::testing
