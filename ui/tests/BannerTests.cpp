#include "platform/core/ProcessInfo.h"
#include "ui/tests/KitTest.h"
#include "ui/HUDIndicator.h"
#include "ui/c.h"

namespace kit {
namespace {

// The shared banner in a phone window (status bar 20) on the virtual clock.
class Banner : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        banner = HUDNotificationIndicator::sharedInstance();
        banner->dismissBanner();
        run(0.5);
    }
    void TearDown() override {
        // The shared banner outlives the test: leave it without handlers that point into it.
        HUDIndicator::showNotificationWithImage(nullptr, std::nullopt, std::nullopt, false, {}, {});
        run(0.3);
        banner->dismissBanner();
        run(0.5);
        KitTest::TearDown();
    }
    bool onScreen() { return banner->notificationView()->window() != nullptr; }
    std::shared_ptr<HUDNotificationIndicator> banner;
    int taps = 0, completions = 0, first = 0, second = 0;
};

TEST_F(Banner, LayoutWithAndWithoutAnIconAndItsHeightLimits) {
    HUDIndicator::showNotificationWithTitle("新消息", "");
    run(0.3);
    auto view = banner->notificationView();
    EXPECT_EQ(view->frame().origin.y, 0);
    EXPECT_EQ(view->titleLabel()->frame().origin.x, 10);
    EXPECT_TRUE(view->iconImageView()->isHidden());
    EXPECT_EQ(view->frame().size.height, 20 + 50);  // never lower than the status bar plus 50

    HUDIndicator::showNotificationWithImage(gfx::Image::named("hud_info"), "新消息", std::string(3000, 'x'));
    run(0.3);
    EXPECT_EQ(view->titleLabel()->frame().origin.x, 50);
    EXPECT_EQ(view->messageLabel()->frame().origin.y, 44);
    EXPECT_EQ(view->iconImageView()->frame(), (gfx::Rect{10, 30, 30, 30}));
    EXPECT_EQ(view->frame().size.height, 200);
}

TEST_F(Banner, DismissesItselfAndRunsTheCompletion) {
    HUDIndicator::showNotificationWithTitle("标题", "消息", {}, [this] { ++completions; });
    run(0.25);
    EXPECT_TRUE(banner->isCurrentlyOnScreen());
    run(1.95);
    EXPECT_TRUE(onScreen());
    run(0.3);
    EXPECT_FALSE(onScreen());
    EXPECT_EQ(completions, 1);

    // Without auto-dismiss the banner stays.
    HUDIndicator::showNotificationWithImage(nullptr, "标题", "消息", false, {}, {});
    run(10);
    EXPECT_TRUE(onScreen());
}

TEST_F(Banner, ATapRunsTheTapHandlerAndNotTheCompletion) {
    HUDIndicator::showNotificationWithTitle("标题", "消息", [this] { ++taps; }, [this] { ++completions; });
    run(0.3);
    host->tap({100, 40});
    EXPECT_EQ(taps, 1);
    run(0.3);
    EXPECT_FALSE(onScreen());
    EXPECT_EQ(completions, 0);
}

TEST_F(Banner, DraggingFollowsTheFingerUpOnlyAndLettingGoDismisses) {
    HUDIndicator::showNotificationWithImage(nullptr, "标题", "消息", false, {}, [this] { ++completions; });
    run(0.3);
    host->touchDown({100, 40});
    host->advance(1.0 / 60);
    host->touchMove({100, 70});
    host->advance(1.0 / 60);
    host->touchMove({100, 80});
    EXPECT_EQ(banner->notificationView()->frame().origin.y, 0);
    host->advance(1.0 / 60);
    host->touchMove({100, 10});
    EXPECT_EQ(banner->notificationView()->frame().origin.y, -30);
    host->touchUp({100, 10});
    run(0.3);
    EXPECT_FALSE(onScreen());
    EXPECT_EQ(completions, 1);
}

TEST_F(Banner, ABannerShownWhileTheLastSlidesOutStaysAndCompletesOnce) {
    HUDIndicator::showNotificationWithTitle("一", "消息", {}, [this] { ++first; });
    run(0.3);
    banner->dismissBanner();
    run(0.05);
    HUDIndicator::showNotificationWithTitle("二", "消息", {}, [this] { ++second; });
    run(0.3);
    // The overtaken slide-out neither removed the new banner nor ran its completion.
    EXPECT_TRUE(onScreen());
    EXPECT_EQ(banner->notificationView()->titleLabel()->text(), "二");
    EXPECT_EQ(second, 0);
    run(2.5);
    EXPECT_FALSE(onScreen());
    EXPECT_EQ(second, 1);
    EXPECT_EQ(first, 0);
}

} // namespace
} // namespace kit
