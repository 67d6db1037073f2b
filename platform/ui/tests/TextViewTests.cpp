#include "platform/core/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Toolbar.h"
#include "UiTest.h"

namespace ui {
namespace {

class NoNewlines : public TextViewDelegate {
public:
    std::vector<std::string> changes;
    bool shouldChangeTextInRange(TextView&, TextRange r, const std::string& s) override {
        changes.push_back(std::to_string(r.location) + "," + std::to_string(r.length) + " " + s);
        return s != "\n";
    }
};

class TextViewTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        textView = core::make<TextView>(gfx::Rect{20, 300, 300, 100});
        window->addSubview(textView);
    }
    void TearDown() override {
        if (auto* input = Keyboard::shared().focusedInput()) input->resignFirstResponder(true);
        Keyboard::shared().setSimulatesOnScreenKeyboard(false);
        UiTest::TearDown();
    }
    std::shared_ptr<TextField> fieldAt(double y) {
        auto f = core::make<TextField>(gfx::Rect{20, y, 300, 40});
        window->addSubview(f);
        return f;
    }
    static std::shared_ptr<Toolbar> bar() {
        auto t = core::make<Toolbar>();
        t->sizeToFit();
        return t;
    }
    // Names of the notifications posted while `action` runs (keyboard ones without their prefix).
    std::vector<std::string> record(const std::function<void()>& action) {
        std::vector<std::string> names;
        auto token = core::NotificationCenter::defaultCenter().addObserver("", [&](const core::Notification& n) {
            std::string name = n.name;
            if (name.rfind("Keyboard", 0) == 0 || name.find("Editing") != std::string::npos) names.push_back(name);
        });
        action();
        return names;
    }
    std::shared_ptr<TextView> textView;
};

TEST_F(TextViewTest, TypingWrapsReturnsThroughTheDelegateAndKeepsUtf16Offsets) {
    auto delegate = std::make_shared<NoNewlines>();
    EXPECT_EQ(textView->textContainerInset(), (gfx::EdgeInsets{8, 0, 8, 0}));
    EXPECT_EQ(textView->lineFragmentPadding(), 5);
    EXPECT_FALSE(textView->font());
    ASSERT_TRUE(textView->becomeFirstResponder());
    host->typeText("话术😀");
    EXPECT_EQ(textView->selectedRange().location, 4u);
    host->pressKey(EditingKey::returnKey);
    EXPECT_EQ(textView->text(), "话术😀\n");
    textView->setDelegate(delegate);
    host->pressKey(EditingKey::returnKey);  // refused
    EXPECT_EQ(textView->text(), "话术😀\n");
    EXPECT_EQ(delegate->changes, std::vector<std::string>{"5,0 \n"});
    Keyboard::shared().deleteBackward();
    Keyboard::shared().deleteBackward();  // the emoji's two units go together
    EXPECT_EQ(textView->text(), "话术");
    textView->setSelectedRange({0, 1});
    host->typeText("聊");
    EXPECT_EQ(textView->text(), "聊术");
    // Marked text stays out of the text until committed.
    Keyboard::shared().setMarkedText("ni", 2);
    EXPECT_EQ(textView->text(), "聊术");
    Keyboard::shared().insertText("你");
    EXPECT_EQ(textView->text(), "聊你术");
    // Long text wraps and the content grows and scrolls to the caret.
    textView->setDelegate(std::weak_ptr<TextViewDelegate>{});
    for (int i = 0; i < 12; ++i) host->pressKey(EditingKey::returnKey);
    textView->layoutIfNeeded();
    EXPECT_GT(textView->contentSize().height, 100);
    EXPECT_GT(textView->contentOffset().y, 0);
    textView->setEditable(false);
    EXPECT_FALSE(textView->isEditing());
}

