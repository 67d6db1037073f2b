#include "keyboard/KBTextView.h"
#include "platform/ui/Keyboard.h"
#include "UiTest.h"

namespace keyboard {
namespace {

using KBTextViewTest = ui::UiTest;

TEST_F(KBTextViewTest, TheHintShowsOnlyWhileEmptyAndOnlyAfterARefresh) {
    auto view = core::make<KBTextView>(gfx::Rect{0, 0, 200, 100});
    window->addSubview(view);
    EXPECT_EQ(view->placeholderLabel()->alpha(), 0);  // no refresh yet
    view->setPlaceholder("Say something");
    EXPECT_EQ(view->placeholderLabel()->alpha(), 1);
    ASSERT_TRUE(view->becomeFirstResponder());
    host->typeText("a");
    EXPECT_EQ(view->placeholderLabel()->alpha(), 0);
    ui::Keyboard::shared().deleteBackward();
    EXPECT_EQ(view->placeholderLabel()->alpha(), 1);
    view->resignFirstResponder();
    view->setText("from code");
    EXPECT_EQ(view->placeholderLabel()->alpha(), 0);
}

TEST_F(KBTextViewTest, TheHintFollowsFontAlignmentAndInsets) {
    auto view = core::make<KBTextView>(gfx::Rect{0, 0, 200, 100});
    view->setTextContainerInset({8, 8, 8, 8});
    view->setPlaceholder("Hint");
    view->layoutIfNeeded();
    auto label = view->placeholderLabel();
    EXPECT_EQ(label->frame().x(), 13);
    EXPECT_EQ(label->frame().y(), 8);
    EXPECT_EQ(label->frame().width(), 174);
    EXPECT_EQ(label->autoresizingMask(), 18u);
    EXPECT_EQ(label->numberOfLines(), 0);
    EXPECT_EQ(label->textColor(), gfx::Color::white(0.7));
    view->setFont(gfx::Font::systemFont(20));
    EXPECT_EQ(label->font(), gfx::Font::systemFont(20));
    view->setFont(std::nullopt);
    EXPECT_EQ(label->font(), gfx::Font::systemFont(12));
    view->setTextAlignment(ui::TextAlignment::center);
    EXPECT_EQ(label->textAlignment(), ui::TextAlignment::center);
    // A long hint wraps and takes the height it needs; a view too small for its insets gives none.
    double oneLine = label->frame().height();
    view->setPlaceholder(std::string(200, 'w'));
    view->layoutIfNeeded();
    EXPECT_GT(label->frame().height(), oneLine * 2);
    view->setFrame({0, 0, 20, 10});
    view->layoutIfNeeded();
    EXPECT_EQ(label->frame().width(), 0);
}

TEST_F(KBTextViewTest, ReadingTheDelegateRefreshesAndAGoingViewMakesNoLabel) {
    auto view = core::make<KBTextView>(gfx::Rect{0, 0, 200, 100});
    view->placeholderLabel();
    view->delegate();
    EXPECT_EQ(view->placeholderLabel()->alpha(), 1);
    // A view whose label never existed goes without making one.
    std::weak_ptr<KBTextView> weak;
    {
        auto fresh = core::make<KBTextView>(gfx::Rect{0, 0, 10, 10});
        weak = fresh;
        EXPECT_EQ(fresh->subviews().size(), 1u);  // its text content only
    }
    EXPECT_TRUE(weak.expired());
}

} // namespace
} // namespace keyboard
