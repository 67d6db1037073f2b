#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/VisualEffectView.h"
#include "UiTest.h"

namespace ui {
namespace {

class AlertTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        root = core::make<ViewController>();
        root->view()->setBackgroundColor(gfx::Color::rgb(245, 245, 245));
        window->setRootViewController(root);
    }
    // Shows an alert or sheet with the titles and returns it; chosen indexes go to `chosen`.
    std::shared_ptr<AlertController> show(AlertControllerStyle style, std::vector<std::string> titles) {
        auto alert = AlertController::make("提示", "确定要删除历史搜索吗？", style);
        for (size_t i = 0; i < titles.size(); ++i)
            alert->addAction(AlertAction::make(titles[i], titles[i] == "取消" ? AlertActionStyle::cancel : AlertActionStyle::default_,
                                               [this, i](const AlertAction&) { chosen.push_back(int(i)); }));
        root->presentViewController(alert, true);
        host->advance(0.5);
        return alert;
    }
    gfx::Point centerOf(const std::shared_ptr<Button>& button) {
        return button->superview()->convertPoint(button->center(), nullptr);
    }
    std::shared_ptr<ViewController> root;
    std::vector<int> chosen;
};

TEST_F(AlertTest, AnAlertWithTwoButtons) {
    auto alert = show(AlertControllerStyle::alert, {"确定", "取消"});
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/alert_two_buttons.png"));
    // The cancel button is shown on the left but reports its place in the list.
    auto buttons = alert->buttons();
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0]->currentTitle(), "取消");
    host->tap(centerOf(buttons[0]));
    EXPECT_EQ(chosen, std::vector<int>{1});
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(alert->view()->superview(), nullptr);
}

TEST_F(AlertTest, ASheetPutsCancelApartAndReportsListIndexes) {
    auto sheet = show(AlertControllerStyle::actionSheet, {"取消", "拍照", "从相册选择"});
    auto buttons = sheet->buttons();
    ASSERT_EQ(buttons.size(), 3u);
    EXPECT_EQ(buttons.back()->currentTitle(), "取消");
    EXPECT_GT(centerOf(buttons.back()).y, centerOf(buttons[1]).y);
    host->tap(centerOf(buttons[1]));
    host->advance(0.01);
    EXPECT_EQ(chosen, std::vector<int>{2});
    // A second tap on the gone sheet does nothing.
    host->tap(centerOf(buttons[1]));
    host->advance(0.01);
    EXPECT_EQ(chosen.size(), 1u);
}

TEST(VisualEffect, EachStyleHasItsTint) {
    auto dark = core::make<VisualEffectView>(BlurEffectStyle::dark, gfx::Rect{0, 0, 100, 100});
    EXPECT_EQ(dark->backgroundColor(), VisualEffectView::tintForStyle(BlurEffectStyle::dark));
    EXPECT_NE(VisualEffectView::tintForStyle(BlurEffectStyle::light), VisualEffectView::tintForStyle(BlurEffectStyle::extraLight));
    dark->setEffect(std::nullopt);
    EXPECT_FALSE(dark->backgroundColor());
    EXPECT_EQ(dark->contentView()->frame(), dark->bounds());
}

TEST(Spinner, ItsStyleSetsItsSizeAndItHidesWhenStopped) {
    auto spinner = core::make<ActivityIndicatorView>(ActivityIndicatorViewStyle::whiteLarge);
    EXPECT_EQ(spinner->bounds().size, (gfx::Size{37, 37}));
    EXPECT_TRUE(spinner->isHidden());
    spinner->startAnimating();
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_TRUE(spinner->layer()->animation("spin"));
    spinner->setActivityIndicatorViewStyle(ActivityIndicatorViewStyle::gray);
    EXPECT_EQ(spinner->bounds().size, (gfx::Size{20, 20}));
    spinner->stopAnimating();
    EXPECT_TRUE(spinner->isHidden());
    EXPECT_FALSE(spinner->layer()->animation("spin"));
}

} // namespace
} // namespace ui