// The delegate hears of every move of the selection, by typing, deleting, the arrow keys or a
// new range, and of nothing that leaves it where it was.
TEST_F(TextViewTest, SelectionMovesReachTheDelegate) {
    struct Selections : TextViewDelegate {
        std::vector<std::string> seen;
        void textViewDidChangeSelection(TextView& t) override {
            seen.push_back(std::to_string(t.selectedRange().location) + "," + std::to_string(t.selectedRange().length));
        }
    };
    auto delegate = std::make_shared<Selections>();
    textView->setDelegate(delegate);
    ASSERT_TRUE(textView->becomeFirstResponder());
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> seen;
    };
    const std::vector<Step> steps = {
        {"typing", [&] { host->typeText("ab"); }, {"2,0"}},
        {"arrow left", [&] { host->pressKey(EditingKey::left); }, {"1,0"}},
        {"a range", [&] { textView->setSelectedRange({0, 2}); }, {"0,2"}},
        {"the same range", [&] { textView->setSelectedRange({0, 2}); }, {}},
        {"typing over it", [&] { host->typeText("c"); }, {"1,0"}},
        {"deleting", [&] { Keyboard::shared().deleteBackward(); }, {"0,0"}},
        {"deleting at the start", [&] { Keyboard::shared().deleteBackward(); }, {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        delegate->seen.clear();
        step.act();
        EXPECT_EQ(delegate->seen, step.seen);
    }
}

// Web addresses in a text view that is not editable are links: a tap on one asks the delegate
// (in the form with an interaction, else the one without) and opens it when allowed.
TEST_F(TextViewTest, LinksAskTheDelegateAndOpenWhenAllowed) {
    struct Asker : TextViewDelegate {
        bool answer = true;
        std::vector<std::string> asked;
        using TextViewDelegate::shouldInteractWithURL;
        bool shouldInteractWithURL(TextView&, const std::string& url, TextRange range) override {
            asked.push_back(url + " " + std::to_string(range.location) + "," + std::to_string(range.length));
            return answer;
        }
    };
    std::vector<std::string> opened;
    Application::shared().setURLLauncherForTesting([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    auto asker = std::make_shared<Asker>();
    textView->setDelegate(asker);
    textView->setFont(gfx::Font::systemFont(16));
    textView->setText("看 https://example.org/a, then more");
    textView->setDataDetectorTypes(dataDetectorLink);
    EXPECT_TRUE(textView->detectedLinks().empty()) << "no links while editable";
    textView->setEditable(false);
    ASSERT_EQ(textView->detectedLinks().size(), 1u);
    EXPECT_EQ(textView->detectedLinks()[0].url, "https://example.org/a");
    EXPECT_EQ(textView->detectedLinks()[0].range.location, 2u);  // UTF-16, the comma left out
    EXPECT_EQ(textView->detectedLinks()[0].range.length, 21u);
    // The link is drawn in the tint colour (blue), the rest of the text in black.
    auto shot = host->snapshot();
    auto bluePixels = [&](double fromX, double toX) {
        int n = 0;
        const gfx::Rect r = textView->convertRect({fromX, 8, toX - fromX, 22}, nullptr);
        for (int y = int(r.minY() * 2); y < int(r.maxY() * 2); ++y)
            for (int x = int(r.minX() * 2); x < int(r.maxX() * 2); ++x) {
                const uint32_t v = shot->pixel(x, y);
                n += int(v & 0xff) > int((v >> 16) & 0xff) + 100;
            }
        return n;
    };
    EXPECT_GT(bluePixels(40, 150), 20);
    EXPECT_EQ(bluePixels(240, 290), 0);
    // Points on the link's text and beside it (16-point font: the first line's middle is near 8 + 11).
    const gfx::Point onLink = textView->convertPoint({5 + 60, 8 + 11}, nullptr);
    const gfx::Point pastText = textView->convertPoint({290, 90}, nullptr);
    struct Row {
        const char* what;
        gfx::Point at;
        bool answer;
        std::vector<std::string> asked, opened;
    };
    const std::vector<Row> rows = {
        {"allowed", onLink, true, {"https://example.org/a 2,21"}, {"https://example.org/a"}},
        {"refused", onLink, false, {"https://example.org/a 2,21"}, {}},
        {"beside the link", pastText, true, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        asker->answer = row.answer;
        asker->asked.clear();
        opened.clear();
        host->tap(row.at);
        EXPECT_EQ(asker->asked, row.asked);
        EXPECT_EQ(opened, row.opened);
    }
    Application::shared().setURLLauncherForTesting(nullptr);
}

TEST_F(TextViewTest, FocusMovesPostTheOldEndThenTheNewBeginThenTheKeyboard) {
    auto field = fieldAt(100);
    auto names = record([&] { field->becomeFirstResponder(); });
    EXPECT_EQ(names, (std::vector<std::string>{"TextFieldTextDidBeginEditingNotification", "KeyboardWillChangeFrameNotification",
                                               "KeyboardWillShowNotification", "KeyboardDidChangeFrameNotification",
                                               "KeyboardDidShowNotification"}));
    // An accessory set when the text view begins is in the keyboard's first frame.
    auto token = core::NotificationCenter::defaultCenter().addObserver(TextView::kTextDidBeginEditingNotification, [&](const core::Notification&) {
        textView->setInputAccessoryView(bar());
    });
    names = record([&] { textView->becomeFirstResponder(); });
    EXPECT_EQ(names, (std::vector<std::string>{"TextFieldTextDidEndEditingNotification", "TextViewTextDidBeginEditingNotification",
                                               "KeyboardWillChangeFrameNotification", "KeyboardWillShowNotification",
                                               "KeyboardDidChangeFrameNotification", "KeyboardDidShowNotification"}));
    EXPECT_EQ(Keyboard::shared().frame(), gfx::Rect(0, 667 - 44, 375, 44));
    names = record([&] { textView->resignFirstResponder(); });
    EXPECT_EQ(names, (std::vector<std::string>{"TextViewTextDidEndEditingNotification", "KeyboardWillChangeFrameNotification",
                                               "KeyboardWillHideNotification", "KeyboardDidChangeFrameNotification",
                                               "KeyboardDidHideNotification"}));
}

TEST_F(TextViewTest, TheKeyboardFrameIsItsKeysPlusTheAccessoryAndChangesOnlyWhenItMoves) {
    Keyboard::shared().setSimulatesOnScreenKeyboard(true);
    auto a = fieldAt(100), b = fieldAt(160), c = fieldAt(220);
    a->setInputAccessoryView(bar());
    b->setInputAccessoryView(bar());
    a->becomeFirstResponder();
    EXPECT_EQ(Keyboard::shared().frame(), gfx::Rect(0, 667 - 216 - 44, 375, 260));
    // Between fields with equal bars nothing is posted; to a field without one the frame shrinks.
    EXPECT_TRUE(record([&] { b->becomeFirstResponder(); }).size() == 2);  // b's begin and a's end only
    auto shown = record([&] { c->becomeFirstResponder(); });
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "KeyboardWillShowNotification"), 1);
    EXPECT_EQ(Keyboard::shared().frame().height(), 216);
    // A bar added while focused: one will-show; the same bar again: nothing.
    auto toolbar = bar();
    shown = record([&] { c->setInputAccessoryView(toolbar); });
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "KeyboardWillShowNotification"), 1);
    EXPECT_TRUE(record([&] { c->reloadInputViews(); }).empty());
    EXPECT_EQ(Keyboard::shared().frame().height(), 260);
    // A search bar takes an accessory for its field.
    auto search = core::make<SearchBar>(gfx::Rect{0, 20, 375, 56});
    window->addSubview(search);
    search->setInputAccessoryView(bar());
    search->searchTextField()->becomeFirstResponder();
    EXPECT_EQ(Keyboard::shared().frame().height(), 260);
}

