// Previous/next groups and moving between inputs, the bar the manager installs, and the return-key
// handler.
#include "keyboard/KBKeyboardReturnKeyHandler.h"
#include "keyboard/KBToolbarBuilder.h"
#include "keyboard/KBViewOptions.h"
#include "ManagerFixture.h"
#include "platform/ui/Device.h"
#include "platform/ui/TableView.h"

namespace keyboard::testing {
namespace {

using Navigation = ManagerTest;
using AutoBar = ManagerTest;
using ReturnKey = ManagerTest;

std::vector<std::string> placeholders(const Views& views) {
    std::vector<std::string> out;
    for (const auto& v : views) out.push_back(std::static_pointer_cast<ui::TextField>(v)->placeholder());
    return out;
}

struct Refuser : ui::TextFieldDelegate {
    bool textFieldShouldBeginEditing(ui::TextField&) override { return false; }
};

struct Page : core::Object {
    std::vector<core::Object*> senders;
    void act(core::Object* sender) { senders.push_back(sender); }
};

TEST_F(Navigation, TheThreeOrdersAndATableContainer) {
    using V = std::vector<std::string>;
    auto c = field({20, 100, 100, 30}, nullptr, "C");
    auto a = field({200, 50, 100, 30}, nullptr, "A");
    auto b = field({20, 50, 100, 30}, nullptr, "B");
    c->setTag(3), a->setTag(1), b->setTag(2);
    a->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"C", "A", "B"}));
    manager->toolbarManageBehaviour = KBAutoToolbarManageBehaviour::tagOrder;
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"A", "B", "C"}));
    manager->toolbarManageBehaviour = KBAutoToolbarManageBehaviour::positionOrder;
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"B", "A", "C"}));

    // Inside a table every input of the table counts, by its place in the table, whatever the order.
    auto table = core::make<ui::TableView>(gfx::Rect{0, 200, 375, 300});
    page->view()->addSubview(table);
    auto cell1 = core::make<ui::View>(gfx::Rect{0, 100, 375, 44});
    auto cell2 = core::make<ui::View>(gfx::Rect{0, 0, 375, 44});
    table->addSubview(cell1), table->addSubview(cell2);
    auto t1 = field({10, 5, 100, 30}, cell1, "T1");
    auto t2 = field({10, 5, 100, 30}, cell2, "T2");
    t1->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"T2", "T1"}));
}

TEST_F(Navigation, SkippedInputsAndAHiddenContainer) {
    using V = std::vector<std::string>;
    auto box = core::make<KBPreviousNextView>(gfx::Rect{0, 0, 375, 500});
    page->view()->addSubview(box);
    auto first = field({20, 10, 100, 30}, box, "first");
    field({20, 50, 100, 30}, box, "clear")->setAlpha(0);
    field({20, 90, 100, 30}, box, "faint")->setAlpha(0.01);
    field({20, 130, 100, 30}, box, "hidden")->setHidden(true);
    field({20, 170, 100, 30}, box, "disabled")->setEnabled(false);
    auto text = core::make<ui::TextView>(gfx::Rect{20, 210, 100, 60});
    text->setEditable(false);
    box->addSubview(text);
    auto hiddenBox = core::make<ui::View>(gfx::Rect{0, 300, 375, 100});
    hiddenBox->setHidden(true);
    box->addSubview(hiddenBox);
    field({20, 10, 100, 30}, hiddenBox, "in a hidden view");
    auto searchBar = core::make<ui::SearchBar>(gfx::Rect{0, 420, 375, 56});
    box->addSubview(searchBar);
    field({20, 480, 100, 20}, box, "last");
    first->becomeFirstResponder();
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"first", "faint", "last"}));
    setIgnoreSwitchingByNextPrevious(*first, true);
    EXPECT_EQ(placeholders(*manager->currentResponderGroup()), (V{"faint", "last"}));
    EXPECT_FALSE(manager->canGoNext()) << "not a member of its container group";
}

