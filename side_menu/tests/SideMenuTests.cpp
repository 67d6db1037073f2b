#include "platform/core/NotificationCenter.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "side_menu/SMSideMaskView.h"
#include "side_menu/SMSidePanRecognizerObject.h"
#include "side_menu/SMSideTransitioningDelegate.h"
#include "side_menu/SideMenuPresenting.h"

#include <gtest/gtest.h>

namespace side_menu {
namespace {

// Views of their own classes, so the tree dump tells the page and the menu apart.
class PageView : public ui::View {
    QUILLORA_CLASS(PageView)
    using View::View;
};
class MenuView : public ui::View {
    QUILLORA_CLASS(MenuView)
    using View::View;
};
template <class ViewClass>
class Controller : public ui::ViewController {
public:
    void loadView() override { setView(core::make<ViewClass>(ui::Screen::main().bounds())); }
};

// What the root controller asks for.
void appConfiguration(SMSideConfig& c) {
    c.setAnimationType(SMSideAnimationType::translationPush);
    c.setTimeInterval(0.2);
    c.setDirection(SMSideDirection::left);
    c.setMaskAlpha(0.5);
    c.setSideRelative(2.0 / 3);
}

struct Shown {
    double x = NAN, y = NAN, width = NAN, height = NAN, alpha = NAN;
    bool found = false;
};

// The first entry of a class in the view-tree dump (frames in window points, model values).
Shown findInDump(const core::Value& node, std::string_view className) {
    const auto& d = node.asDictionary();
    if (d.find("class")->asString() == className) {
        const auto& f = d.find("frame")->asArray();
        return {f[0].asDouble(), f[1].asDouble(), f[2].asDouble(), f[3].asDouble(), d.find("alpha")->asDouble(), true};
    }
    if (const auto* subviews = d.find("subviews"))
        for (const auto& child : subviews->asArray())
            if (auto s = findInDump(child, className); s.found) return s;
    return {};
}

class SideMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        window = core::make<ui::Window>();
        host = std::make_unique<ui::HeadlessHost>(window);
        window->makeKeyAndVisible();
        page = core::make<Controller<PageView>>();
        window->setRootViewController(page);
        menu = core::make<Controller<MenuView>>();
    }
    void TearDown() override { host.reset(); }

    void open(const std::function<void(SMSideConfig&)>& configure = appConfiguration) {
        sm_presentSideMenu(configure, menu, page);
        host->advance(0);
        host->advance(0.25);
    }
    Shown shown(std::string_view className) { return findInDump(host->dumpTree(), className); }
    std::shared_ptr<SMSidePercentInteractiveTransition> dismissal() {
        auto delegate = std::dynamic_pointer_cast<SMSideTransitioningDelegate>(menu->transitioningDelegate());
        return delegate ? delegate->dismissalInteractiveTransition : nullptr;
    }
    bool isOpen() { return menu->presentingViewController() != nullptr; }
    void expectClosed() {
        EXPECT_FALSE(isOpen());
        EXPECT_FALSE(shown("MenuView").found);
        EXPECT_FALSE(shown("SMSideMaskView").found);
        auto pageShown = shown("PageView");
        EXPECT_EQ(pageShown.x, 0);
        EXPECT_EQ(page->view()->superview(), window);
    }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::HeadlessHost> host;
    std::shared_ptr<ui::ViewController> page;
    std::shared_ptr<ui::ViewController> menu;
};

TEST_F(SideMenuTest, ThePresentIsQueuedWithTheDelegateAlreadyInPlace) {
    sm_presentSideMenu(appConfiguration, menu, page);
    EXPECT_FALSE(isOpen());
    auto delegate = std::dynamic_pointer_cast<SMSideTransitioningDelegate>(menu->transitioningDelegate());
    ASSERT_TRUE(delegate);
    ASSERT_TRUE(delegate->config);
    EXPECT_EQ(delegate->config->timeInterval(), 0.2);
    EXPECT_TRUE(delegate->dismissalInteractiveTransition);
    host->advance(0);
    EXPECT_TRUE(isOpen());
}

