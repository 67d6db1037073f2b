#include "Commons/Button/NXButton.h"
#include "platform/ui/tests/UiTest.h"

namespace kit {
namespace {

class NXButtonTest : public ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        button = core::make<NXButton>(gfx::Rect{20, 20, 100, 40});
        window->addSubview(button);
    }
    void tap() { host->tap({70, 40}); }
    std::shared_ptr<NXButton> button;
};

TEST_F(NXButtonTest, ANewButtonIgnoresTaps) {
    EXPECT_EQ(button->actionCount(), 0u);
    tap();
    EXPECT_EQ(button->actionCount(), 0u);
}

TEST_F(NXButtonTest, SettingTheActionReplacesTheOldOneAndEveryOtherTarget) {
    int first = 0, second = 0, foreign = 0;
    auto other = std::make_shared<int>(0);
    button->addTarget(other, [&](ui::Control&) { ++foreign; }, ui::touchUpInside | ui::touchDown);
    button->setAction([&](ui::Button&) { ++first; });
    button->setAction([&](ui::Button& sender) {
        EXPECT_EQ(&sender, button.get());
        ++second;
    });
    tap();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(foreign, 0);
    EXPECT_EQ(button->actionCount(), 1u);
}

TEST_F(NXButtonTest, TheActionRunsOnlyForALiftInside) {
    int taps = 0;
    button->setAction([&](ui::Button&) { ++taps; });
    host->drag({70, 40}, {300, 400});
    EXPECT_EQ(taps, 0);
    tap();
    EXPECT_EQ(taps, 1);
}

TEST_F(NXButtonTest, AnActionThatCapturesItsButtonWeaklyLetsItGo) {
    std::weak_ptr<NXButton> weak = button;
    int taps = 0;
    button->setAction([weak, &taps](ui::Button&) {
        if (weak.lock()) ++taps;
    });
    tap();
    EXPECT_EQ(taps, 1);
    button->removeFromSuperview();
    button.reset();
    EXPECT_TRUE(weak.expired()) << "the button must not keep itself alive through its own target";
}

} // namespace
} // namespace kit