TEST_F(Navigation, ActionsMoveClickInvokeWithTheOriginAndRefusalsKeepTheFocus) {
    auto a = field({20, 50, 100, 30}, nullptr, "A"), b = field({20, 100, 100, 30}, nullptr, "B");
    auto target = core::make<Page>();
    auto item = core::make<KBBarButtonItem>();
    item->setTarget(target, ui::selector(&Page::act));
    a->becomeFirstResponder();
    EXPECT_FALSE(manager->canGoPrevious());
    EXPECT_TRUE(manager->canGoNext());
    auto clicks = ui::Device::current().inputClicks();
    manager->nextAction(item.get());
    EXPECT_TRUE(b->isFirstResponder());
    EXPECT_EQ(target->senders, (std::vector<core::Object*>{a.get()})) << "sent by the input that was active";
    EXPECT_EQ(ui::Device::current().inputClicks(), clicks + 1);
    manager->nextAction(item.get());
    EXPECT_EQ(target->senders.size(), 1u) << "the last input goes nowhere";

    auto refuser = std::make_shared<Refuser>();
    a->setDelegate(refuser);
    manager->previousAction(item.get());
    EXPECT_TRUE(b->isFirstResponder()) << "focus back where it was";
    EXPECT_EQ(target->senders.size(), 1u) << "no invocation";

    manager->doneAction(item.get());
    EXPECT_FALSE(b->isFirstResponder());
    EXPECT_EQ(target->senders.back(), b.get());
    EXPECT_FALSE(manager->resignFirstResponder()) << "no input";
}

TEST_F(Navigation, AnInputInASearchBarTakesTheBarsInvocation) {
    auto bar = core::make<ui::SearchBar>(gfx::Rect{0, 100, 375, 56});
    page->view()->addSubview(bar);
    auto target = core::make<Page>();
    keyboardToolbar(*bar)->doneBarButton()->setTarget(target, ui::selector(&Page::act));
    bar->becomeFirstResponder();
    manager->doneAction(core::make<KBBarButtonItem>().get());
    EXPECT_EQ(target->senders, (std::vector<core::Object*>{bar->searchTextField().get()}));
}

TEST_F(AutoBar, GroupSizeAndDisplayModeGiveTagAndArrows) {
    struct {
        int inputs;
        KBPreviousNextDisplayMode mode;
        int focus;
        long tag;
        bool previous, next;
    } cases[] = {
        {1, KBPreviousNextDisplayMode::showWhenSeveral, 0, -1002, false, false},
        {1, KBPreviousNextDisplayMode::alwaysShown, 0, -1005, false, false},
        {3, KBPreviousNextDisplayMode::alwaysHidden, 1, -1002, true, true},
        {3, KBPreviousNextDisplayMode::showWhenSeveral, 0, -1005, false, true},
        {3, KBPreviousNextDisplayMode::showWhenSeveral, 1, -1005, true, true},
        {3, KBPreviousNextDisplayMode::showWhenSeveral, 2, -1005, true, false},
    };
    for (const auto& c : cases) {
        auto holder = core::make<ui::View>(gfx::Rect{0, 0, 375, 400});
        page->view()->addSubview(holder);
        std::vector<std::shared_ptr<ui::TextField>> fields;
        for (int i = 0; i < c.inputs; ++i) fields.push_back(field({20, 40.0 * i + 10, 200, 30}, holder, "F" + std::to_string(i)));
        manager->previousNextDisplayMode = c.mode;
        fields[c.focus]->becomeFirstResponder();
        auto bar = std::dynamic_pointer_cast<KBToolbar>(fields[c.focus]->inputAccessoryView());
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->tag(), c.tag) << c.inputs << " " << c.focus;
        EXPECT_EQ(bar->previousBarButton()->isEnabled(), c.previous) << c.inputs << " " << c.focus;
        EXPECT_EQ(bar->nextBarButton()->isEnabled(), c.next) << c.inputs << " " << c.focus;
        EXPECT_EQ(bar->titleBarButton()->title(), "F" + std::to_string(c.focus));
        EXPECT_EQ(bar->tintColor(), gfx::Color::black());
        fields[c.focus]->resignFirstResponder();
        holder->removeFromSuperview();
    }
}