TEST_F(SideMenuTest, TheAppsMenuSlidesInAtTwoThirdsOfTheWidthOverTheHalfMask) {
    sm_presentSideMenu(appConfiguration, menu, page);
    host->advance(0);
    // At the start the menu lies one side width to the left, outside the window.
    EXPECT_NEAR(menu->view()->layer()->presentationLayer()->frame().x(), -250, 0.01);
    EXPECT_EQ(shown("SMSideMaskView").alpha, 0.5) << "the model already holds the end value";
    host->advance(0.25);
    auto side = shown("MenuView");
    EXPECT_EQ(side.x, 0);
    EXPECT_EQ(side.width, 250);
    EXPECT_EQ(side.height, 667);
    auto pushed = shown("PageView");
    EXPECT_EQ(pushed.x, 250);
    auto mask = shown("SMSideMaskView");
    EXPECT_EQ(mask.x, 250);
    EXPECT_EQ(mask.width, 375);
    EXPECT_EQ(mask.alpha, 0.5);
    EXPECT_TRUE(menu->view()->clipsToBounds());
}

TEST_F(SideMenuTest, EachAnimationTypeAndSideComesToRest) {
    struct Case {
        const char* name;
        SMSideAnimationType type;
        SMSideDirection direction;
        double sideStartX, sideX, sideWidth;
        gfx::AffineTransform pageTransform;
        bool sideInFront;
    };
    const Case cases[] = {
        {"push left", SMSideAnimationType::translationPush, SMSideDirection::left, -250, 0, 250,
         gfx::AffineTransform::translation(250, 0), false},
        {"push right", SMSideAnimationType::translationPush, SMSideDirection::right, 375, 125, 250,
         gfx::AffineTransform::translation(-250, 0), false},
        {"mask left", SMSideAnimationType::translationMask, SMSideDirection::left, -250, 0, 250, {}, true},
        {"zoom left", SMSideAnimationType::zoom, SMSideDirection::left, 0, 0, 375, {0.7, 0, 0, 0.7, 131.25, 0}, false},
    };
    for (const auto& c : cases) {
        // A fresh window and menu for every case.
        TearDown();
        SetUp();
        sm_presentSideMenu([&](SMSideConfig& config) {
            appConfiguration(config);
            config.setAnimationType(c.type);
            config.setDirection(c.direction);
        }, menu, page);
        host->advance(0);
        EXPECT_NEAR(menu->view()->layer()->presentationLayer()->frame().x(), c.sideStartX, 0.01) << c.name;
        host->advance(0.25);
        auto side = shown("MenuView");
        EXPECT_EQ(side.x, c.sideX) << c.name;
        EXPECT_EQ(side.width, c.sideWidth) << c.name;
        auto t = page->view()->transform();
        EXPECT_NEAR(t.a, c.pageTransform.a, 1e-9) << c.name;
        EXPECT_NEAR(t.tx, c.pageTransform.tx, 1e-9) << c.name;
        auto container = menu->view()->superview();
        ASSERT_TRUE(container) << c.name;
        EXPECT_EQ(container->subviews().back() == menu->view(), c.sideInFront) << c.name;
    }
}

TEST_F(SideMenuTest, ATapOnTheMaskClosesTheMenu) {
    open();
    host->tap({320, 300});
    EXPECT_NEAR(page->view()->layer()->presentationLayer()->frame().x(), 250, 0.5) << "the hide has just begun";
    EXPECT_NEAR(shown("SMSideMaskView").alpha, 0.001, 1e-12) << "fades to nearly, not quite, nothing";
    host->advance(0.25);
    expectClosed();
}

TEST_F(SideMenuTest, TheNotificationClosesTheMenuAndIsHarmlessOnceClosed) {
    open();
    core::NotificationCenter::defaultCenter().post(kSMSideTapNotification);
    host->advance(0.25);
    expectClosed();
    core::NotificationCenter::defaultCenter().post(kSMSideTapNotification);
    host->advance(0.25);
    expectClosed();
}

