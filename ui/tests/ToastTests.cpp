#include "platform/core/ProcessInfo.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/Keyboard.h"
#include "ui/tests/KitTest.h"
#include "ui/HUDToastIndicator.h"
#include "ui/c.h"

#include <cmath>

namespace kit {
namespace {

// The shared toast in a phone window on the virtual clock. The toast is process-wide, so every
// test starts by taking it off the screen.
class Toast : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        toast = HUDToastIndicator::sharedInstance();
        toast->dismissToast();
        run(0.5);
        toast->setIndicatorStyle(0);
    }
    bool onScreen() const { return toast->toastView()->window() != nullptr; }
    std::shared_ptr<HUDToastIndicator> toast;
};

TEST_F(Toast, StaysForTheDismissTimeCountedFromTheEndOfTheSpring) {
    struct Case {
        std::string text;
        double stay;
    } cases[] = {{"已复制", 2.0}, {std::string(37, 'a'), 2.0}, {std::string(100, 'a'), 4.5},
                 {"", 2.0}};
    for (const auto& tc : cases) {
        HUDToastIndicator::showToastMessage(tc.text);
        run(0.01);
        EXPECT_TRUE(onScreen()) << tc.text;
        EXPECT_TRUE(toast->isDuringAnimation());
        // The spring of 0.2 s ends within the next animation tick.
        run(0.24);
        EXPECT_TRUE(toast->isCurrentlyOnScreen());
        EXPECT_EQ(toast->toastView()->transform(), gfx::AffineTransform::identity());
        run(tc.stay - 0.1);
        EXPECT_TRUE(onScreen()) << tc.text.size();
        // The timer fires; the shrink takes 0.2 s and keeps the alpha.
        run(0.15);
        EXPECT_TRUE(onScreen()) << tc.text.size();
        EXPECT_EQ(toast->toastView()->alpha(), 1);
        run(0.25);
        EXPECT_FALSE(onScreen()) << tc.text.size();
    }
}

TEST_F(Toast, SizesFollowTheTextAndTheBottomStays20AboveTheKeyboard) {
    HUDToastIndicator::showToastMessage(std::nullopt);
    run(0.3);
    EXPECT_EQ(toast->toastView()->frame().size, (gfx::Size{60, 20}));
    EXPECT_EQ(toast->toastView()->frame().origin.y + 20, 667 - 20);

    const std::string longText(400, 'w');
    HUDToastIndicator::showToastMessage(longText);
    run(0.3);
    const gfx::Rect frame = toast->toastView()->frame();
    // The text wraps within 0.7 of the width less 40, and the label is cut at 80.
    EXPECT_LE(frame.size.width, 0.7 * 375);
    EXPECT_GT(frame.size.width, 0.7 * 375 - 20);
    EXPECT_EQ(frame.size.height, 100);
    EXPECT_DOUBLE_EQ(frame.origin.x, (375 - frame.size.width) / 2);
    EXPECT_EQ(toast->toastView()->messageLabel()->frame().size.height, 80);

    // A keyboard 216 high moves the toast above it.
    core::Dictionary info{{ui::Keyboard::kFrameEndUserInfoKey, core::Value(core::Array{core::Value(0.0), core::Value(451.0), core::Value(375.0), core::Value(216.0)})},
                          {ui::Keyboard::kAnimationDurationUserInfoKey, core::Value(0.25)}};
    core::NotificationCenter::defaultCenter().post(ui::Keyboard::kWillChangeFrameNotification, nullptr, info);
    run(0.3);
    EXPECT_DOUBLE_EQ(toast->toastView()->frame().origin.y, 451 - 20 - 100);
}

TEST_F(Toast, AShowDuringAnAnimationIsLaidOutLater) {
    HUDToastIndicator::showToastMessage("第一条");
    run(0.1);  // mid-spring
    HUDToastIndicator::showToastMessage("第二条");
    run(0.35);
    EXPECT_EQ(toast->toastView()->message(), "第一条");
    run(0.1);  // 0.4 s after the second show
    EXPECT_EQ(toast->toastView()->message(), "第二条");
}

TEST_F(Toast, ASecondToastCountsFromTheEndOfItsOwnSpring) {
    HUDToastIndicator::showToastMessage("第一条");
    run(1.5);
    HUDToastIndicator::showToastMessage("第二条");
    run(0.01);
    EXPECT_EQ(toast->toastView()->message(), "第二条");
    EXPECT_TRUE(toast->isDuringAnimation());
    // The first toast's timer would have fired at about 2.2 s; the second stays until 1.5 + 0.2 + 2.
    run(2.05);
    EXPECT_TRUE(onScreen());
    run(0.5);
    EXPECT_FALSE(onScreen());
}

// A text that arrives while the earlier one still springs in is laid out 0.4 s later and counts
// its time from the end of its own spring, not from the end of the earlier one.
TEST_F(Toast, EachTextStaysItsTimeFromItsOwnAppearance) {
    struct Case {
        const char* name;
        double secondAfter;  // seconds after the first show
        std::string text;
        double shrinks;  // when the second starts to shrink, from the first show
    } cases[] = {{"during the spring", 0.1, "第二条", 0.5 + 0.2 + 2.0},
                 {"right after the spring", 0.3, "第二条", 0.3 + 0.2 + 2.0},
                 {"long, during the spring", 0.1, std::string(100, 'a'), 0.5 + 0.2 + 4.5}};
    for (const auto& tc : cases) {
        toast->dismissToast();
        run(0.5);
        HUDToastIndicator::showToastMessage("第一条");
        run(tc.secondAfter);
        HUDToastIndicator::showToastMessage(tc.text);
        run(tc.shrinks - tc.secondAfter - 0.06);
        EXPECT_TRUE(toast->isCurrentlyOnScreen()) << tc.name;
        EXPECT_FALSE(toast->isDuringAnimation()) << tc.name;
        EXPECT_EQ(toast->toastView()->message(), tc.text) << tc.name;
        run(0.12);
        EXPECT_TRUE(toast->isDuringAnimation()) << tc.name;  // shrinking
        run(0.3);
        EXPECT_FALSE(onScreen()) << tc.name;
    }
}

TEST_F(Toast, DismissDuringTheSpringRemovesTheToast) {
    HUDToastIndicator::showToastMessage("稍等");
    run(0.05);
    HUDToastIndicator::dismiss();
    run(0.5);
    EXPECT_FALSE(onScreen());
    run(3);
    EXPECT_FALSE(onScreen());
}

TEST_F(Toast, Snapshot) {
    // On the app's yellow, so that the light box shows.
    window->setBackgroundColor(c::colorFAD54D());
    HUDToastIndicator::showToastMessage("已复制到剪贴板");
    run(0.3);
    const auto shot = host->snapshot();
    EXPECT_TRUE(gfx::testing::matchesGolden(*shot, std::string(QUILLORA_GOLDEN_DIR) + "/toast.png"));
}

} // namespace
} // namespace kit