TEST_F(AutoBar, StylingKeepsAScreensBarAndRemoveTakesOnlyTheManagers) {
    auto a = field({20, 50, 100, 30}, nullptr, "A"), b = field({20, 100, 100, 30}, nullptr, "B");
    a->setKeyboardAppearance(ui::KeyboardAppearance::dark);
    manager->toolbarTintColor = gfx::Color::rgb(255, 0, 0);
    a->becomeFirstResponder();
    auto bar = keyboardToolbar(*a);
    EXPECT_EQ(bar->barStyle(), ui::BarStyle::black);
    EXPECT_EQ(bar->tintColor(), gfx::Color::whiteColor());
    EXPECT_FALSE(bar->barTintColor());
    b->setTintColor(gfx::Color::rgb(0, 255, 0));
    manager->shouldToolbarUsesTextFieldTintColor = true;
    b->becomeFirstResponder();
    EXPECT_EQ(keyboardToolbar(*b)->tintColor(), gfx::Color::rgb(0, 255, 0)) << "the field's own tint first";
    manager->shouldToolbarUsesTextFieldTintColor = false;
    manager->shouldShowToolbarPlaceholder = false;
    manager->reloadInputViews();
    EXPECT_EQ(keyboardToolbar(*b)->tintColor(), gfx::Color::rgb(255, 0, 0));
    EXPECT_FALSE(keyboardToolbar(*b)->titleBarButton()->title());

    auto screens = core::make<ui::View>(gfx::Rect{0, 0, 375, 44});
    auto c = field({20, 150, 100, 30}, nullptr, "C");
    c->setInputAccessoryView(screens);
    c->becomeFirstResponder();
    EXPECT_EQ(c->inputAccessoryView(), screens);
    manager->setEnableAutoToolbar(false);
    EXPECT_EQ(c->inputAccessoryView(), screens);
    EXPECT_FALSE(a->inputAccessoryView());
    EXPECT_FALSE(b->inputAccessoryView());
}

TEST_F(ReturnKey, ReturnWalksTheFormAndTheLastShowsItsOwnKey) {
    manager->toolbarManageBehaviour = KBAutoToolbarManageBehaviour::positionOrder;
    KBKeyboardManager::shared()->toolbarManageBehaviour = KBAutoToolbarManageBehaviour::positionOrder;
    auto c = field({20, 150, 100, 30}, nullptr, "C"), a = field({20, 50, 100, 30}, nullptr, "A"),
         b = field({20, 100, 100, 30}, nullptr, "B");
    struct Earlier : KBKeyboardReturnKeyDelegate {
        int began = 0;
        bool answer = true;
        bool textFieldShouldBeginEditing(ui::TextField&) override { return answer; }
        void textFieldDidBeginEditing(ui::TextField&) override { ++began; }
        bool textFieldShouldReturn(ui::TextField&) override { return answer; }
    };
    auto earlier = std::make_shared<Earlier>();
    a->setDelegate(earlier);
    a->setReturnKeyType(ui::ReturnKeyType::go);
    auto handler = core::make<KBKeyboardReturnKeyHandler>(page);
    EXPECT_EQ(handler->recordCount(), 3u);
    handler->setLastTextFieldReturnKeyType(ui::ReturnKeyType::done);
    EXPECT_EQ(a->returnKeyType(), ui::ReturnKeyType::next);
    EXPECT_EQ(b->returnKeyType(), ui::ReturnKeyType::next);
    EXPECT_EQ(c->returnKeyType(), ui::ReturnKeyType::done);

    a->becomeFirstResponder();
    EXPECT_EQ(earlier->began, 1) << "forwarded to the earlier delegate";
    earlier->answer = false;
    EXPECT_FALSE(handler->textFieldShouldReturn(*a)) << "refused, but the focus still moves";
    EXPECT_TRUE(b->isFirstResponder());
    host->pressKey(ui::EditingKey::returnKey);
    EXPECT_TRUE(c->isFirstResponder());
    host->pressKey(ui::EditingKey::returnKey);
    EXPECT_FALSE(c->isFirstResponder()) << "the last resigns";

    // With a delegate of the handler's own, should-questions answer yes unasked.
    auto own = std::make_shared<Earlier>();
    own->answer = false;
    handler->setDelegate(own);
    EXPECT_TRUE(handler->textFieldShouldBeginEditing(*a));
    a->becomeFirstResponder();
    EXPECT_EQ(own->began, 1);
    handler->setDelegate({});

    // Adding a view again keeps the first record's delegate, so releasing restores the screen's.
    handler->addTextFieldView(a);
    EXPECT_EQ(handler->recordCount(), 4u);
    handler.reset();
    EXPECT_EQ(a->delegate(), earlier);
    EXPECT_EQ(a->returnKeyType(), ui::ReturnKeyType::go);
}

