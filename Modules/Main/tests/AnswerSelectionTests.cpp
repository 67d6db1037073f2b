// Selecting part of an answer in the answer list, as a user does: a long press, the pins, the
// edit menu and the pasteboard.
#include "Modules/Main/tests/ScreenTest.h"
#include "platform/ui/Label.h"
#include "platform/ui/MenuController.h"
#include "platform/ui/Pasteboard.h"
#include "rich_label/RLLabel.h"
#include "rich_label/RLSelectBackView.h"

namespace kit::testing {
namespace {

// The rich label under `view` showing `text`.
std::shared_ptr<RLLabel> labelShowing(const std::shared_ptr<ui::View>& view, const std::string& text) {
    if (auto label = std::dynamic_pointer_cast<RLLabel>(view))
        if (auto shown = label->callerAttributedText(); shown && shown->string() == text) return label;
    for (const auto& sub : view->subviews())
        if (auto hit = labelShowing(sub, text)) return hit;
    return nullptr;
}

class AnswerSelection : public ScreenTest {
protected:
    void TearDown() override {
        RLSelectBackView::instance()->hideView();
        ScreenTest::TearDown();
    }
    // Taps the edit menu's command with this title.
    void tapMenu(const std::string& title) {
        auto bar = ui::MenuController::shared().menuView();
        ASSERT_TRUE(bar) << "no menu for " << title;
        for (const auto& sub : bar->subviews())
            if (auto label = std::dynamic_pointer_cast<ui::Label>(sub); label && label->text() == title)
                return host->tap(middleInWindow(*label));
        FAIL() << "the menu has no " << title;
    }
};

TEST_F(AnswerSelection, LongPressThenCopyPutsExactlyTheAnswerOnThePasteboardAndPinsLeaveTheTableStill) {
    const std::size_t before = contentRequests();
    auto page = openDetail("约会邀请");
    ASSERT_TRUE(answered(before + 1));
    host->snapshot();
    const std::string answer = "第1个回答：听说河边新开了一家咖啡馆，周末一起去坐坐吧。";
    auto label = labelShowing(page->tableview(), answer);
    ASSERT_TRUE(label);
    ASSERT_FALSE(label->lineLayoutModels().empty());

    // A long press on the first character: the loupe while held, a one-character selection after;
    // its copy is that character.
    gfx::Rect line = label->lineLayoutModels()[0]->lineVerticalLayout.lineRect;
    gfx::Point p = label->convertPoint({label->textInsets().left + 6, line.midY()}, nullptr);
    auto longPress = [&] {
        host->touchDown(p);
        host->advance(0.6);
        host->snapshot();
        host->touchUp(p);
    };
    longPress();
    tapMenu("拷贝");
    EXPECT_EQ(ui::Pasteboard::general().string(), "第");
    longPress();
    auto selection = RLSelectBackView::instance();
    ASSERT_EQ(selection->label(), label);
    ASSERT_TRUE(selection->startCopyRunItem());
    EXPECT_EQ(selection->startCopyRunItem()->characterIndex, 0);

    // Dragging the end pin down the list moves the selection, not the table.
    gfx::Point offset = page->tableview()->contentOffset();
    auto end = selection->endCopyRunItem()->withOutMergeBounds;
    gfx::Point pin = selection->convertPoint({end.maxX(), end.midY()}, nullptr);
    host->drag(pin, pin + gfx::Point{40, 120}, 10);
    EXPECT_EQ(page->tableview()->contentOffset(), offset);
    EXPECT_GT(selection->endCopyRunItem()->characterIndex, 0);

    tapMenu("全选");
    tapMenu("拷贝");
    EXPECT_EQ(ui::Pasteboard::general().string(), answer);
    EXPECT_FALSE(selection->superview());
    // The list scrolls again once the selection has gone.
    host->drag({180, 500}, {180, 300}, 10);
    EXPECT_NE(page->tableview()->contentOffset(), offset);
}

} // namespace
} // namespace kit::testing
