// The navigation controller's swipe back: which swipes finish the pop and which run back (by
// distance and speed), where the two pages are while the finger moves, what the pages hear, and
// when the gesture does not start at all.
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "UiTest.h"

namespace ui {
namespace {

using State = GestureRecognizer::State;

// A page that records what it hears of its appearance.
class SwipePage : public ViewController {
    QUILLORA_CLASS(SwipePage)
    using ViewController::ViewController;
    std::vector<std::string> heard;
    void viewWillAppear(bool animated) override { ViewController::viewWillAppear(animated); heard.push_back("willAppear"); }
    void viewDidAppear(bool animated) override { ViewController::viewDidAppear(animated); heard.push_back("didAppear"); }
    void viewWillDisappear(bool animated) override { ViewController::viewWillDisappear(animated); heard.push_back("willDisappear"); }
    void viewDidDisappear(bool animated) override { ViewController::viewDidDisappear(animated); heard.push_back("didDisappear"); }
};

class SwipeBack : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        makePages();
    }
    // A root page with a second page pushed on it, in a new navigation controller of the window.
    void makePages() {
        states.clear();
        root = core::make<SwipePage>();
        root->setTitle("Tags");
        nav = core::make<NavigationController>(root);
        window->setRootViewController(nav);
        host->advance(0.1);
        pushed = core::make<SwipePage>();
        pushed->setTitle("Answers");
        nav->pushViewController(pushed, false);
        host->advance(0.1);
        root->heard.clear();
        pushed->heard.clear();
        nav->interactivePopGestureRecognizer()->addAction([this](GestureRecognizer& g) { states.push_back(g.state()); });
    }
    // Touches down at `from`, moves to `to` in steps of `step` seconds, and (when told) lets go.
    void swipe(gfx::Point from, gfx::Point to, double step, bool lift = true) {
        host->touchDown(from);
        for (int i = 1; i <= 6; ++i) {
            host->advance(step);
            host->touchMove(from + (to - from) * (i / 6.0));
        }
        if (!lift) return;
        host->touchUp(to);
        host->advance(0.6);  // the pop finishes or runs back
    }
    double width() const { return window->bounds().width(); }
    std::shared_ptr<SwipePage> root, pushed;
    std::shared_ptr<NavigationController> nav;
    std::vector<State> states;
};

