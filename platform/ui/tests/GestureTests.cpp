#include "platform/ui/Keyboard.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/MenuController.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "UiTest.h"

namespace ui {
namespace {

using State = GestureRecognizer::State;
using ui_Gesture = UiTest;

// A view that records the touch events it gets.
class TouchLog : public View {
    QUILLORA_CLASS(TouchLog)
    using View::View;
    std::vector<std::string> events;
    void touchesBegan(const TouchSet&) override { events.push_back("began"); }
    void touchesMoved(const TouchSet&) override { events.push_back("moved"); }
    void touchesEnded(const TouchSet&) override { events.push_back("ended"); }
    void touchesCancelled(const TouchSet&) override { events.push_back("cancelled"); }
};

template <class R>
std::shared_ptr<R> attach(View& view, std::vector<State>& states) {
    auto r = std::make_shared<R>();
    r->addAction([&states](GestureRecognizer& g) { states.push_back(g.state()); });
    view.addGestureRecognizer(r);
    return r;
}

TEST_F(ui_Gesture, LongPressBeginsAfterHalfASecondWithinTenPoints) {
    struct Case {
        const char* name;
        double hold;
        gfx::Point moveTo;
        std::vector<State> expected;
    } cases[] = {
        {"held, moved after it began", 0.5, {150, 150}, {State::began, State::changed, State::ended}},
        {"lifted too early", 0.49, {100, 100}, {}},
        {"moved 11 points before the time", 0.6, {111, 100}, {}},
        {"moved 10 points, then held", 0.5, {110, 100}, {State::began, State::ended}},
    };
    for (const auto& c : cases) {
        auto view = core::make<TouchLog>(gfx::Rect{0, 0, 300, 300});
        window->addSubview(view);
        std::vector<State> states;
        attach<LongPressGestureRecognizer>(*view, states);
        host->touchDown({100, 100});
        if (c.moveTo.x == 110) host->touchMove(c.moveTo);
        if (c.moveTo.x == 111) host->touchMove(c.moveTo);
        host->advance(c.hold);
        if (c.moveTo.x == 150) host->touchMove(c.moveTo);
        host->touchUp(c.moveTo);
        EXPECT_EQ(states, c.expected) << c.name;
        view->removeFromSuperview();
    }
}

TEST_F(ui_Gesture, LongPressTakesTheTouchBeforeItsActionRuns) {
    auto view = core::make<TouchLog>(gfx::Rect{0, 0, 300, 300});
    window->addSubview(view);
    auto press = std::make_shared<LongPressGestureRecognizer>();
    std::vector<std::string> seenByAction;
    press->addAction([&](GestureRecognizer& g) {
        if (g.state() == State::began) seenByAction = view->events;
    });
    view->addGestureRecognizer(press);
    host->touchDown({50, 50});
    host->advance(0.6);
    // The view is cancelled while the press already reports began, so it can tell why.
    EXPECT_EQ(seenByAction, (std::vector<std::string>{"began", "cancelled"}));
    EXPECT_EQ(view->events, (std::vector<std::string>{"began", "cancelled"}));
    host->touchUp({50, 50});
    EXPECT_EQ(view->events.size(), 2u);  // the lift goes to the recognizer only
    // The location stays readable after the touches are gone.
    EXPECT_EQ(press->locationInView(view.get()), (gfx::Point{50, 50}));
}

TEST_F(ui_Gesture, DoubleTapNeedsTheSecondTouchSoonAndNearby) {
    struct Case {
        const char* name;
        double pause;
        gfx::Point second;
        int doubles;
        int singles;  // the single tap waits for the double tap to fail
    } cases[] = {
        {"quick and close", 0.3, {104, 104}, 1, 0},
        {"too slow", 0.36, {100, 100}, 0, 2},
        {"too far", 0.1, {111, 100}, 0, 2},
    };
    for (const auto& c : cases) {
        auto view = core::make<TouchLog>(gfx::Rect{0, 0, 300, 300});
        window->addSubview(view);
        std::vector<State> singles, doubles;
        auto single = attach<TapGestureRecognizer>(*view, singles);
        auto twice = attach<TapGestureRecognizer>(*view, doubles);
        twice->setNumberOfTapsRequired(2);
        single->requireGestureRecognizerToFail(twice);
        host->tap({100, 100});
        EXPECT_TRUE(singles.empty()) << c.name << ": the single tap fired before the double tap failed";
        host->advance(c.pause);
        host->tap(c.second);
        host->advance(0.5);
        EXPECT_EQ(static_cast<int>(doubles.size()), c.doubles) << c.name;
        EXPECT_EQ(static_cast<int>(singles.size()), c.singles) << c.name;
        EXPECT_EQ(single->locationInView(nullptr), c.singles ? c.second : single->locationInView(nullptr)) << c.name;
        view->removeFromSuperview();
    }
}

TEST_F(ui_Gesture, DelegateKeepsTouchesAwayFromARecognizer) {
    struct Refuser : GestureRecognizerDelegate {
        bool allow = false;
        int asked = 0;
        bool shouldReceiveTouch(GestureRecognizer&, const std::shared_ptr<Touch>&) override {
            ++asked;
            return allow;
        }
    };
    auto view = core::make<TouchLog>(gfx::Rect{0, 0, 300, 300});
    window->addSubview(view);
    std::vector<State> states;
    auto tap = attach<TapGestureRecognizer>(*view, states);
    auto delegate = std::make_shared<Refuser>();
    tap->setDelegate(delegate);
    host->tap({10, 10});
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(view->events, (std::vector<std::string>{"began", "ended"}));
    delegate->allow = true;
    host->tap({10, 10});
    EXPECT_EQ(states, (std::vector<State>{State::ended}));
    EXPECT_EQ(delegate->asked, 2);
}

TEST_F(ui_Gesture, ScrollViewDoesNotScrollForContentTouchesItMayNotCancel) {
    auto scroll = core::make<ScrollView>(gfx::Rect{0, 0, 300, 400});
    scroll->setContentSize({300, 2000});
    auto content = core::make<TouchLog>(gfx::Rect{0, 0, 300, 100});
    scroll->addSubview(content);
    window->addSubview(scroll);
    EXPECT_TRUE(scroll->delaysContentTouches());
    EXPECT_TRUE(scroll->canCancelContentTouches());

    scroll->setCanCancelContentTouches(false);
    host->drag({150, 50}, {150, 10});
    EXPECT_EQ(scroll->contentOffset().y, 0) << "a drag on content scrolled";
    EXPECT_EQ(content->events.back(), "ended");
    host->drag({150, 300}, {150, 260});  // on the scroll view itself
    EXPECT_GT(scroll->contentOffset().y, 0);

    scroll->setContentOffset({0, 0});
    scroll->setCanCancelContentTouches(true);
    host->drag({150, 50}, {150, 10});
    EXPECT_GT(scroll->contentOffset().y, 0);
    EXPECT_EQ(content->events.back(), "cancelled");
}

TEST_F(ui_Gesture, NavigationPopGestureKeepsItsEnabledFlag) {
    auto nav = core::make<NavigationController>(core::make<ViewController>());
    ASSERT_TRUE(nav->interactivePopGestureRecognizer());
    EXPECT_TRUE(nav->interactivePopGestureRecognizer()->isEnabled());
    nav->interactivePopGestureRecognizer()->setEnabled(false);
    EXPECT_FALSE(nav->interactivePopGestureRecognizer()->isEnabled());
}

// A responder that can perform some of the edit commands and records what it performed.
class Editor : public View {
    QUILLORA_CLASS(Editor)
    using View::View;
    std::vector<std::string> allowed, performed;
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(std::string_view a) const override {
        return std::find(allowed.begin(), allowed.end(), a) != allowed.end();
    }
    void performAction(std::string_view a) override { performed.emplace_back(a); }
};

TEST_F(ui_Gesture, FirstResponderGoesThroughTheKeyboardWithoutShowingIt) {
    auto editor = core::make<Editor>(gfx::Rect{0, 0, 10, 10});
    auto plain = core::make<View>(gfx::Rect{0, 0, 10, 10});
    window->addSubview(editor);
    EXPECT_FALSE(plain->becomeFirstResponder());
    EXPECT_TRUE(editor->becomeFirstResponder());
    EXPECT_TRUE(editor->isFirstResponder());
    EXPECT_EQ(Keyboard::shared().firstResponder(), editor);
    EXPECT_FALSE(Keyboard::shared().isVisible());
    EXPECT_TRUE(editor->resignFirstResponder());
    EXPECT_FALSE(editor->isFirstResponder());

    // A text field in focus stops editing when another view takes the focus.
    auto field = core::make<TextField>(gfx::Rect{0, 100, 200, 30});
    window->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(editor->becomeFirstResponder());
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(Keyboard::shared().firstResponder(), editor);
    editor->resignFirstResponder();
}

TEST_F(ui_Gesture, EditMenuOffersWhatTheResponderCanDoAndSendsTheTappedCommand) {
    auto editor = core::make<Editor>(gfx::Rect{100, 300, 100, 40});
    window->addSubview(editor);
    editor->becomeFirstResponder();
    auto& menu = MenuController::shared();
    struct Case {
        std::vector<std::string> allowed;
        gfx::Rect target;  // in the editor
        bool above;
    } cases[] = {
        {{"selectAll:", "copy:", "paste:"}, {0, 0, 100, 40}, true},
        {{"copy:", "select:", "selectAll:"}, {0, -290, 100, 20}, false},  // 10 points from the top: below
    };
    for (const auto& c : cases) {
        editor->allowed = c.allowed;
        menu.setTargetRect(c.target, editor);
        menu.setMenuVisible(true, true);
        ASSERT_TRUE(menu.isMenuVisible());
        std::vector<std::string> expected;
        for (const auto& item : MenuController::kItems)
            if (editor->canPerformAction(item.action)) expected.emplace_back(item.action);
        EXPECT_EQ(menu.visibleActions(), expected);
        gfx::Rect bar = menu.menuView()->frame();
        gfx::Rect t = editor->convertRect(c.target, nullptr);
        if (c.above) EXPECT_EQ(bar.maxY(), t.minY() - MenuController::kGap);
        else EXPECT_EQ(bar.minY(), t.maxY() + MenuController::kGap);
        EXPECT_NEAR(bar.midX(), t.midX(), 0.5);
    }
    // The first command is at the bar's left end.
    gfx::Rect bar = MenuController::shared().menuView()->frame();
    host->advance(0.2);
    host->tap({bar.minX() + 5, bar.midY()});
    EXPECT_EQ(editor->performed, (std::vector<std::string>{"copy:"}));
    EXPECT_FALSE(menu.isMenuVisible());

    editor->allowed.clear();
    menu.setMenuVisible(true, false);
    EXPECT_FALSE(menu.isMenuVisible());
    editor->resignFirstResponder();
}

} // namespace
} // namespace ui
