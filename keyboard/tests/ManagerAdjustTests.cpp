// Keyboard and editing events and the position adjustment, on the fixture's page: the page's root
// view starts at y 64 under the bar, the keyboard with its bar covers 260 points, the distance is
// 10, so the top guide is 69 and the covered height 270.
#include "keyboard/KBViewOptions.h"
#include "ManagerFixture.h"
#include "platform/core/NotificationCenter.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"

namespace keyboard::testing {
namespace {

using Events = ManagerTest;
using Adjustment = ManagerTest;

core::Dictionary info(std::optional<core::Value> curve, std::optional<core::Value> duration, std::optional<gfx::Rect> end) {
    core::Dictionary d;
    if (curve) d.set(ui::Keyboard::kAnimationCurveUserInfoKey, *curve);
    if (duration) d.set(ui::Keyboard::kAnimationDurationUserInfoKey, *duration);
    if (end) d.set(ui::Keyboard::kFrameEndUserInfoKey, core::Array{end->x(), end->y(), end->width(), end->height()});
    return d;
}

TEST_F(Events, WillShowReadsCurveDurationAndSizeEvenWhileOff) {
    manager->enableDebugging = true;
    auto& center = core::NotificationCenter::defaultCenter();
    center.post(ui::Keyboard::kWillShowNotification, nullptr, info(core::Value(7), core::Value(0.4), gfx::Rect{0, 400, 375, 267}));
    EXPECT_EQ(manager->animationCurve(), 7u) << "not shifted into the curve bits";
    EXPECT_EQ(manager->animationDuration(), 0.4);
    EXPECT_EQ(manager->keyboardSize(), (gfx::Size{375, 267}));
    EXPECT_TRUE(manager->keyboardShowing());
    EXPECT_EQ(lines, (std::vector<std::string>{"KBKeyboardManager: UIKeyboard Size : (375.0, 267.0)"})) << "no started line while off";
    center.post(ui::Keyboard::kWillShowNotification, nullptr, info(core::Value("x"), core::Value(0.0), gfx::Rect{0, 700, 375, 200}));
    EXPECT_EQ(manager->animationCurve(), 0x20000u);
    EXPECT_EQ(manager->animationDuration(), 0.4) << "0 keeps the duration";
    EXPECT_EQ(manager->keyboardSize(), (gfx::Size{375, 0})) << "wholly off screen";
    center.post(ui::Keyboard::kWillShowNotification, nullptr);
    EXPECT_EQ(manager->animationDuration(), 0.4) << "no user info changes nothing";
    center.post(ui::Keyboard::kWillShowNotification, nullptr, core::Dictionary{{"other", 1}});
    EXPECT_EQ(manager->animationDuration(), 0.25) << "missing: 0.25 on show";
    EXPECT_EQ(manager->keyboardSize(), (gfx::Size{375, 0})) << "no frame keeps the size";
    center.post(ui::Keyboard::kWillHideNotification, nullptr, info(std::nullopt, core::Value(0.0), std::nullopt));
    EXPECT_EQ(manager->animationDuration(), 0.25);
    EXPECT_FALSE(manager->keyboardShowing());
    EXPECT_FALSE(manager->hasKeyboardShowNotification());
}

TEST_F(Events, ShowAndBeginInOneTurnAdjustOnceAndHideCancelsAQueuedRun) {
    manager->setEnable(true);
    manager->enableDebugging = true;
    auto a = field({20, 100, 200, 40}), b = field({20, 500, 200, 40});
    a->becomeFirstResponder();  // begin-editing, then will-show, in one turn
    EXPECT_TRUE(manager->hasPendingAdjustRequest());
    settle();
    EXPECT_EQ(count("adjustPosition() started"), 1);
    b->becomeFirstResponder();
    EXPECT_TRUE(manager->hasPendingAdjustRequest());
    b->resignFirstResponder();  // will-hide before the run
    EXPECT_FALSE(manager->hasPendingAdjustRequest());
    settle();
    EXPECT_EQ(count("adjustPosition() started"), 1) << "the cancelled run did nothing";
    EXPECT_EQ(pageY(), 64);
    EXPECT_EQ(manager->topViewBeginOrigin(), unsetOrigin) << "did-hide forgets the origin";
    EXPECT_EQ(count("****** keyboardWillHide(_:) ended: "), 1);
    EXPECT_TRUE(lines.back().ends_with(" seconds ******\n"));
}

TEST_F(Events, AnAlertInputQueuesNothingAndAFormSheetAdjustsOnDidShow) {
    manager->setEnable(true);
    auto alert = core::make<ui::AlertController>("", "", ui::AlertControllerStyle::alert);
    auto f = field({20, 100, 200, 40}, alert->view());
    window->rootViewController()->presentViewController(alert, false);
    settle();
    f->becomeFirstResponder();
    EXPECT_EQ(manager->textFieldView(), f);
    EXPECT_FALSE(manager->hasPendingAdjustRequest());
    f->resignFirstResponder();
    alert->dismissViewControllerAnimated(false);
    settle();

    auto sheet = core::make<ui::ViewController>();
    sheet->setModalPresentationStyle(ui::ModalPresentationStyle::formSheet);
    nav->presentViewController(sheet, false);
    settle();
    auto low = field({20, 600, 200, 40}, sheet->view());
    low->becomeFirstResponder();
    manager->keyboardWillShow(nullptr);  // no size change: nothing queued by will-show
    settle();
    EXPECT_LT(sheet->view()->frame().y(), 0) << "did-show queued the run";
}

TEST_F(Adjustment, TheInputRestsTenPointsAboveTheKeyboardAndBar) {
    manager->setEnable(true);
    struct {
        const char* what;
        gfx::Rect frame;
        double pageY;
    } cases[] = {
        {"well above: nothing moves", {20, 100, 200, 40}, 64},
        {"its bottom 77 below the line", {20, 370, 200, 40}, -13},
        {"low", {20, 560, 200, 40}, -203},
        {"never above the keyboard height", {20, 700, 200, 40}, -260},
    };
    for (const auto& c : cases) {
        auto f = field(c.frame);
        f->becomeFirstResponder();
        settle();
        EXPECT_EQ(pageY(), c.pageY) << c.what;
        EXPECT_EQ(manager->movedDistance(), 64 - c.pageY) << c.what;
        if (c.pageY > -260 && c.pageY < 64) {
            gfx::Rect inWindow = f->convertRect(f->bounds(), nullptr);
            EXPECT_DOUBLE_EQ(inWindow.maxY(), 667 - 260 - 10) << c.what;
        }
        manager->reloadLayoutIfNeeded();
        settle();
        EXPECT_EQ(pageY(), c.pageY) << "a second run is idle: " << c.what;
        f->resignFirstResponder();
        settle();
        EXPECT_EQ(pageY(), 64) << "hide restores: " << c.what;
        f->removeFromSuperview();
    }
}

TEST_F(Adjustment, AScrollViewScrollsFirstAndItsInsetReachesTheKeyboard) {
    manager->setEnable(true);
    auto scroll = core::make<ui::ScrollView>(gfx::Rect{0, 0, 375, 603});
    scroll->setContentSize({375, 1200});
    page->view()->addSubview(scroll);
    auto f = field({20, 500, 200, 40}, scroll);
    auto outside = field({20, 10, 200, 30});
    f->becomeFirstResponder();
    settle();
    EXPECT_EQ(scroll->contentOffset().y, 207);
    EXPECT_EQ(scroll->contentInset().bottom, 260);
    EXPECT_EQ(scroll->scrollIndicatorInsets().bottom, 260);
    EXPECT_EQ(pageY(), 64) << "the scroll view took the whole move";
    EXPECT_EQ(manager->lastScrollView(), scroll);

    outside->becomeFirstResponder();  // leaves the scroll view: insets back, offset kept
    settle();
    EXPECT_EQ(scroll->contentInset().bottom, 0);
    EXPECT_EQ(scroll->contentOffset().y, 207);
    EXPECT_EQ(manager->lastScrollView(), nullptr);

    setShouldRestoreScrollViewContentOffset(*scroll, true);
    f->becomeFirstResponder();
    settle();
    outside->resignFirstResponder();
    f->resignFirstResponder();
    settle();
    EXPECT_EQ(scroll->contentOffset().y, 207) << "the offset saved at the run";

    scroll->setScrollEnabled(false);
    scroll->setContentOffset({0, 0});
    f->becomeFirstResponder();
    settle();
    EXPECT_EQ(scroll->contentOffset().y, 0) << "a scroll view that cannot scroll is passed over";
    EXPECT_LT(pageY(), 64);
}

TEST_F(Adjustment, ATallTextViewIsInsetAndGetsItsInsetsBack) {
    manager->setEnable(true);
    auto text = core::make<ui::TextView>(gfx::Rect{20, 20, 335, 560});
    page->view()->addSubview(text);
    text->becomeFirstResponder();
    settle();
    EXPECT_GT(text->contentInset().bottom, 0);
    double inset = text->contentInset().bottom;
    manager->reloadLayoutIfNeeded();
    settle();
    EXPECT_EQ(text->contentInset().bottom, inset);
    text->resignFirstResponder();
    settle();
    EXPECT_EQ(text->contentInset().bottom, 0);
}

TEST_F(Adjustment, ASearchBarsDistanceWinsAndAViewsOwnDistanceCounts) {
    manager->setEnable(true);
    auto f = field({20, 370, 200, 40});
    setKeyboardDistanceFromTextField(*f, 30);
    f->becomeFirstResponder();
    settle();
    EXPECT_EQ(pageY(), 64 - 97);
    f->resignFirstResponder();
    settle();
    auto bar = core::make<ui::SearchBar>(gfx::Rect{0, 370, 375, 56});
    page->view()->addSubview(bar);
    window->layoutIfNeeded();
    setKeyboardDistanceFromTextField(*bar->searchTextField(), 50);
    setKeyboardDistanceFromTextField(*bar, 0);
    bar->becomeFirstResponder();
    settle();
    gfx::Rect r = bar->searchTextField()->convertRect(bar->searchTextField()->bounds(), nullptr);
    EXPECT_DOUBLE_EQ(r.maxY(), 667 - 216) << "no bar on a search field; the bar's distance 0, not the field's 50";
}

TEST_F(Adjustment, SwitchingOffWithTheKeyboardUpPutsThePageBackAndOnAgainAdjusts) {
    auto f = field({20, 370, 200, 40});
    f->becomeFirstResponder();
    settle();
    EXPECT_EQ(pageY(), 64) << "off: nothing moves";
    manager->setEnable(true);
    settle();
    EXPECT_EQ(pageY(), -13) << "on with the keyboard up: the field comes clear";
    manager->setEnable(false);
    settle();
    EXPECT_EQ(pageY(), 64) << "off with the keyboard up: the page goes back";
    EXPECT_FALSE(manager->keyboardShowing());
    manager->setEnable(true);
    settle();
    EXPECT_EQ(pageY(), -13);
    f->resignFirstResponder();
    settle();
    EXPECT_EQ(pageY(), 64);
}

TEST_F(Adjustment, FocusMovingToAnotherPageRestoresTheFirstAndSavesTheSecond) {
    manager->setEnable(true);
    auto other = core::make<ui::ViewController>();
    other->setModalPresentationStyle(ui::ModalPresentationStyle::overFullScreen);
    auto a = field({20, 370, 200, 40});
    auto b = field({20, 560, 200, 40}, other->view());
    a->becomeFirstResponder();
    settle();
    EXPECT_EQ(pageY(), -13);
    nav->presentViewController(other, false);
    settle();
    b->becomeFirstResponder();  // the keyboard stays up
    settle();
    EXPECT_EQ(pageY(), 64) << "the first page is back";
    EXPECT_EQ(other->view()->frame().y(), -203) << "under no bar: top guide 25";
    b->resignFirstResponder();
    settle();
    EXPECT_EQ(other->view()->frame().y(), 0);
    EXPECT_EQ(pageY(), 64);
}

TEST_F(Events, OrientationChangeRestoresAndKeyWindowIsRemembered) {
    manager->setEnable(true);
    auto f = field({20, 370, 200, 40});
    f->becomeFirstResponder();
    settle();
    core::NotificationCenter::defaultCenter().post(ui::Application::kWillChangeStatusBarOrientationNotification,
                                                   ui::Application::sender());
    settle();
    EXPECT_EQ(pageY(), 64);
    f->resignFirstResponder();
    settle();
    EXPECT_EQ(manager->currentKeyWindow(), window);
    ui::Application::shared().setKeyWindow(nullptr);
    EXPECT_EQ(manager->currentKeyWindow(), window) << "the last known key window";
    window->makeKeyAndVisible();
}

} // namespace
} // namespace keyboard::testing
