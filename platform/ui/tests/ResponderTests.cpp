// The responder chain, the responder interface of text inputs and search bars, layout margins,
// the status bar's frame and recognizers that may recognize together.
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/TextView.h"
#include "UiTest.h"

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
