#include "platform/core/ProcessInfo.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/Keyboard.h"
#include "ui/tests/KitTest.h"
#include "ui/HUDIndicator.h"
#include "ui/c.h"

namespace kit {
namespace {

// The shared HUD in a phone window on the virtual clock, with the built icons as resources.
class ProgressHUD : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        hud = HUDProgressIndicator::sharedInstance();
        run(0.5);
        hud->dismissProgress();
        hud->setIndicatorStyle(0);
    }
    void TearDown() override {
        hud->dismissProgress();
        KitTest::TearDown();
    }
    bool onScreen() { return hud->progressView()->window() != nullptr; }
    bool blocked() {
        const auto& blocker = hud->progressView()->backgroundView();
        return blocker->window() != nullptr && !blocker->isHidden();
    }
    std::shared_ptr<HUDProgressIndicator> hud;
};

TEST_F(ProgressHUD, ProgressBlocksTouchesOnlyThroughTheFacadeAndNeverGoesByItself) {
    HUDIndicator::showProgressWithmessage("加载中");
    run(0.3);
    EXPECT_TRUE(onScreen());
    EXPECT_TRUE(blocked());
    EXPECT_TRUE(hud->progressView()->iconImageView()->isHidden());
    EXPECT_TRUE(hud->progressView()->activatyView()->isAnimating());
    // The blocker lies under the panel, and a tap anywhere lands on one of them.
    EXPECT_EQ(window->hitTest({5, 5}), hud->progressView()->backgroundView());
    run(10);
    EXPECT_TRUE(onScreen());
    hud->dismissProgress();
    EXPECT_FALSE(onScreen());
    EXPECT_FALSE(blocked());

    HUDProgressIndicator::showProgressWithmessage("加载中");
    run(0.3);
    EXPECT_TRUE(onScreen());
    EXPECT_FALSE(blocked());
}

TEST_F(ProgressHUD, MessagesStayForTheDismissTime) {
    struct Case {
        std::string text;
        double stay;
    } cases[] = {{std::string(37, 'a'), 2.0}, {std::string(38, 'a'), 2.02}, {std::string(100, 'a'), 4.5}};
    for (const auto& tc : cases) {
        HUDIndicator::showInfoWithMessage(tc.text);
        run(0.25);  // the spring ends within a tick of 0.2 s
        EXPECT_TRUE(hud->isCurrentlyOnScreen());
        run(tc.stay - 0.05);
        EXPECT_TRUE(onScreen()) << tc.text.size();
        run(0.05);  // no animation on the way out
        EXPECT_FALSE(onScreen()) << tc.text.size();
    }
}

TEST_F(ProgressHUD, SizesAndPlacesThePanel) {
    HUDIndicator::showSuccessWithMessage(std::nullopt);
    run(0.3);
    EXPECT_EQ(hud->progressView()->frame(), (gfx::Rect{152.5, 298.5, 70, 70}));
    EXPECT_TRUE(hud->progressView()->messageLabel()->isHidden());

    HUDIndicator::showInfoWithMessage("网络不可用，请检查网络");
    run(0.3);
    const auto frame = hud->progressView()->frame();
    const auto label = hud->progressView()->messageLabel()->frame();
    EXPECT_EQ(frame.size.width, std::min(label.size.width + 40, 240.0));
    EXPECT_EQ(frame.size.height, label.size.height + 85);
    EXPECT_EQ(label.origin.y, 65);
    EXPECT_EQ(hud->progressView()->iconImageView()->frame(), (gfx::Rect{(frame.size.width - 30) / 2, 20, 30, 30}));

    // A keyboard 216 high: the panel centres in what is left, and goes back when it hides.
    auto post = [](double y) {
        core::Dictionary info{{ui::Keyboard::kFrameEndUserInfoKey,
                               core::Value(core::Array{core::Value(0.0), core::Value(y), core::Value(375.0),
                                                       core::Value(667.0 - y)})},
                              {ui::Keyboard::kAnimationDurationUserInfoKey, core::Value(0.25)}};
        core::NotificationCenter::defaultCenter().post(ui::Keyboard::kWillChangeFrameNotification, nullptr, info);
    };
    post(451);
    run(0.3);
    EXPECT_DOUBLE_EQ(hud->progressView()->frame().origin.y, (451 - frame.size.height) / 2);
    post(667);
    run(0.3);
    EXPECT_DOUBLE_EQ(hud->progressView()->frame().origin.y, (667 - frame.size.height) / 2);
}

