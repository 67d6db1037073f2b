#include "platform/core/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/TextField.h"
#include "UiTest.h"

#include <algorithm>

namespace ui {
namespace {

class Recorder : public TextFieldDelegate {
public:
    std::vector<std::string> calls;
    bool allowChanges = true;
    bool allowEnd = true;
    bool textFieldShouldBeginEditing(TextField&) override { calls.push_back("shouldBegin"); return true; }
    void textFieldDidBeginEditing(TextField&) override { calls.push_back("didBegin"); }
    bool textFieldShouldEndEditing(TextField&) override { calls.push_back("shouldEnd"); return allowEnd; }
    using TextFieldDelegate::textFieldDidEndEditing;  // the form with a reason comes here
    void textFieldDidEndEditing(TextField&) override { calls.push_back("didEnd"); }
    bool allowClear = true;
    bool textFieldShouldClear(TextField&) override { calls.push_back("clear"); return allowClear; }
    bool shouldChangeCharactersInRange(TextField&, TextRange r, const std::string& s) override {
        calls.push_back("change " + std::to_string(r.location) + "," + std::to_string(r.length) + " " + s);
        return allowChanges;
    }
    bool textFieldShouldReturn(TextField&) override { calls.push_back("return"); return true; }
};

class TextFieldTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        field = core::make<TextField>(gfx::Rect{20, 100, 300, 40});
        field->setDelegate(delegate);
        window->addSubview(field);
    }
    void TearDown() override {
        field->resignFirstResponder(true);
        Keyboard::shared().setHeight(0);
        UiTest::TearDown();
    }
    std::shared_ptr<Recorder> delegate = std::make_shared<Recorder>();
    std::shared_ptr<TextField> field;
};

TEST_F(TextFieldTest, ATapFocusesAndTypingEditsAtTheCaret) {
    host->tap({200, 120});
    ASSERT_TRUE(field->isFirstResponder());
    EXPECT_EQ(Keyboard::shared().firstResponder(), field);
    host->typeText("聊天");
    host->typeText("😀");
    EXPECT_EQ(field->text(), "聊天😀");
    EXPECT_EQ(field->caret(), 4u);  // UTF-16 units
    host->pressKey(EditingKey::left);
    EXPECT_EQ(field->caret(), 2u);
    host->typeText("话术");
    EXPECT_EQ(field->text(), "聊天话术😀");
    host->pressKey(EditingKey::end);
    host->pressKey(EditingKey::deleteForward);  // nothing after the end
    Keyboard::shared().deleteBackward();
    EXPECT_EQ(field->text(), "聊天话术");
    host->pressKey(EditingKey::home);
    host->pressKey(EditingKey::deleteForward);
    EXPECT_EQ(field->text(), "天话术");
    host->pressKey(EditingKey::returnKey);
    EXPECT_EQ(delegate->calls.back(), "return");
    EXPECT_EQ(delegate->calls.front(), "shouldBegin");
}

// The clear button shows by its mode and the editing state, only over text; a tap on it empties
// the field (taking the focus first) when the delegate allows, and a tap beside it moves the caret.
TEST_F(TextFieldTest, TheClearButtonShowsByItsModeAndClearsWhenAllowed) {
    struct Row {
        TextFieldViewMode mode;
        bool editing;
        bool shown;
    };
    const Row rows[] = {
        {TextFieldViewMode::never, false, false},        {TextFieldViewMode::never, true, false},
        {TextFieldViewMode::whileEditing, false, false}, {TextFieldViewMode::whileEditing, true, true},
        {TextFieldViewMode::unlessEditing, false, true}, {TextFieldViewMode::unlessEditing, true, false},
        {TextFieldViewMode::always, false, true},        {TextFieldViewMode::always, true, true},
    };
    const gfx::Point button{20 + 300 - 6 - 19.0 / 2, 120};  // the button's centre in the window
    for (const auto& row : rows) {
        for (bool allow : {true, false}) {
            SCOPED_TRACE(std::to_string(int(row.mode)) + (row.editing ? " editing" : " idle") + (allow ? " allowed" : " refused"));
            field->resignFirstResponder(true);
            field->setClearButtonMode(row.mode);
            field->setText("");
            if (row.editing) field->becomeFirstResponder();
            EXPECT_FALSE(field->isClearButtonShown()) << "nothing to clear";
            field->setText("chat");
            EXPECT_EQ(field->isClearButtonShown(), row.shown);
            delegate->allowClear = allow;
            delegate->calls.clear();
            host->tap(button);
            EXPECT_TRUE(field->isFirstResponder());
            const bool asked = std::find(delegate->calls.begin(), delegate->calls.end(), "clear") != delegate->calls.end();
            EXPECT_EQ(asked, row.shown);
            EXPECT_EQ(field->text(), row.shown && allow ? "" : "chat");
        }
    }
    // The text keeps clear of the button: a caret at the end of a long text stops before it.
    field->setClearButtonMode(TextFieldViewMode::always);
    field->setText(std::string(80, 'w'));
    field->becomeFirstResponder();
    field->setCaret(80);
    host->snapshot();
    EXPECT_LE(field->caretRectInWindow().maxX(), field->convertRect(field->clearButtonRect(), nullptr).x());
}