TEST_F(SwipeBack, ReleasePastHalfOrFastFinishesElseItRunsBack) {
    struct Row {
        const char* what;
        gfx::Point from, to;
        double step;    // seconds between moves: 0.2 moves slowly, 0.01 fast
        bool starts;    // the gesture begins
        bool finishes;  // the page is popped
    };
    const std::vector<Row> rows = {
        {"short and slow", {5, 300}, {120, 300}, 0.2, true, false},
        {"past half, slow", {5, 300}, {220, 300}, 0.2, true, true},
        {"short but fast", {5, 300}, {90, 300}, 0.01, true, true},
        {"from inside the edge's 20 points", {18, 300}, {240, 300}, 0.2, true, true},
        {"from beyond the edge", {40, 300}, {300, 300}, 0.2, false, false},
        {"up the edge", {5, 300}, {25, 120}, 0.2, false, false},
        {"leftwards", {15, 300}, {0, 300}, 0.2, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        makePages();
        swipe(row.from, row.to, row.step);
        EXPECT_EQ(!states.empty(), row.starts);
        if (row.starts) {
            EXPECT_EQ(states.front(), State::began);
            EXPECT_EQ(states.back(), State::ended);
        }
        EXPECT_EQ(nav->topViewController(), row.finishes ? std::shared_ptr<ViewController>(root) : pushed);
        EXPECT_EQ(nav->viewControllers().size(), row.finishes ? 1u : 2u);
        // Only the top page is left in the controller's view, where it belongs.
        const auto& top = nav->topViewController();
        EXPECT_EQ(top->view()->superview(), nav->view());
        EXPECT_EQ(top->view()->frame().x(), 0);
        const auto& other = row.finishes ? std::shared_ptr<ViewController>(pushed) : root;
        EXPECT_FALSE(other->view()->superview());
        const std::vector<std::string> shown = {"willAppear", "didAppear"}, gone = {"willDisappear", "didDisappear"};
        if (!row.starts) {
            EXPECT_TRUE(root->heard.empty());
            EXPECT_TRUE(pushed->heard.empty());
        } else if (row.finishes) {
            EXPECT_EQ(root->heard, shown);
            EXPECT_EQ(pushed->heard, gone);
        } else {
            // Each heard it would change, then that it stayed as it was.
            EXPECT_EQ(root->heard, (std::vector<std::string>{"willAppear", "willDisappear", "didDisappear"}));
            EXPECT_EQ(pushed->heard, (std::vector<std::string>{"willDisappear", "willAppear", "didAppear"}));
        }
    }
}

// While the finger moves the page follows it and the one below comes in from a third of the way
// to the left; the bar still shows the leaving page's title.
TEST_F(SwipeBack, ThePagesFollowTheFinger) {
    swipe({5, 300}, {155, 300}, 0.1, false);
    const double moved = 150;  // translation since touch-down
    EXPECT_DOUBLE_EQ(pushed->view()->frame().x(), moved);
    EXPECT_DOUBLE_EQ(root->view()->frame().x(), -width() / 3 * (1 - moved / width()));
    EXPECT_EQ(root->view()->superview(), nav->view());
    EXPECT_EQ(nav->topViewController(), pushed);
    EXPECT_EQ(states.back(), State::changed);
    host->touchCancel();
    host->advance(0.6);
    EXPECT_EQ(states.back(), State::cancelled);
    EXPECT_EQ(nav->topViewController(), pushed);
    EXPECT_EQ(pushed->view()->frame().x(), 0);
}

// The enabled flag switches the swipe off, and off mid-way it runs the page back; the root has
// nothing to go back to.
TEST_F(SwipeBack, NoSwipeWhenSwitchedOffOrAtTheRoot) {
    auto pop = nav->interactivePopGestureRecognizer();
    pop->setEnabled(false);
    swipe({5, 300}, {300, 300}, 0.1);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(nav->topViewController(), pushed);

    pop->setEnabled(true);
    swipe({5, 300}, {300, 300}, 0.1, false);
    pop->setEnabled(false);
    host->touchUp({300, 300});
    host->advance(0.6);
    EXPECT_EQ(states.back(), State::cancelled);
    EXPECT_EQ(nav->topViewController(), pushed);

    pop->setEnabled(true);
    nav->popViewControllerAnimated(false);
    host->advance(0.1);
    states.clear();
    swipe({5, 300}, {300, 300}, 0.1);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(nav->topViewController(), root);
}

// A touchpad's two-finger swipe drives the same pop, from anywhere over the page, by the same
// rules; a swipe to the left is not a swipe back.
TEST_F(SwipeBack, ATouchpadSwipeDrivesThePop) {
    struct Row {
        const char* what;
        double dx;
        double step;
        bool starts, finishes;
    };
    const std::vector<Row> rows = {
        {"short and slow", 100, 0.2, true, false},
        {"past half", 240, 0.2, true, true},
        {"short but fast", 90, 0.01, true, true},
        {"leftwards", -200, 0.2, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        makePages();
        host->touchpadSwipe({200, 300}, row.dx, 6, row.step);
        host->advance(0.6);
        EXPECT_EQ(!states.empty(), row.starts);
        if (row.starts) {
            EXPECT_EQ(states.back(), State::ended);
        }
        EXPECT_EQ(nav->topViewController(), row.finishes ? std::shared_ptr<ViewController>(root) : pushed);
        EXPECT_EQ(nav->topViewController()->view()->frame().x(), 0);
    }
}

// A swipe from the edge over a scroll view that could scroll sideways is the swipe back's.
TEST_F(SwipeBack, TheEdgeWinsOverAScrollViewUnderIt) {
    auto scroll = core::make<ScrollView>(pushed->view()->bounds());
    scroll->setContentSize({width() * 3, 200});
    pushed->view()->addSubview(scroll);
    swipe({5, 300}, {250, 300}, 0.1);
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
}

// Half-way: the leaving page a half width to the right, the page below coming in dimmed.
TEST_F(SwipeBack, AHalfDoneSwipeLooksRight) {
    root->view()->setBackgroundColor(gfx::Color::rgb(255, 236, 240));
    auto tags = core::make<Label>(gfx::Rect{20, 40, 300, 30});
    tags->setText("Tags page");
    root->view()->addSubview(tags);
    pushed->view()->setBackgroundColor(gfx::Color::rgb(232, 244, 255));
    auto answers = core::make<Label>(gfx::Rect{20, 40, 300, 30});
    answers->setText("Answers page");
    pushed->view()->addSubview(answers);
    swipe({5, 300}, {5 + width() / 2, 300}, 0.1, false);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/swipe_back_half_done.png"));
    host->touchCancel();
    host->advance(0.6);
}

} // namespace
} // namespace ui