TEST_F(TextViewTest, TheKeyboardStaysAboveLaterWindowSubviewsAndTakesTheirTouches) {
    auto field = fieldAt(100);
    auto toolbar = bar();
    auto done = core::make<BarButtonItem>();
    int taps = 0;
    auto target = std::make_shared<int>(0);
    done->initWithBarButtonSystemItem(BarButtonSystemItem::done, target, [&](void*, core::Object*) { ++taps; });
    auto flexible = core::make<BarButtonItem>();
    flexible->initWithBarButtonSystemItem(BarButtonSystemItem::flexibleSpace, {}, {});
    toolbar->setItems({flexible, done});
    field->setInputAccessoryView(toolbar);
    field->becomeFirstResponder();
    auto overlay = core::make<View>(Screen::main().bounds());
    overlay->setBackgroundColor(gfx::Color::black().withAlpha(0.3));
    window->addSubview(overlay);  // a HUD's or toast's overlay, added later
    auto tree = host->dumpTree();
    EXPECT_EQ(window->subviews().back(), Keyboard::shared().keyboardView());
    EXPECT_EQ(Keyboard::shared().keyboardView()->dumpText(), "keyboard");
    gfx::Rect doneFrame = toolbar->viewForItem(*done)->convertRect(toolbar->viewForItem(*done)->bounds(), nullptr);
    host->tap({doneFrame.x() + doneFrame.width() / 2, doneFrame.y() + doneFrame.height() / 2});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(BarButtonItem::localizedTitle(BarButtonSystemItem::done), "Done");
}

} // namespace
} // namespace ui