TEST_F(ProgressHUD, StyleChoosesTextColourAndIcons) {
    struct Case {
        long style;
        HUDMessageType type;
        const char* icon;
        gfx::Color text;
    } cases[] = {{0, HUDMessageType::info, "hud_info_dark", gfx::Color::black()},
                 {2, HUDMessageType::info, "hud_info", gfx::Color::whiteColor()},
                 {2, HUDMessageType::success, "hud_success", gfx::Color::whiteColor()},
                 {1, HUDMessageType::error, "hud_failure_dark", gfx::Color::black()}};
    for (const auto& tc : cases) {
        auto expected = gfx::Image::named(tc.icon, "HUDProgressIndicator");
        ASSERT_TRUE(expected) << tc.icon;
        EXPECT_EQ(HUDProgressIndicatorView::getImageWithStyle(tc.style, tc.type), expected) << tc.icon;
        EXPECT_EQ(HUDProgressIndicatorView::getTextColorWithStyle(tc.style), tc.text) << tc.style;
    }
    EXPECT_FALSE(HUDProgressIndicatorView::getImageWithStyle(2, HUDMessageType::progress));

    // A custom image replaces the icon, except for progress, which hides the icon anyway.
    auto custom = gfx::Image::named("hud_info");
    HUDIndicator::showErrorWithMessage("出错了", custom);
    run(0.3);
    EXPECT_EQ(hud->progressView()->iconImageView()->image(), custom);
}

TEST_F(ProgressHUD, AShowDuringTheSpringIsLaidOutLaterAndDismissWins) {
    HUDIndicator::showInfoWithMessage("第一条");
    run(0.1);
    HUDIndicator::showSuccessWithMessage("第二条");
    run(0.35);
    EXPECT_NE(hud->progressView()->messageLabel()->text(), "第二条");
    run(0.1);
    EXPECT_EQ(hud->progressView()->messageLabel()->text(), "第二条");

    // A show after the spring is laid out at once.
    run(0.5);
    HUDIndicator::showInfoWithMessage("第三条");
    run(0.02);
    EXPECT_EQ(hud->progressView()->messageLabel()->text(), "第三条");

    // dismiss during the spring removes the panel at once.
    hud->dismissProgress();
    EXPECT_FALSE(onScreen());
    run(5);
    EXPECT_FALSE(onScreen());
}

// Each message's time counts from the end of its own spring, also when it arrives while an
// earlier one still springs in (it is laid out 0.4 s later and springs then).
TEST_F(ProgressHUD, EachMessageStaysItsTimeFromItsOwnAppearance) {
    struct Case {
        const char* name;
        double secondAfter;  // seconds after the first show
        std::string text;
        double gone;  // when the second goes, from the first show
    } cases[] = {{"during the spring", 0.1, "第二条", 0.5 + 0.2 + 2.0},
                 {"right after the spring", 0.3, "第二条", 0.3 + 0.2 + 2.0},
                 {"long, during the spring", 0.1, std::string(100, 'a'), 0.5 + 0.2 + 4.5}};
    for (const auto& tc : cases) {
        hud->dismissProgress();
        run(0.5);
        HUDIndicator::showInfoWithMessage("第一条");
        run(tc.secondAfter);
        HUDIndicator::showErrorWithMessage(tc.text);
        run(tc.gone - tc.secondAfter - 0.06);
        EXPECT_TRUE(onScreen()) << tc.name;
        EXPECT_EQ(hud->progressView()->messageLabel()->text(), tc.text) << tc.name;
        run(0.12);
        EXPECT_FALSE(onScreen()) << tc.name;
    }
}

TEST_F(ProgressHUD, AnInformationMessageWithoutTextIsNotShown) {
    for (const auto& message : {std::optional<std::string>(), std::optional<std::string>("")}) {
        HUDIndicator::showInfoWithMessage(message);
        run(0.3);
        EXPECT_FALSE(onScreen());
    }
    // Nor does it replace one that is shown.
    HUDIndicator::showInfoWithMessage("签名错误");
    run(0.3);
    HUDIndicator::showInfoWithMessage("");
    run(0.3);
    EXPECT_TRUE(onScreen());
    EXPECT_EQ(hud->progressView()->messageLabel()->text(), "签名错误");
}

TEST_F(ProgressHUD, Snapshot) {
    window->setBackgroundColor(c::colorFAD54D());
    HUDIndicator::showInfoWithMessage("网络不可用，请检查网络");
    run(0.3);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/hud_info.png"));
}

} // namespace
} // namespace kit