TEST_F(TextFieldTest, TheDelegateMayRefuseAChange) {
    field->becomeFirstResponder();
    delegate->allowChanges = false;
    host->typeText("x");
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(delegate->calls.back(), "change 0,0 x");
    delegate->allowChanges = true;
    int changes = 0;
    auto token = core::NotificationCenter::defaultCenter().addObserver(
        TextField::kTextDidChangeNotification, field, [&](const core::Notification&) { ++changes; });
    host->typeText("ab");
    EXPECT_EQ(changes, 1);
    delegate->allowEnd = false;
    EXPECT_FALSE(field->resignFirstResponder());
    EXPECT_TRUE(window->endEditing(true));  // forced
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(delegate->calls.back(), "didEnd");
}

TEST_F(TextFieldTest, InputMethodTextShowsUntilCommitted) {
    field->becomeFirstResponder();
    host->typeText("找");
    host->setMarkedText("sou'suo");
    EXPECT_EQ(field->text(), "找");
    EXPECT_EQ(field->markedText(), "sou'suo");
    Keyboard::shared().deleteBackward();  // the input method's own backspace
    EXPECT_EQ(field->text(), "找");
    host->typeText("搜索");  // the candidate chosen
    EXPECT_EQ(field->text(), "找搜索");
    EXPECT_EQ(field->markedText(), "");
    // Marked text left when the focus goes is kept as typed.
    host->setMarkedText("hua");
    field->resignFirstResponder();
    EXPECT_EQ(field->text(), "找搜索hua");
}

TEST_F(TextFieldTest, PastingInsertsThePasteboardText) {
    Pasteboard::general().setString("复制的回答");
    field->becomeFirstResponder();
    host->typeText("[]");
    host->pressKey(EditingKey::left);
    host->paste();
    EXPECT_EQ(field->text(), "[复制的回答]");
}

TEST_F(TextFieldTest, AFocusAskedOutOfAWindowIsTakenInOne) {
    auto later = core::make<TextField>(gfx::Rect{20, 200, 300, 40});
    EXPECT_FALSE(later->becomeFirstResponder());
    auto container = core::make<View>(window->bounds());
    container->addSubview(later);
    EXPECT_FALSE(later->isFirstResponder());
    window->addSubview(container);
    host->advance(0.01);
    EXPECT_TRUE(later->isFirstResponder());
    later->removeFromSuperview();  // leaving the window gives the focus up
    EXPECT_FALSE(later->isFirstResponder());
    EXPECT_EQ(Keyboard::shared().firstResponder(), nullptr);
}

TEST_F(TextFieldTest, TheKeyboardTellsWhereItIs) {
    Keyboard::shared().setHeight(216);
    std::vector<std::pair<std::string, gfx::Rect>> seen;
    auto& center = core::NotificationCenter::defaultCenter();
    auto changes = center.addObserver(Keyboard::kWillChangeFrameNotification, [&](const core::Notification& n) {
        seen.emplace_back(n.name, Keyboard::frameFromUserInfo(n.userInfo, Keyboard::kFrameEndUserInfoKey));
        EXPECT_EQ(n.userInfo.find(Keyboard::kAnimationDurationUserInfoKey)->asDouble(), 0.25);
    });
    field->becomeFirstResponder();
    auto other = core::make<TextField>(gfx::Rect{20, 200, 300, 40});
    window->addSubview(other);
    other->becomeFirstResponder();  // the focus moves: the keyboard stays
    field->becomeFirstResponder();
    window->endEditing(true);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].second, (gfx::Rect{0, 667 - 216, 375, 216}));
    EXPECT_EQ(seen[1].second, (gfx::Rect{0, 667, 375, 0}));
}

TEST_F(TextFieldTest, AFieldWithoutInteractionLetsTapsThrough) {
    auto bar = core::make<Button>(gfx::Rect{0, 300, 375, 60});
    auto inner = core::make<TextField>(gfx::Rect{50, 10, 300, 40});
    inner->setUserInteractionEnabled(false);
    bar->addSubview(inner);
    window->addSubview(bar);
    int taps = 0;
    bar->addTarget(std::weak_ptr<void>{}, [&](Control&) { ++taps; }, touchUpInside);
    host->tap({200, 330});
    EXPECT_EQ(taps, 1);
    EXPECT_FALSE(inner->isFirstResponder());
}

} // namespace
} // namespace ui
