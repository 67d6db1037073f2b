#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "UiTest.h"

namespace ui {
namespace {

// Writes every callback into a shared log as "<name>.<callback>".
class Logged : public ViewController {
public:
    Logged(std::string name, std::shared_ptr<std::vector<std::string>> log) : name_(std::move(name)), log_(std::move(log)) {}
    void viewDidLoad() override { add("didLoad"); }
    void viewWillAppear(bool) override { add("willAppear"); }
    void viewDidAppear(bool) override { add("didAppear"); }
    void viewWillDisappear(bool) override { add("willDisappear"); }
    void viewDidDisappear(bool) override { add("didDisappear"); }

private:
    void add(const char* what) { log_->push_back(name_ + "." + what); }
    std::string name_;
    std::shared_ptr<std::vector<std::string>> log_;
};

class ControllerTest : public UiTest {
protected:
    std::shared_ptr<Logged> make(const std::string& name) { return core::make<Logged>(name, log); }
    std::vector<std::string> take() { return std::exchange(*log, {}); }
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
};

// A base whose initialiser touches its view, and a page whose viewDidLoad reads its own field.
class Base : public ViewController {
public:
    void init() override {
        ViewController::init();
        view()->setTag(1008613);
    }
};
class Page : public Base {
public:
    int field = 7;
    int seenInDidLoad = 0;
    void viewDidLoad() override { seenInDidLoad = field; }
};

TEST_F(ControllerTest, TheViewLoadsOnFirstUseAndTheBaseInitialiserRunsTheDerivedDidLoad) {
    auto page = core::make<Page>();
    EXPECT_TRUE(page->isViewLoaded());
    EXPECT_EQ(page->seenInDidLoad, 7);
    EXPECT_EQ(page->view()->tag(), 1008613);
    auto lazy = make("lazy");
    EXPECT_FALSE(lazy->isViewLoaded());
    EXPECT_TRUE(take().empty());
    lazy->view();
    lazy->view();
    EXPECT_EQ(take(), std::vector<std::string>{"lazy.didLoad"});
}

TEST_F(ControllerTest, PushAndPopCallBackInOrderAfterTheSlide) {
    auto a = make("a");
    auto nav = core::make<NavigationController>(a);
    nav->setNavigationBarHidden(true);
    window->setRootViewController(nav);
    EXPECT_EQ(take(), (std::vector<std::string>{"a.didLoad", "a.willAppear", "a.didAppear"}));
    EXPECT_EQ(a->view()->frame(), window->bounds());  // no bar: the page fills the window

    auto b = make("b");
    nav->pushViewController(b, true);
    EXPECT_EQ(take(), (std::vector<std::string>{"b.didLoad", "a.willDisappear", "b.willAppear"}));
    EXPECT_EQ(b->navigationController(), nav);
    host->advance(0.2);
    EXPECT_TRUE(take().empty());
    host->advance(0.2);
    EXPECT_EQ(take(), (std::vector<std::string>{"a.didDisappear", "b.didAppear"}));
    EXPECT_EQ(a->view()->superview(), nullptr);

    EXPECT_EQ(nav->popViewControllerAnimated(true), b);
    EXPECT_EQ(take(), (std::vector<std::string>{"b.willDisappear", "a.willAppear"}));
    host->advance(0.4);
    EXPECT_EQ(take(), (std::vector<std::string>{"b.didDisappear", "a.didAppear"}));
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_EQ(nav->popViewControllerAnimated(true), nullptr);  // the root stays
}

TEST_F(ControllerTest, TheBarTakesRoomUnlessHidden) {
    auto nav = core::make<NavigationController>(make("a"));
    window->setRootViewController(nav);
    auto top = nav->topViewController();
    EXPECT_EQ(top->view()->frame().y(), 64);
    nav->setNavigationBarHidden(true);
    EXPECT_EQ(top->view()->frame().y(), 0);
    EXPECT_TRUE(nav->navigationBar()->isHidden());
}

TEST_F(ControllerTest, ATabBarControllerSwitchesByCode) {
    auto tabs = core::make<TabBarController>();
    auto one = make("one"), two = make("two");
    tabs->setViewControllers({one, two});
    tabs->tabBar()->setHidden(true);
    window->setRootViewController(tabs);
    take();
    tabs->setSelectedIndex(1);
    EXPECT_EQ(take(), (std::vector<std::string>{"two.didLoad", "one.willDisappear", "two.willAppear", "one.didDisappear",
                                                "two.didAppear"}));
    EXPECT_EQ(two->view()->superview(), tabs->view());
    EXPECT_EQ(one->view()->superview(), nullptr);
    EXPECT_EQ(two->tabBarController(), tabs);
    EXPECT_TRUE(tabs->tabBar()->isHidden());
    tabs->setSelectedIndex(5);  // out of range: nothing
    EXPECT_EQ(tabs->selectedIndex(), 1);
}

TEST_F(ControllerTest, PresentingAndDismissingRunTheirCompletions) {
    auto root = make("root");
    window->setRootViewController(root);
    take();
    auto modal = make("modal");
    int presented = 0, dismissed = 0;
    root->presentViewController(modal, true, [&] { ++presented; });
    EXPECT_EQ(take(), (std::vector<std::string>{"modal.didLoad", "root.willDisappear", "modal.willAppear"}));
    host->advance(0.4);
    EXPECT_EQ(presented, 1);
    EXPECT_EQ(take(), (std::vector<std::string>{"modal.didAppear", "root.didDisappear"}));
    EXPECT_EQ(root->view()->superview(), nullptr);  // covered views leave the window
    EXPECT_EQ(modal->presentingViewController(), root);

    modal->dismissViewControllerAnimated(false, [&] { ++dismissed; });
    EXPECT_EQ(take(), (std::vector<std::string>{"modal.willDisappear", "root.willAppear"}));
    EXPECT_EQ(dismissed, 0);  // even unanimated, the completion comes later
    host->advance(0.01);
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(take(), (std::vector<std::string>{"modal.didDisappear", "root.didAppear"}));
    EXPECT_EQ(root->view()->window(), window);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(ControllerTest, OverContextPresentationLeavesThePresenterInPlace) {
    auto root = make("root");
    window->setRootViewController(root);
    take();
    auto sheet = make("sheet");
    sheet->setModalPresentationStyle(ModalPresentationStyle::overCurrentContext);
    root->presentViewController(sheet, false);
    host->advance(0.01);
    EXPECT_EQ(take(), (std::vector<std::string>{"sheet.didLoad", "sheet.willAppear", "sheet.didAppear"}));
    EXPECT_EQ(root->view()->window(), window);
    EXPECT_EQ(window->subviews().back(), sheet->view());
    root->dismissViewControllerAnimated(true);
    host->advance(0.4);
    EXPECT_EQ(take(), (std::vector<std::string>{"sheet.willDisappear", "sheet.didDisappear"}));
    EXPECT_EQ(sheet->view()->superview(), nullptr);
}

} // namespace
} // namespace ui