TEST_F(SideMenuTest, APanPastHalfWayClosesAndAShorterOneSnapsBack) {
    open();
    host->drag({360, 300}, {210, 300});  // 150 of 375: 0.4
    EXPECT_FLOAT_EQ(dismissal()->percent(), 0.4f);
    EXPECT_FALSE(dismissal()->isInteractive());
    host->advance(0.3);
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(shown("PageView").x, 250);
    auto mask = shown("SMSideMaskView");
    EXPECT_TRUE(mask.found) << "a cancelled hide keeps the mask";
    EXPECT_EQ(mask.alpha, 0.5);
    EXPECT_EQ(shown("MenuView").x, 0);
    EXPECT_EQ(menu->view()->superview()->subviews().back(), menu->view()) << "the menu comes to the front";

    host->drag({360, 300}, {160, 300});  // 200 of 375: 0.533
    host->advance(0.3);
    expectClosed();
}

TEST_F(SideMenuTest, ThePanPercentCountsOnlyMovementTowardsClosing) {
    struct Case {
        const char* name;
        SMSideAnimationType type;
        SMSideDirection direction;
        double fromX, toX;
        float percent;
        bool closes;
    };
    const Case cases[] = {
        {"left, towards closing", SMSideAnimationType::translationPush, SMSideDirection::left, 360, 210, 0.4f, false},
        {"left, away", SMSideAnimationType::translationPush, SMSideDirection::left, 260, 340, 0, false},
        {"left, beyond the width", SMSideAnimationType::translationPush, SMSideDirection::left, 360, -140, 1, true},
        {"right, towards closing", SMSideAnimationType::translationPush, SMSideDirection::right, 20, 170, 0.4f, false},
        {"right, away", SMSideAnimationType::translationPush, SMSideDirection::right, 110, 30, 0, false},
        // Zoom measures against the screen width times (1 - 0.5): exactly half way finishes.
        {"zoom, exactly half", SMSideAnimationType::zoom, SMSideDirection::left, 300, 206.25, 0.5f, true},
    };
    for (const auto& c : cases) {
        // A fresh window and menu for every case.
        TearDown();
        SetUp();
        open([&](SMSideConfig& config) {
            appConfiguration(config);
            config.setAnimationType(c.type);
            config.setDirection(c.direction);
        });
        host->drag({c.fromX, 300}, {c.toX, 300});
        EXPECT_FLOAT_EQ(static_cast<float>(dismissal()->percent()), c.percent) << c.name;
        host->advance(0.3);
        EXPECT_EQ(isOpen(), !c.closes) << c.name;
    }
}

TEST_F(SideMenuTest, TheMaskPostsATapWithoutObjectAndEachPanCallbackWithItsRecognizer) {
    open();
    int taps = 0;
    std::vector<ui::GestureRecognizer::State> panStates;
    auto& center = core::NotificationCenter::defaultCenter();
    auto tapToken = center.addObserver(kSMSideTapNotification, [&](const core::Notification& n) {
        EXPECT_FALSE(n.object);
        ++taps;
    });
    auto panToken = center.addObserver(kSMSidePanNotification, [&](const core::Notification& n) {
        auto box = std::dynamic_pointer_cast<SMSidePanRecognizerObject>(n.object);
        ASSERT_TRUE(box && box->recognizer());
        panStates.push_back(box->recognizer()->state());
    });
    host->drag({360, 300}, {300, 300}, 3);
    ASSERT_GE(panStates.size(), 3u);
    EXPECT_EQ(panStates.front(), ui::GestureRecognizer::State::began);
    EXPECT_EQ(panStates.back(), ui::GestureRecognizer::State::ended);
    host->advance(0.3);
    host->tap({320, 300});
    EXPECT_EQ(taps, 1);
}