TEST_F(ReturnKey, ALineFeedMovesOnInTheMiddleAndIsTypedAtTheEnd) {
    auto one = core::make<ui::TextView>(gfx::Rect{20, 50, 200, 60});
    auto two = core::make<ui::TextView>(gfx::Rect{20, 150, 200, 60});
    page->view()->addSubview(one), page->view()->addSubview(two);
    auto handler = core::make<KBKeyboardReturnKeyHandler>();
    handler->addResponderFromView(*page->view());
    one->becomeFirstResponder();
    host->typeText("hi");
    host->pressKey(ui::EditingKey::returnKey);
    EXPECT_TRUE(two->isFirstResponder());
    EXPECT_EQ(one->text(), "hi") << "no line feed inserted";
    EXPECT_TRUE(handler->shouldChangeTextInRange(*two, {}, "x"));
    EXPECT_TRUE(handler->shouldChangeTextInRange(*two, {}, "\n")) << "the last resigns and takes the line feed";
    EXPECT_FALSE(two->isFirstResponder());
    handler->removeResponderFromView(*page->view());
    EXPECT_EQ(handler->recordCount(), 0u);
    EXPECT_FALSE(one->delegate());
}

// A swipe back that begins with the keyboard up takes the leaving page's focus: the page is put
// back at its origin while the gesture has begun, and the manager remembers that origin, so
// editing again on that page mid-swipe (the page shifted by the finger) saves the remembered
// origin, not the shifted one. Letting go then leaves the right page at the right place.
TEST_F(Navigation, SwipingBackWithTheKeyboardUpRestoresTheRightPagesOrigin) {
    struct Row {
        const char* what;
        double liftAt;  // where the finger lets go
        bool popped;
    };
    const std::vector<Row> rows = {{"runs back", 80, false}, {"finishes", 300, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        manager->setEnable(true);
        auto answers = core::make<ui::ViewController>();
        nav->pushViewController(answers, false);
        settle();
        auto bottom = field({20, 540, 300, 40}, answers->view(), "Bottom");
        bottom->becomeFirstResponder();
        settle();
        ASSERT_LT(answers->view()->frame().y(), 64) << "lifted clear of the keyboard";

        host->touchDown({5, 300});
        for (double x : {20.0, 40.0, 60.0}) {
            host->advance(0.2);
            host->touchMove({x, 300});
        }
        EXPECT_FALSE(bottom->isFirstResponder()) << "the swipe took the focus";
        settle();
        EXPECT_EQ(answers->view()->frame().y(), 64) << "put back while the swipe has begun";
        EXPECT_EQ(answers->view()->frame().x(), 55) << "and still following the finger";

        bottom->becomeFirstResponder();
        EXPECT_EQ(manager->topViewBeginOrigin(), (gfx::Point{0, 64})) << "the remembered origin, not the shifted one";
        bottom->resignFirstResponder(true);
        settle();

        for (double x : {row.liftAt - 10, row.liftAt}) {
            host->advance(0.2);
            host->touchMove({x, 300});
        }
        host->touchUp({row.liftAt, 300});
        settle();
        const auto& shown = row.popped ? page : answers;
        EXPECT_EQ(nav->topViewController(), shown);
        EXPECT_EQ(shown->view()->frame().origin, (gfx::Point{0, 64}));
        if (row.popped) EXPECT_FALSE(answers->view()->superview());
        else nav->popViewControllerAnimated(false);
        settle();
    }
}

// Hears every delegate call by name and answers every question no (or yes, when told to).
struct CallRecorder : KBKeyboardReturnKeyDelegate {
    std::vector<std::string> calls;
    bool answer = false;
    bool note(const char* name) {
        calls.emplace_back(name);
        return answer;
    }
    bool textFieldShouldBeginEditing(ui::TextField&) override { return note("fieldShouldBegin"); }
    bool textFieldShouldEndEditing(ui::TextField&) override { return note("fieldShouldEnd"); }
    void textFieldDidBeginEditing(ui::TextField&) override { note("fieldDidBegin"); }
    void textFieldDidEndEditing(ui::TextField&) override { note("fieldDidEnd"); }
    void textFieldDidEndEditing(ui::TextField&, ui::TextFieldDidEndEditingReason reason) override {
        note(reason == ui::TextFieldDidEndEditingReason::committed ? "fieldDidEnd committed" : "fieldDidEnd cancelled");
    }
    bool shouldChangeCharactersInRange(ui::TextField&, ui::TextRange, const std::string&) override { return note("fieldChange"); }
    bool textFieldShouldClear(ui::TextField&) override { return note("fieldShouldClear"); }
    bool textFieldShouldReturn(ui::TextField&) override { return note("fieldShouldReturn"); }
    bool textViewShouldBeginEditing(ui::TextView&) override { return note("viewShouldBegin"); }
    bool textViewShouldEndEditing(ui::TextView&) override { return note("viewShouldEnd"); }
    void textViewDidBeginEditing(ui::TextView&) override { note("viewDidBegin"); }
    void textViewDidEndEditing(ui::TextView&) override { note("viewDidEnd"); }
    bool shouldChangeTextInRange(ui::TextView&, ui::TextRange, const std::string&) override { return note("viewChange"); }
    void textViewDidChange(ui::TextView&) override { note("viewDidChange"); }
    void textViewDidChangeSelection(ui::TextView&) override { note("viewDidChangeSelection"); }
    bool shouldInteractWithURL(ui::TextView&, const std::string&, ui::TextRange, ui::TextItemInteraction) override {
        return note("viewURL interaction");
    }
    bool shouldInteractWithTextAttachment(ui::TextView&, const ui::TextAttachment&, ui::TextRange,
                                          ui::TextItemInteraction) override {
        return note("viewAttachment interaction");
    }
    bool shouldInteractWithURL(ui::TextView&, const std::string&, ui::TextRange) override { return note("viewURL"); }
    bool shouldInteractWithTextAttachment(ui::TextView&, const ui::TextAttachment&, ui::TextRange) override {
        return note("viewAttachment");
    }
};

// Every row of the handler's forwarding: a question goes to the input's earlier delegate and
// takes its answer, or is answered yes unasked while the handler has a delegate of its own; a
// notice goes to the handler's delegate when there is one, else to the earlier delegate.
TEST_F(ReturnKey, EveryDelegateCallIsForwardedOrAnswered) {
    auto field = this->field({20, 50, 100, 30}, nullptr, "F");
    // The view stands in a box of its own, so the field is alone in its previous/next group.
    auto box = core::make<ui::View>(gfx::Rect{0, 100, 375, 100});
    page->view()->addSubview(box);
    auto view = core::make<ui::TextView>(gfx::Rect{20, 0, 200, 60});
    box->addSubview(view);
    auto screens = std::make_shared<CallRecorder>();
    field->setDelegate(screens);
    view->setDelegate(screens);
    auto handler = core::make<KBKeyboardReturnKeyHandler>();
    handler->addTextFieldView(field);
    handler->addTextFieldView(view);
    auto& f = *field;
    auto& t = *view;
    const ui::TextAttachment picture;
    using Call = std::function<bool(KBKeyboardReturnKeyHandler&)>;
    auto notice = [](std::function<void(KBKeyboardReturnKeyHandler&)> call) -> Call {
        return [call](KBKeyboardReturnKeyHandler& h) { call(h); return true; };
    };
    struct Row {
        const char* heard;  // the name the receiving delegate records
        bool question;      // a question: answered yes unasked while the handler has a delegate
        Call call;
        bool earlierNoGives = false;  // the handler's answer when the earlier delegate says no
    };
    const std::vector<Row> rows = {
        {"fieldShouldBegin", true, [&](auto& h) { return h.textFieldShouldBeginEditing(f); }},
        {"fieldShouldEnd", true, [&](auto& h) { return h.textFieldShouldEndEditing(f); }},
        {"fieldDidBegin", false, notice([&](auto& h) { h.textFieldDidBeginEditing(f); })},
        {"fieldDidEnd", false, notice([&](auto& h) { h.textFieldDidEndEditing(f); })},
        {"fieldDidEnd cancelled", false,
         notice([&](auto& h) { h.textFieldDidEndEditing(f, ui::TextFieldDidEndEditingReason::cancelled); })},
        {"fieldChange", true, [&](auto& h) { return h.shouldChangeCharactersInRange(f, {0, 0}, "x"); }},
        {"fieldShouldClear", true, [&](auto& h) { return h.textFieldShouldClear(f); }},
        {"viewShouldBegin", true, [&](auto& h) { return h.textViewShouldBeginEditing(t); }},
        {"viewShouldEnd", true, [&](auto& h) { return h.textViewShouldEndEditing(t); }},
        {"viewDidBegin", false, notice([&](auto& h) { h.textViewDidBeginEditing(t); })},
        {"viewDidEnd", false, notice([&](auto& h) { h.textViewDidEndEditing(t); })},
        {"viewChange", true, [&](auto& h) { return h.shouldChangeTextInRange(t, {0, 0}, "x"); }},
        {"viewDidChange", false, notice([&](auto& h) { h.textViewDidChange(t); })},
        {"viewDidChangeSelection", false, notice([&](auto& h) { h.textViewDidChangeSelection(t); })},
        {"viewURL interaction", true,
         [&](auto& h) { return h.shouldInteractWithURL(t, "https://example.org/", {0, 4}, ui::TextItemInteraction::preview); }},
        {"viewAttachment interaction", true,
         [&](auto& h) { return h.shouldInteractWithTextAttachment(t, picture, {0, 1}, ui::TextItemInteraction::presentActions); }},
        {"viewURL", true, [&](auto& h) { return h.shouldInteractWithURL(t, "https://example.org/", {0, 4}); }},
        {"viewAttachment", true, [&](auto& h) { return h.shouldInteractWithTextAttachment(t, picture, {0, 1}); }},
        // Return: the earlier delegate's no still lets the last (here the only) input resign,
        // and the handler then answers yes.
        {"fieldShouldReturn", true, [&](auto& h) { return h.textFieldShouldReturn(f); }, true},
    };
    auto own = std::make_shared<CallRecorder>();
    for (bool handlerHasDelegate : {false, true}) {
        handler->setDelegate(handlerHasDelegate ? std::weak_ptr<KBKeyboardReturnKeyDelegate>(own)
                                                : std::weak_ptr<KBKeyboardReturnKeyDelegate>{});
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.heard) + (handlerHasDelegate ? " (handler's delegate)" : " (earlier delegate)"));
            screens->calls.clear();
            own->calls.clear();
            const bool answer = row.call(*handler);
            const bool asked = !handlerHasDelegate || !row.question;
            const auto& receiver = handlerHasDelegate ? own->calls : screens->calls;
            const auto& bystander = handlerHasDelegate ? screens->calls : own->calls;
            EXPECT_EQ(receiver, asked ? std::vector<std::string>{row.heard} : std::vector<std::string>{});
            EXPECT_TRUE(bystander.empty());
            if (row.question) {
                EXPECT_EQ(answer, handlerHasDelegate || row.earlierNoGives);
            }
        }
    }
}

// A field tells its delegate, through the handler, why its editing ended.
TEST_F(ReturnKey, EndEditingReasonsReachTheEarlierDelegate) {
    auto field = this->field({20, 50, 100, 30}, nullptr, "F");
    auto screens = std::make_shared<CallRecorder>();
    screens->answer = true;
    auto handler = core::make<KBKeyboardReturnKeyHandler>();
    field->setDelegate(screens);
    handler->addTextFieldView(field);
    struct Step {
        const char* what;
        std::function<void()> end;
        const char* heard;
    };
    const std::vector<Step> steps = {
        {"resigned", [&] { field->resignFirstResponder(true); }, "fieldDidEnd committed"},
        {"removed while editing", [&] { field->removeFromSuperview(); }, "fieldDidEnd cancelled"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        field->becomeFirstResponder();
        ASSERT_TRUE(field->isFirstResponder());
        screens->calls.clear();
        step.end();
        EXPECT_EQ(screens->calls, std::vector<std::string>{step.heard});
    }
}

} // namespace
} // namespace keyboard::testing
