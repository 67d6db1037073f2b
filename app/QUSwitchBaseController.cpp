#include "app/QUSwitchBaseController.h"

#include "Modules/Head/MWTPersonalHeadController.h"
#include "app/MWNavController.h"
#include "network/Api.h"
#include "network/NXServer.h"
#include "platform/core/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "side_menu/SideMenuPresenting.h"
#include "ui/NXAlertController.h"
#include "ui/Utility.h"

namespace app {

namespace {
constexpr const char* kSideTapNotification = "SMSideTapNotification";
}

std::weak_ptr<QUSwitchBaseController> QUSwitchBaseController::weakSelf() {
    return std::static_pointer_cast<QUSwitchBaseController>(shared_from_this());
}

void QUSwitchBaseController::init() {
    // The three pages exist before the base loads anything, so viewDidLoad finds them.
    mainController_ = core::make<kit::QUMainController>();
    aboutController_ = core::make<kit::QUAboutController>();
    leftController_ = core::make<kit::QULeftController>();
    ui::TabBarController::init();
}

void QUSwitchBaseController::viewDidLoad() {
    ui::TabBarController::viewDidLoad();
    tabBar()->setHidden(true);
    setViewControllers({core::make<MWNavController>(mainController_), core::make<MWNavController>(aboutController_)});

    auto weak = weakSelf();
    auto openMenu = [weak](ui::Button&) {
        if (auto self = weak.lock()) self->presentSideMenu();
    };
    mainController_->backBtn()->setAction(openMenu);
    aboutController_->backBtn()->setAction(openMenu);
    leftController_->imageButton()->setAction([weak](ui::Button&) {
        if (auto self = weak.lock()) self->headTapClosure();
    });
    leftController_->controllerSeg()->didClickItem = [weak](std::int64_t index, kit::SegmentItemView&) {
        if (auto self = weak.lock()) self->menuRowSelected(static_cast<long>(index));
    };
}

void QUSwitchBaseController::viewWillAppear(bool animated) {
    ui::TabBarController::viewWillAppear(animated);
    tabBar()->setHidden(true);
}

void QUSwitchBaseController::demoWithObj(const std::shared_ptr<core::Object>&) {
    core::NotificationCenter::defaultCenter().post(kSideTapNotification);
}

void QUSwitchBaseController::presentSideMenu() {
    side_menu::sm_presentSideMenu(
        [](side_menu::SMSideConfig& config) {
            config.setAnimationType(side_menu::SMSideAnimationType::translationPush);
            config.setTimeInterval(0.2);
            config.setDirection(side_menu::SMSideDirection::left);
            config.setMaskAlpha(0.5);
            config.setSideRelative(2.0 / 3.0);
        },
        leftController_, std::static_pointer_cast<ui::ViewController>(shared_from_this()));
}

void QUSwitchBaseController::headTapClosure() {
    core::NotificationCenter::defaultCenter().post(kSideTapNotification);
    gfx::ImagePtr image = leftController_->headImageView()->image();
    if (!image) image = gfx::Image::named("common_img_head_default.png");
    auto page = core::make<kit::MWTPersonalHeadController>(0, image);
    auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(selectedViewController());
    if (!navigation) return;
    navigation->pushViewController(page, true);
    auto weak = weakSelf();
    std::weak_ptr<kit::MWTPersonalHeadController> weakPage = page;
    page->backBtn()->setAction([weak, weakPage](ui::Button&) {
        auto self = weak.lock();
        if (!self) return;
        self->presentSideMenu();
        if (auto shown = weakPage.lock()) {
            if (auto stack = shown->navigationController()) stack->popViewControllerAnimated(true);
        }
    });
}

void QUSwitchBaseController::menuRowSelected(long index) {
    auto& center = core::NotificationCenter::defaultCenter();
    switch (index) {
    case 0:
        setSelectedIndex(0);
        selectedRow_ = 0;
        center.post(kSideTapNotification);
        break;
    case 1:
        kit::NXAlertController::show(
            {"取消", "确定"},
            [](long chosen) {
                if (chosen != 1) return;
                ui::Application::shared().openURL(kit::Utility::getAppStoreURL(kAppStoreId));
            },
            "是否前往好评?", leftController_, "提示", 1);
        leftController_->controllerSeg()->setIndex(selectedRow_);
        break;
    case 2:
        setSelectedIndex(1);
        if (const auto& list = network::Api::currentMainList()) aboutController_->load(list->about_url);
        selectedRow_ = 2;
        center.post(kSideTapNotification);
        break;
    default:
        break;
    }
}

} // namespace app
