#include "keyboard/KBKeyboardManager.h"
#include "keyboard/KBTextView.h"
#include "keyboard/KBToolbarBuilder.h"
#include "keyboard/KBViewOptions.h"
#include "platform/core/ProcessInfo.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/Button.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "UiTest.h"

#include <algorithm>
#include <cmath>

namespace keyboard {
namespace golden_test {

struct Page : core::Object {
    void act(core::Object*) {}
};

class KeyboardGolden : public ui::UiTest {
protected:
    void SetUp() override {
        ui::UiTest::SetUp();
        core::Bundle::setResourcePathForTesting(std::string(QUILLORA_RESOURCES_DIR));
        core::ProcessInfo::setPreferredLanguagesForTesting(std::vector<std::string>{"en"});
        ui::Keyboard::shared().setSimulatesOnScreenKeyboard(true);
    }
    void TearDown() override {
        if (auto* input = ui::Keyboard::shared().focusedInput()) input->resignFirstResponder(true);
        ui::Keyboard::shared().setSimulatesOnScreenKeyboard(false);
        core::ProcessInfo::setPreferredLanguagesForTesting(std::nullopt);
        core::Bundle::setResourcePathForTesting(std::nullopt);
        ui::UiTest::TearDown();
    }
    // Three fields; the middle one has the previous/next/done bar and the focus.
    void form(ui::KeyboardAppearance appearance) {
        const char* names[] = {"Name", "Email", "Phone"};
        std::shared_ptr<ui::TextField> middle;
        for (int i = 0; i < 3; ++i) {
            auto field = core::make<ui::TextField>(gfx::Rect{20, 100.0 + 60 * i, 335, 40});
            field->setPlaceholder(names[i]);
            field->setBackgroundColor(gfx::Color::rgb(242, 242, 247));
            window->addSubview(field);
            if (i == 1) middle = field;
        }
        middle->setKeyboardAppearance(appearance);
        addPreviousNextDoneOnKeyboardWithTarget(*middle, page, act, act, act, true);
        middle->becomeFirstResponder();
        host->advance(0.3);  // the keyboard has slid in
    }
    std::shared_ptr<Page> page = core::make<Page>();
    ui::Selector act = ui::selector(&Page::act);
};

TEST_F(KeyboardGolden, AFormsMiddleFieldWithItsBarOverThePhoneKeyboard) {
    form(ui::KeyboardAppearance::default_);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/form_bar.png"));
}

TEST_F(KeyboardGolden, TheSameFormWithADarkKeyboard) {
    form(ui::KeyboardAppearance::dark);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/form_bar_dark.png"));
}

TEST_F(KeyboardGolden, PlaceholderTextViewsEmptyAndTyped) {
    ui::Keyboard::shared().setSimulatesOnScreenKeyboard(false);
    for (int i = 0; i < 2; ++i) {
        auto view = core::make<KBTextView>(gfx::Rect{20, 80.0 + 160 * i, 335, 130});
        view->setFont(gfx::Font::systemFont(16));
        view->setBackgroundColor(gfx::Color::rgb(242, 242, 247));
        view->setPlaceholder("Write the opening line of your chat script here");
        if (i == 1) view->setText("Hello! I saw your post about hiking.\nWhere do you like to go?");
        window->addSubview(view);
    }
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/placeholder_text_view.png"));
}

// A form under a navigation bar whose bottom field the manager lifts ten points above its bar and
// the keyboard. On the last field Next is disabled and dims; the arrows take the bar's tint (black
// on the light bar, white on the dark one), like Done.
class LiftedFormGolden : public KeyboardGolden {
protected:
    void liftForm(ui::KeyboardAppearance appearance) {
        manager->setEnable(true);
        auto form = core::make<ui::ViewController>();
        form->setTitle("Profile");
        window->setRootViewController(core::make<ui::NavigationController>(form));
        const char* names[] = {"Name", "Email", "Phone", "City", "About you"};
        std::shared_ptr<ui::TextField> last;
        for (int i = 0; i < 5; ++i) {
            last = core::make<ui::TextField>(gfx::Rect{20, 40.0 + 110 * i, 335, 40});
            last->setPlaceholder(names[i]);
            last->setBackgroundColor(gfx::Color::rgb(242, 242, 247));
            last->setKeyboardAppearance(appearance);
            form->view()->addSubview(last);
        }
        host->advance(0.5);
        last->becomeFirstResponder();
        host->advance(0.6);
        EXPECT_LT(form->view()->frame().y(), 64);
        host->snapshot();  // the lift animates from the first frame drawn
        host->advance(0.6);
        // The arrows' pixels are the tint's, at full strength for previous, dimmed for next.
        auto bar = keyboardToolbar(*last);
        ASSERT_TRUE(bar);
        const gfx::Color tint = bar->tintColor();
        const uint32_t opaqueTint = 0xff000000u | uint32_t(std::lround(tint.red * 255)) << 16 |
                                    uint32_t(std::lround(tint.green * 255)) << 8 | uint32_t(std::lround(tint.blue * 255));
        for (auto [item, alpha] : {std::pair{bar->previousBarButton(), 1.0}, std::pair{bar->nextBarButton(), 0.5}}) {
            auto button = std::dynamic_pointer_cast<ui::Button>(bar->viewForItem(*item));
            ASSERT_TRUE(button);
            EXPECT_EQ(button->imageView()->alpha(), alpha);
            auto shown = button->imageView()->layer()->contents();
            ASSERT_TRUE(shown);
            const auto& pixels = shown->pixels();
            EXPECT_TRUE(std::find(pixels.begin(), pixels.end(), opaqueTint) != pixels.end());
        }
    }
    std::shared_ptr<KBKeyboardManager> manager = core::make<KBKeyboardManager>();
};

TEST_F(LiftedFormGolden, TheManagerLiftsAFormsBottomField) {
    liftForm(ui::KeyboardAppearance::default_);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/form_lifted_by_manager.png"));
}

TEST_F(LiftedFormGolden, TheSameLiftWithADarkKeyboard) {
    liftForm(ui::KeyboardAppearance::dark);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/form_lifted_by_manager_dark.png"));
}

} // namespace golden_test
} // namespace keyboard
