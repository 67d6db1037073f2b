// Previous/next groups are kept between calls and formed anew only when the tree they were read
// from changed: a change made between two presses of Next decides where the second one goes.
#include "keyboard/KBKeyboardReturnKeyHandler.h"
#include "keyboard/KBViewOptions.h"
#include "ManagerFixture.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/ScrollView.h"

#include <functional>

namespace keyboard::testing {
namespace {

using GroupCache = ManagerTest;
using V = std::vector<std::string>;

std::string placeholderOf(const ui::View* v) {
    auto* f = dynamic_cast<const ui::TextField*>(v);
    return f ? f->placeholder() : "?";
}

V placeholders(const Views& views) {
    V out;
    for (const auto& v : views) out.push_back(placeholderOf(v.get()));
    return out;
}

std::string focused() { return placeholderOf(dynamic_cast<const ui::View*>(ui::Keyboard::shared().firstResponder().get())); }

// The kept group and one formed from scratch must agree.
void expectKeptIsFresh(KBKeyboardManager& manager) {
    auto kept = placeholders(*manager.currentResponderGroup());
    clearResponderGroupCacheForTesting();
    EXPECT_EQ(kept, placeholders(*manager.currentResponderGroup())) << "the kept group is stale";
}

TEST_F(GroupCache, AChangeBetweenTwoPressesOfNextDecidesWhereTheSecondGoes) {
    struct Form {
        std::shared_ptr<ui::View> view;
        std::shared_ptr<ui::TextField> a, b, c, d;
    };
    struct Case {
        const char* name;
        KBAutoToolbarManageBehaviour order;
        std::function<void(Form&)> change;
        std::string next;  // where Next from B goes after the change
    } cases[] = {
        {"nothing changed", KBAutoToolbarManageBehaviour::positionOrder, [](Form&) {}, "C"},
        {"D moved between B and C", KBAutoToolbarManageBehaviour::positionOrder, [](Form& f) { f.d->setFrame({20, 120, 100, 30}); }, "D"},
        {"C moved below D", KBAutoToolbarManageBehaviour::positionOrder, [](Form& f) { f.c->setCenter({70, 300}); }, "D"},
        {"C shifted by a transform", KBAutoToolbarManageBehaviour::positionOrder,
         [](Form& f) { f.c->setTransform(gfx::AffineTransform::translation(0, 100)); }, "D"},
        {"C hidden", KBAutoToolbarManageBehaviour::positionOrder, [](Form& f) { f.c->setHidden(true); }, "D"},
        {"C fully transparent", KBAutoToolbarManageBehaviour::positionOrder, [](Form& f) { f.c->setAlpha(0); }, "D"},
        {"C disabled", KBAutoToolbarManageBehaviour::positionOrder, [](Form& f) { f.c->setEnabled(false); }, "D"},
        {"C takes no touches", KBAutoToolbarManageBehaviour::positionOrder, [](Form& f) { f.c->setUserInteractionEnabled(false); }, "D"},
        {"C skipped by Next", KBAutoToolbarManageBehaviour::positionOrder, [](Form& f) { setIgnoreSwitchingByNextPrevious(*f.c, true); }, "D"},
        {"C removed", KBAutoToolbarManageBehaviour::positionOrder, [](Form& f) { f.c->removeFromSuperview(); }, "D"},
        {"a field added between B and C", KBAutoToolbarManageBehaviour::positionOrder,
         [](Form& f) {
             auto e = core::make<ui::TextField>(gfx::Rect{20, 120, 100, 30});
             e->setPlaceholder("E");
             f.view->addSubview(e);
         },
         "E"},
        {"D tagged before C", KBAutoToolbarManageBehaviour::tagOrder, [](Form& f) { f.d->setTag(25); }, "D"},
        {"D brought before C", KBAutoToolbarManageBehaviour::subviewOrder, [](Form& f) { f.view->insertSubview(f.d, 2); }, "D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        manager->toolbarManageBehaviour = c.order;
        Form f;
        f.view = core::make<ui::View>(gfx::Rect{0, 0, 375, 400});
        page->view()->addSubview(f.view);
        f.a = field({20, 50, 100, 30}, f.view, "A"), f.b = field({20, 100, 100, 30}, f.view, "B");
        f.c = field({20, 150, 100, 30}, f.view, "C"), f.d = field({20, 200, 100, 30}, f.view, "D");
        f.a->setTag(10), f.b->setTag(20), f.c->setTag(30), f.d->setTag(40);
        f.a->becomeFirstResponder();
        manager->goNext();
        ASSERT_EQ(focused(), "B");
        c.change(f);
        manager->goNext();
        EXPECT_EQ(focused(), c.next);
        expectKeptIsFresh(*manager);
        manager->resignFirstResponder();
        f.view->removeFromSuperview();
    }
}

TEST_F(GroupCache, WalkingAnUnchangedFormReadsItsGroupOnce) {
    manager->toolbarManageBehaviour = KBAutoToolbarManageBehaviour::positionOrder;
    KBKeyboardManager::shared()->toolbarManageBehaviour = KBAutoToolbarManageBehaviour::positionOrder;
    manager->setEnable(true);
    std::vector<std::shared_ptr<ui::TextField>> fields;
    for (int i = 5; i >= 0; --i) fields.push_back(field({20, 50.0 + 40 * i, 100, 30}, nullptr, std::to_string(i)));
    auto handler = core::make<KBKeyboardReturnKeyHandler>(page);  // its return key asks for the group too
    fields.back()->becomeFirstResponder();
    settle();
    auto formed = responderGroupsFormedForTesting();
    for (int i = 1; i < 6; ++i) {
        manager->goNext();
        settle();  // the page scrolls and shifts, the bar comes and goes: none of it touches the form's fields
        EXPECT_EQ(focused(), std::to_string(i));
    }
    EXPECT_EQ(responderGroupsFormedForTesting(), formed) << "the group was read from the tree again";
    EXPECT_FALSE(manager->canGoNext());
    fields.front()->setFrame({20, 10, 100, 30});  // "5" moves to the top
    EXPECT_TRUE(manager->canGoNext());
    EXPECT_EQ(responderGroupsFormedForTesting(), formed + 1);
}

TEST_F(GroupCache, AContainerGroupFollowsChangesDeepInsideItAndAroundIt) {
    auto box = core::make<KBPreviousNextView>(gfx::Rect{0, 0, 375, 500});
    page->view()->addSubview(box);
    auto y = field({20, 60, 100, 30}, box, "Y");
    auto scroller = core::make<ui::ScrollView>(gfx::Rect{0, 0, 375, 300});
    scroller->setContentSize({375, 600});
    box->addSubview(scroller);
    auto x = field({200, 100, 100, 30}, scroller, "X");
    auto inner = core::make<ui::View>(gfx::Rect{0, 300, 375, 100});
    box->addSubview(inner);
    auto z = field({20, 10, 100, 30}, inner, "Z");
    y->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"Y", "X", "Z"}));
    scroller->setContentOffset({0, 80}, false);  // X now sits at 20 in the box
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"X", "Y", "Z"}));
    inner->setFrame({0, 0, 375, 100});  // Z now at 10
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"Z", "X", "Y"}));
    inner->setHidden(true);
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"X", "Y"}));
    z->removeFromSuperview();
    scroller->addSubview(z);  // moved from a hidden view into the scroll view, at 10 - 80
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"Z", "X", "Y"}));
    expectKeptIsFresh(*manager);
}

