// The responder chain, the responder interface of text inputs and search bars, layout margins,
// the status bar's frame and recognizers that may recognize together.
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/TextView.h"
#include "UiTest.h"

#include <functional>

namespace ui {
namespace {

class Responders : public UiTest {};

TEST_F(Responders, RootViewsHandOnToTheirControllerAndControllersToTheSuperviewOrPresenter) {
    auto page = core::make<ViewController>();
    auto nav = core::make<NavigationController>(page);
    window->setRootViewController(nav);
    auto field = core::make<TextField>(gfx::Rect{10, 10, 100, 30});
    page->view()->addSubview(field);

    EXPECT_EQ(field->nextResponder(), page->view());
    EXPECT_EQ(page->view()->nextResponder(), page);
    EXPECT_EQ(page->nextResponder(), nav->view()) << "the root view's superview";
    EXPECT_EQ(nav->view()->nextResponder(), nav);
    EXPECT_EQ(nav->nextResponder(), window);
    EXPECT_EQ(nextResponder(*window), nullptr);

    auto modal = core::make<ViewController>();
    modal->setModalPresentationStyle(ModalPresentationStyle::formSheet);
    nav->presentViewController(modal, false);
    modal->view()->removeFromSuperview();
    EXPECT_EQ(modal->nextResponder(), nav) << "without a superview: the presenter";
    EXPECT_TRUE(coversPresenter(ModalPresentationStyle::pageSheet));
    EXPECT_FALSE(coversPresenter(ModalPresentationStyle::overFullScreen));
}

// What readers of the subviews keep (the keyboard manager's previous/next groups) stays valid only
// while the children generation is unchanged, so every change that can move a subview, show or
// hide it, or change whether it takes part must change it; what cannot must leave it alone.
TEST_F(Responders, TheChildrenGenerationFollowsWhatCanMoveShowOrExcludeASubview) {
    auto parent = core::make<View>(gfx::Rect{0, 0, 300, 300});
    window->addSubview(parent);
    auto field = core::make<TextField>(gfx::Rect{10, 10, 100, 30});
    auto text = core::make<TextView>(gfx::Rect{10, 50, 100, 60});
    auto other = core::make<View>(gfx::Rect{10, 120, 50, 50});
    parent->addSubview(field), parent->addSubview(text), parent->addSubview(other);
    auto inner = core::make<View>(gfx::Rect{0, 0, 10, 10});
    other->addSubview(inner);

    struct Change {
        const char* name;
        std::function<void()> apply;
        bool counts;
    } changes[] = {
        {"frame", [&] { other->setFrame({20, 120, 50, 50}); }, true},
        {"centre", [&] { other->setCenter({80, 80}); }, true},
        {"bounds", [&] { other->setBounds({0, 5, 50, 50}); }, true},
        {"transform", [&] { other->setTransform(gfx::AffineTransform::scale(2, 2)); }, true},
        {"anchor on the layer", [&] { other->layer()->setAnchorPoint({0, 0}); }, true},
        {"z on the layer", [&] { other->layer()->setZPosition(3); }, true},
        {"hidden", [&] { other->setHidden(true); }, true},
        {"alpha", [&] { other->setAlpha(0.5); }, true},
        {"user interaction", [&] { other->setUserInteractionEnabled(false); }, true},
        {"tag", [&] { other->setTag(7); }, true},
        {"enabled", [&] { field->setEnabled(false); }, true},
        {"editable", [&] { text->setEditable(false); }, true},
        {"added", [&] { parent->addSubview(core::make<View>()); }, true},
        {"reordered", [&] { parent->sendSubviewToBack(other); }, true},
        {"removed", [&] { parent->subviews().back()->removeFromSuperview(); }, true},
        {"background colour", [&] { other->setBackgroundColor(gfx::Color::black()); }, false},
        {"same tag again", [&] { other->setTag(7); }, false},
        {"same enabled state again", [&] { field->setEnabled(false); }, false},
        {"a grandchild moves", [&] { inner->setFrame({1, 1, 10, 10}); }, false},
        {"a grandchild is added", [&] { other->addSubview(core::make<View>()); }, false},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.name);
        auto before = parent->childrenGeneration();
        change.apply();
        EXPECT_EQ(parent->childrenGeneration() != before, change.counts);
    }
    auto loose = core::make<View>(gfx::Rect{0, 0, 10, 10});
    auto before = loose->childrenGeneration();
    loose->setHidden(true);
    EXPECT_NE(loose->childrenGeneration(), before) << "without a superview the view counts its own change";
    before = window->childrenGeneration();
    other->removeFromSuperview();
    window->addSubview(other);
    EXPECT_NE(window->childrenGeneration(), before);
    EXPECT_NE(parent->childrenGeneration(), before) << "values never repeat";
}

TEST_F(Responders, TheLinksGenerationFollowsControllersViewsAndPresentations) {
    auto links = View::responderLinksGeneration();
    auto changed = [&] {
        auto now = View::responderLinksGeneration();
        bool moved = now != links;
        links = now;
        return moved;
    };
    auto page = core::make<ViewController>();
    EXPECT_FALSE(changed());
    page->view();
    EXPECT_TRUE(changed()) << "a loaded view";
    page->setView(core::make<View>(Screen::main().bounds()));
    EXPECT_TRUE(changed()) << "a replaced view";
    window->setRootViewController(page);
    changed();
    auto modal = core::make<ViewController>();
    page->presentViewController(modal, false);
    EXPECT_TRUE(changed()) << "a presentation";
    host->advance(1);
    changed();
    page->dismissViewControllerAnimated(false);
    EXPECT_TRUE(changed()) << "a dismissal";
    host->advance(1);
    changed();
    modal.reset();
    EXPECT_TRUE(changed()) << "a controller going";
}

TEST_F(Responders, TextInputsAndSearchBarsAnswerThroughTheViewInterface) {
    auto field = core::make<TextField>(gfx::Rect{10, 100, 100, 30});
    auto text = core::make<TextView>(gfx::Rect{10, 150, 100, 80});
    auto bar = core::make<SearchBar>(gfx::Rect{0, 300, 375, 56});
    for (auto& v : std::vector<std::shared_ptr<View>>{field, text, bar}) window->addSubview(v);
    for (auto& v : std::vector<std::shared_ptr<View>>{field, text, bar}) {
        SCOPED_TRACE(std::string(v->className()));
        EXPECT_TRUE(v->becomeFirstResponder());
        EXPECT_TRUE(v->isFirstResponder());
        EXPECT_TRUE(v->resignFirstResponder());
        EXPECT_FALSE(v->isFirstResponder());
    }
    bar->becomeFirstResponder();
    EXPECT_TRUE(bar->searchTextField()->isFirstResponder());
}

TEST_F(Responders, MarginsAreEightExceptOnARootView) {
    auto page = core::make<ViewController>();
    auto nav = core::make<NavigationController>(page);
    window->setRootViewController(nav);
    auto plain = core::make<View>(gfx::Rect{0, 0, 50, 50});
    page->view()->addSubview(plain);
    EXPECT_EQ(plain->layoutMargins(), (gfx::EdgeInsets{8, 8, 8, 8}));
    EXPECT_EQ(page->view()->layoutMargins(), (gfx::EdgeInsets{0, 16, 0, 16})) << "below the bar, above the bottom";
    EXPECT_EQ(nav->view()->layoutMargins(), (gfx::EdgeInsets{20, 16, 0, 16})) << "under the status bar";
    EXPECT_EQ(nav->navigationBar()->barHeight(), 44);
    EXPECT_EQ(Application::shared().statusBarFrame(), (gfx::Rect{0, 0, 375, 20}));
    EXPECT_EQ(core::make<TableViewController>()->tableView()->className(), "TableView");
}

struct Together : GestureRecognizerDelegate {
    bool allow = false;
    int asked = 0;
    bool shouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) override {
        ++asked;
        return allow;
    }
};

TEST_F(Responders, ADelegateLetsTwoRecognizersTakeOneTap) {
    for (bool allow : {false, true}) {
        auto outer = core::make<View>(gfx::Rect{0, 0, 375, 667});
        auto inner = core::make<View>(gfx::Rect{0, 0, 100, 100});
        outer->addSubview(inner);
        window->addSubview(outer);
        int innerTaps = 0, outerTaps = 0;
        auto a = std::make_shared<TapGestureRecognizer>();
        auto b = std::make_shared<TapGestureRecognizer>();
        a->addAction([&](GestureRecognizer&) { ++innerTaps; });
        b->addAction([&](GestureRecognizer&) { ++outerTaps; });
        auto delegate = std::make_shared<Together>();
        delegate->allow = allow;
        a->setDelegate(delegate);
        inner->addGestureRecognizer(a);
        outer->addGestureRecognizer(b);
        host->tap({50, 50});
        EXPECT_EQ(innerTaps, 1) << allow;
        EXPECT_EQ(outerTaps, allow ? 1 : 0) << allow;
        EXPECT_GE(delegate->asked, 1);
        outer->removeFromSuperview();
    }
}

} // namespace
} // namespace ui