TEST_F(SideMenuTest, TwoQuickPresentsGiveOneMenu) {
    sm_presentSideMenu(appConfiguration, menu, page);
    auto first = menu->transitioningDelegate();
    sm_presentSideMenu(appConfiguration, menu, page);
    EXPECT_EQ(menu->transitioningDelegate(), first) << "the queued present keeps its delegate";
    host->advance(0);
    host->advance(0.1);
    sm_presentSideMenu(appConfiguration, menu, page);  // while sliding in
    host->advance(0.2);
    sm_presentSideMenu(appConfiguration, menu, page);  // while open
    host->advance(0.3);
    EXPECT_EQ(menu->transitioningDelegate(), first);
    EXPECT_EQ(window->subviews().size(), 1u) << "one container";
    core::NotificationCenter::defaultCenter().post(kSMSideTapNotification);
    host->advance(0.3);
    expectClosed();
}

TEST_F(SideMenuTest, PresentingAgainReleasesTheEarlierDelegateAndItsDismissal) {
    open();
    std::weak_ptr<ui::ViewControllerTransitioningDelegate> firstDelegate = menu->transitioningDelegate();
    std::weak_ptr<SMSidePercentInteractiveTransition> firstDismissal = dismissal();
    core::NotificationCenter::defaultCenter().post(kSMSideTapNotification);
    host->advance(0.3);
    open();
    EXPECT_TRUE(firstDelegate.expired());
    EXPECT_TRUE(firstDismissal.expired());
    EXPECT_TRUE(isOpen());
}

TEST_F(SideMenuTest, AMaskAlreadyInThePageIsReused) {
    auto existing = core::make<SMSideMaskView>();
    page->view()->addSubview(existing);
    open();
    int masks = 0;
    for (const auto& v : page->view()->subviews()) masks += std::dynamic_pointer_cast<SMSideMaskView>(v) != nullptr;
    EXPECT_EQ(masks, 1);
    EXPECT_EQ(existing->alpha(), 0.5);
}

TEST_F(SideMenuTest, AShowPanChoosesItsSideFromTheFirstMoveAndOpensTheMenuPastHalfWay) {
    std::vector<SMSideDirection> reported;
    std::weak_ptr<ui::ViewController> weakPage = page;
    sm_registerSideShowGesture(page, [&, weakPage](SMSideDirection direction) {
        reported.push_back(direction);
        if (auto p = weakPage.lock()) sm_presentSideMenu(appConfiguration, menu, p);
    });
    host->drag({300, 300}, {280, 300}, 2);  // begins to the left: the menu comes from the right
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], SMSideDirection::right);
    host->advance(0.5);
    EXPECT_FALSE(isOpen()) << "a pan towards the wrong side gives 0 and is cancelled";

    host->drag({20, 300}, {260, 300});  // 240 of 375 to the right
    host->advance(0.5);
    EXPECT_EQ(reported.back(), SMSideDirection::left);
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(shown("MenuView").x, 0);
}

TEST_F(SideMenuTest, PushingFromTheMenuNeedsANavigationController) {
    auto pushed = core::make<ui::ViewController>();
    // A plain root: an error, and the menu stays.
    open();
    auto status = sm_pushFromSide(menu, pushed);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().description, "没有UINavigationController");
    host->advance(0.3);
    EXPECT_TRUE(isOpen());

    // A navigation root: the menu goes and the page is pushed.
    TearDown();
    SetUp();
    auto navigation = core::make<ui::NavigationController>(page);
    window->setRootViewController(navigation);
    sm_presentSideMenu(appConfiguration, menu, navigation);
    host->advance(0);
    host->advance(0.3);
    ASSERT_TRUE(isOpen());
    EXPECT_TRUE(sm_pushFromSide(menu, pushed).ok());
    host->advance(0.5);
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(navigation->topViewController(), pushed);
}

TEST_F(SideMenuTest, PresentingFromTheMenuNeedsSomethingPresentedOnTheRoot) {
    auto other = core::make<ui::ViewController>();
    sm_presentFromSide(menu, other);
    host->advance(0.5);
    EXPECT_FALSE(other->presentingViewController());

    open();
    sm_presentFromSide(menu, other);
    host->advance(0.3);
    EXPECT_FALSE(isOpen());
    host->advance(0.5);
    EXPECT_EQ(other->presentingViewController(), page);
}

} // namespace
} // namespace side_menu