TEST_F(GroupCache, ChangesAboveTheFormAndInTheResponderChainAreSeen) {
    manager->toolbarManageBehaviour = KBAutoToolbarManageBehaviour::positionOrder;
    auto holder = core::make<ui::View>(page->view()->bounds());
    page->view()->addSubview(holder);
    auto form = core::make<ui::View>(gfx::Rect{0, 0, 375, 300});
    holder->addSubview(form);
    auto a = field({20, 50, 100, 30}, form, "A"), b = field({20, 100, 100, 30}, form, "B");
    auto c = field({20, 150, 100, 30}, form, "C");
    auto outside = field({20, 400, 100, 30}, nullptr, "outside");
    a->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"A", "B", "C"}));

    // The form moves into a previous/next container: the container's inputs form the group.
    auto box = core::make<KBPreviousNextView>(page->view()->bounds());
    page->view()->addSubview(box);
    outside->removeFromSuperview();
    box->addSubview(outside);
    box->addSubview(form);  // as deep as before: only the views above it differ
    a->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"A", "B", "C", "outside"}));

    // B becomes the root view of an alert's controller: the chain now leads through the alert.
    auto alert = ui::AlertController::make("t", "m", ui::AlertControllerStyle::alert);
    alert->setView(b);
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"A", "C", "outside"}));
    alert.reset();  // the link goes with the controller
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"A", "B", "C", "outside"}));
    expectKeptIsFresh(*manager);
}

TEST_F(GroupCache, AnInputSkippedByNextStillCountsInItsOwnGroupOnly) {
    auto a = field({20, 50, 100, 30}, nullptr, "A"), b = field({20, 100, 100, 30}, nullptr, "B");
    field({20, 150, 100, 30}, nullptr, "C");
    setIgnoreSwitchingByNextPrevious(*a, true);
    b->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"B", "C"}));
    a->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"A", "B", "C"}));
    b->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"B", "C"}));
}

TEST_F(GroupCache, AKeptGroupKeepsNoViewAlive) {
    auto form = core::make<ui::View>(gfx::Rect{0, 0, 375, 300});
    page->view()->addSubview(form);
    auto a = field({20, 50, 100, 30}, form, "A");
    field({20, 100, 100, 30}, form, "B");
    a->becomeFirstResponder();
    ASSERT_EQ(manager->currentResponderGroup()->size(), 2u);
    a->resignFirstResponder();
    std::weak_ptr<ui::View> weakForm = form, weakField = a;
    form->removeFromSuperview();
    form.reset(), a.reset();
    EXPECT_TRUE(weakForm.expired());
    EXPECT_TRUE(weakField.expired());
}

} // namespace
} // namespace keyboard::testing
