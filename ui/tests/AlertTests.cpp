#include "platform/ui/AlertController.h"
#include "platform/ui/tests/UiTest.h"
#include "ui/NXAlertController.h"

namespace kit {
namespace {

class Alerts : public ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        root = core::make<ui::ViewController>();
        window->setRootViewController(root);
    }
    void TearDown() override {
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        UiTest::TearDown();
    }
    std::shared_ptr<ui::AlertController> shown() {
        host->advance(0.5);
        return std::dynamic_pointer_cast<ui::AlertController>(root->presentedViewController());
    }
    // Taps the button with this title.
    void choose(const std::shared_ptr<ui::AlertController>& alert, const std::string& title) {
        for (const auto& button : alert->buttons()) {
            if (button->currentTitle() == title) {
                host->tap(button->superview()->convertPoint(button->center(), nullptr));
                return;
            }
        }
        ADD_FAILURE() << "no button " << title;
    }
    std::shared_ptr<ui::ViewController> root;
    std::vector<long> chosen;
    NXAlertController::Handler record = [this](long index) { chosen.push_back(index); };
};

TEST_F(Alerts, TheChosenIndexIsThePlaceInTheListWhereverTheButtonIsDrawn) {
    struct Case {
        long style;
        std::vector<std::string> titles;
        std::string tap;
        long index;
    } cases[] = {{1, {"取消", "确定"}, "取消", 0},
                 {1, {"取消", "确定"}, "确定", 1},
                 {0, {"取消", "拍照", "从相册选择"}, "从相册选择", 2},
                 {0, {"拍照", "从相册选择", "取消"}, "取消", 2}};
    for (const auto& tc : cases) {
        chosen.clear();
        NXAlertController::show(tc.titles, record, "确定要删除历史搜索吗？", root, "提示", tc.style);
        auto alert = shown();
        ASSERT_TRUE(alert);
        EXPECT_EQ(static_cast<long>(alert->preferredStyle()), tc.style);
        for (const auto& action : alert->actions()) {
            EXPECT_EQ(action->style() == ui::AlertActionStyle::cancel, action->title() == "取消");
        }
        choose(alert, tc.tap);
        host->advance(0.5);
        EXPECT_EQ(chosen, std::vector<long>{tc.index}) << tc.tap;
        EXPECT_FALSE(root->presentedViewController());
    }
}

TEST_F(Alerts, APadShowsASheetAsAnAlertAndTheKeyWindowRootPresentsByDefault) {
    auto pad = ui::DeviceProfile::named("pad");
    ASSERT_TRUE(pad);
    ui::Screen::main().setProfile(*pad);
    NXAlertController::show({"拍照", "取消"}, record, "请点击以下按钮", nullptr, "操作", 0);
    auto alert = shown();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->preferredStyle(), ui::AlertControllerStyle::alert);
    choose(alert, "拍照");
    host->advance(0.5);
    EXPECT_EQ(chosen, std::vector<long>{0});
}

TEST_F(Alerts, NothingIsShownWithoutAPresenterOrRoot) {
    window->setRootViewController(nullptr);
    NXAlertController::show({"确定"}, record, "消息", nullptr, "提示", 1);
    host->advance(0.5);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_TRUE(chosen.empty());
}

} // namespace
} // namespace kit
