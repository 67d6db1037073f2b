// The manager's settings, class lists, feature decisions, touch filter, switching it on and off,
// and the keyboard and editing events it follows.
#include "keyboard/KBViewOptions.h"
#include "ManagerFixture.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/TableView.h"

#include <cmath>

namespace keyboard::testing {
namespace {

std::vector<std::string_view> names(const KBClassList& list) {
    std::vector<std::string_view> out;
    for (const auto& c : list) out.push_back(c.name);
    return out;
}

struct FormPage : ui::ViewController {
    QUILLORA_CLASS(FormPage)
};
struct SubFormPage : FormPage {
    QUILLORA_CLASS(SubFormPage)
};
struct _UIAlertControllerTextFieldViewController : ui::ViewController {
    QUILLORA_CLASS(_UIAlertControllerTextFieldViewController)
};

using Settings = ManagerTest;

TEST_F(Settings, StartValuesAndClassLists) {
    EXPECT_FALSE(manager->enable());
    EXPECT_EQ(manager->keyboardDistanceFromTextField(), 10.0);
    EXPECT_FALSE(manager->keyboardShowing());
    EXPECT_EQ(manager->movedDistance(), 0.0);
    EXPECT_TRUE(manager->enableAutoToolbar());
    EXPECT_TRUE(manager->shouldShowToolbarPlaceholder);
    EXPECT_TRUE(manager->shouldPlayInputClicks);
    EXPECT_TRUE(manager->preventShowingBottomBlankSpace);
    EXPECT_TRUE(manager->shouldFixInteractivePopGestureRecognizer);
    EXPECT_EQ(manager->animationDuration(), 0.25);
    EXPECT_EQ(manager->animationCurve(), 0x20000u);
    EXPECT_EQ(manager->topViewBeginOrigin(), unsetOrigin);
    EXPECT_EQ(unsetOrigin.x, 1.7976931348623157e308);
    EXPECT_FALSE(manager->resignFirstResponderGesture()->isEnabled());
    using V = std::vector<std::string_view>;
    EXPECT_EQ(names(manager->disabledDistanceHandlingClasses), (V{"TableViewController", "AlertController"}));
    EXPECT_EQ(names(manager->disabledToolbarClasses), (V{"AlertController"}));
    EXPECT_EQ(names(manager->disabledTouchResignedClasses), (V{"AlertController"}));
    EXPECT_EQ(names(manager->toolbarPreviousNextAllowedClasses), (V{"TableView", "CollectionView", "KBPreviousNextView"}));
    EXPECT_EQ(names(manager->touchResignedGestureIgnoreClasses), (V{"Control", "NavigationBar"}));
    EXPECT_TRUE(manager->enabledDistanceHandlingClasses.empty());
    EXPECT_EQ(names(manager->registeredClasses()), (V{"TextField", "TextView"}));
    manager->setShouldShowTextFieldPlaceholder(false);
    EXPECT_FALSE(manager->shouldShowToolbarPlaceholder);
}

TEST_F(Settings, DistanceIsNeverNegativeAndLogsItsValue) {
    manager->enableDebugging = true;
    struct { double set, stored; const char* line; } cases[] = {
        {-3, 0.0, "KBKeyboardManager: keyboardDistanceFromTextField: 0.0"},
        {std::nan(""), 0.0, "KBKeyboardManager: keyboardDistanceFromTextField: 0.0"},
        {25, 25.0, "KBKeyboardManager: keyboardDistanceFromTextField: 25.0"},
        {2.5, 2.5, "KBKeyboardManager: keyboardDistanceFromTextField: 2.5"},
    };
    for (const auto& c : cases) {
        manager->setKeyboardDistanceFromTextField(c.set);
        EXPECT_EQ(manager->keyboardDistanceFromTextField(), c.stored) << c.set;
        EXPECT_EQ(lines.back(), c.line);
    }
    manager->setEnableAutoToolbar(true);
    EXPECT_EQ(count("addToolbarIfRequired() started"), 1) << "set to the value it has: still added";
    EXPECT_EQ(lines.back(), "KBKeyboardManager: enableAutoToolbar: Yes");
    manager->setShouldResignOnTouchOutside(false);
    EXPECT_EQ(lines.back(), "KBKeyboardManager: shouldResignOnTouchOutside: NO");
}

TEST_F(Settings, AControllerSettingFollowsTheFlagTheListsAndTheAlertNameRule) {
    auto base = KBClass::of<FormPage>();
    struct {
        const char* what;
        std::shared_ptr<ui::ViewController> controller;
        bool flag;
        KBClassList enabled, disabled;
        bool expected;
    } cases[] = {
        {"off, empty enabled list", core::make<FormPage>(), false, {}, {}, false},
        {"off, listed base class", core::make<FormPage>(), false, {base}, {}, true},
        {"off, subclass of a listed class", core::make<SubFormPage>(), false, {base}, {}, true},
        {"off, other class listed", core::make<FormPage>(), false, {KBClass::of<SubFormPage>()}, {}, false},
        {"on ignores the enabled list", core::make<FormPage>(), true, {KBClass::of<SubFormPage>()}, {}, true},
        {"disabled wins", core::make<SubFormPage>(), true, {base}, {base}, false},
        {"alert text-field controller", core::make<_UIAlertControllerTextFieldViewController>(), true, {}, {}, false},
    };
    for (auto& c : cases) {
        window->setRootViewController(c.controller);
        auto f = field({20, 100, 200, 30}, c.controller->view());
        EXPECT_EQ(manager->resolveControllerSetting(c.flag, c.enabled, c.disabled), c.flag) << "no input yet: " << c.what;
        f->becomeFirstResponder();
        EXPECT_EQ(manager->resolveControllerSetting(c.flag, c.enabled, c.disabled), c.expected) << c.what;
        f->resignFirstResponder();
        settle();
    }
    // A table-view controller never gets distance handling with the default lists.
    auto table = core::make<ui::TableViewController>();
    window->setRootViewController(table);
    auto f = field({20, 100, 200, 30}, table->view());
    f->becomeFirstResponder();
    manager->setEnable(true);
    EXPECT_FALSE(manager->isDistanceHandlingEnabled());
    manager->enabledDistanceHandlingClasses = {KBClass::of<ui::TableViewController>()};
    EXPECT_FALSE(manager->isDistanceHandlingEnabled()) << "the disabled list still wins";
}

TEST_F(Settings, ResignModeAndTouchFilter) {
    auto f = field({20, 100, 200, 30});
    f->becomeFirstResponder();
    EXPECT_FALSE(manager->isResignOnTouchOutsideEnabled());
    setShouldResignOnTouchOutsideMode(*f, KBEnableMode::alwaysEnabled);
    manager->disabledTouchResignedClasses.push_back(KBClass::of<ui::ViewController>());
    EXPECT_TRUE(manager->isResignOnTouchOutsideEnabled()) << "the view's mode decides first";
    setShouldResignOnTouchOutsideMode(*f, KBEnableMode::alwaysDisabled);
    manager->setShouldResignOnTouchOutside(true);
    EXPECT_FALSE(manager->isResignOnTouchOutsideEnabled());
    EXPECT_FALSE(manager->resignFirstResponderGesture()->isEnabled());

    // A tap outside resigns; a tap on a control or the navigation bar never reaches the gesture.
    setShouldResignOnTouchOutsideMode(*f, KBEnableMode::useManagerSetting);
    manager->disabledTouchResignedClasses.clear();
    f->resignFirstResponder();
    f->becomeFirstResponder();
    settle();
    ASSERT_TRUE(manager->resignFirstResponderGesture()->isEnabled());
    auto button = core::make<ui::Button>(gfx::Rect{20, 200, 100, 40});
    page->view()->addSubview(button);
    host->tap(button->convertPointToWindow({50, 20}));
    host->tap({200, 30});  // the navigation bar
    EXPECT_TRUE(f->isFirstResponder());
    host->tap({200, 250});
    EXPECT_FALSE(f->isFirstResponder());
    EXPECT_FALSE(manager->shouldRecognizeSimultaneously(*manager->resignFirstResponderGesture(), *manager->resignFirstResponderGesture()));
}

} // namespace
} // namespace keyboard::testing
