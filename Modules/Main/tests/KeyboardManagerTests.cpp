// The answer list in search mode with the keyboard manager switched on: the search field at the
// top stays where it is, gets the manager's bar titled with its placeholder and Done, and Done puts
// the keyboard away; switched off, the page is as it was.
#include "keyboard/KBKeyboardManager.h"
#include "keyboard/KBViewOptions.h"
#include "Modules/Main/tests/ScreenTest.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/Keyboard.h"

namespace kit::testing {
namespace {

class AnswerListWithManager : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        ui::Keyboard::shared().setSimulatesOnScreenKeyboard(true);
    }
    void TearDown() override {
        if (auto* input = ui::Keyboard::shared().focusedInput()) input->resignFirstResponder(true);
        settle();
        keyboard::KBKeyboardManager::resetSharedForTesting();
        ui::Keyboard::shared().setSimulatesOnScreenKeyboard(false);
        ScreenTest::TearDown();
    }
};

TEST_F(AnswerListWithManager, TheSearchFieldStaysPutUnderItsBarAndDoneResigns) {
    // Without the manager: where the page and the field are.
    auto plain = openDetail(std::nullopt);
    const auto& plainField = plain->searchView()->inputTextField();
    ASSERT_TRUE(plainField->isFirstResponder());
    gfx::Rect plainPage = plain->view()->frame();
    gfx::Rect plainSpot = plainField->convertRect(plainField->bounds(), nullptr);
    EXPECT_FALSE(plainField->inputAccessoryView());
    plainField->resignFirstResponder();
    settle();

    auto manager = keyboard::KBKeyboardManager::shared();
    manager->setEnable(true);
    auto page = openDetail(std::nullopt);
    const auto& field = page->searchView()->inputTextField();
    ASSERT_TRUE(field->isFirstResponder());
    settle();
    EXPECT_EQ(page->view()->frame(), plainPage) << "the field is clear of the keyboard already";
    EXPECT_EQ(field->convertRect(field->bounds(), nullptr), plainSpot);
    auto bar = std::dynamic_pointer_cast<keyboard::KBToolbar>(field->inputAccessoryView());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->titleBarButton()->title(), "搜索聊天话术");
    EXPECT_TRUE(bar->doneBarButton()->isSystemItem());
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/answer_list_keyboard_manager.png"));

    manager->doneAction(bar->doneBarButton().get());
    settle();
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(ui::Keyboard::shared().isVisible());

    manager->setEnable(false);
    field->becomeFirstResponder();
    settle();
    EXPECT_EQ(page->view()->frame(), plainPage) << "off leaves the page as it was";
}

} // namespace
} // namespace kit::testing
