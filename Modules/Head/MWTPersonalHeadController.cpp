#include "Modules/Head/MWTPersonalHeadController.h"

#include "Modules/Common/ImageViewGlobals.h"
#include "Modules/Common/QULeftController.h"
#include "ui/c.h"
#include "ui/n.h"

namespace kit {

MWTPersonalHeadController::MWTPersonalHeadController(std::int64_t type, gfx::ImagePtr image)
    : _type(type), initialImage_(std::move(image)) {
    const double s = c::shortSide();
    const double u = s / 1080;
    edit_ = core::make<ui::ImageView>(gfx::Rect{40 * u, 125 * u, s - 80 * u, s - 80 * u});
}

void MWTPersonalHeadController::init() {
    // The base loads the view here, so viewDidLoad has run when it returns.
    MWRootController::init();
    // The circle with its pink ring: the picture fills it and is cut to it.
    const double side = edit_->frame().size.width;
    Globals_ScaleFactor(*edit_);
    edit_->layer()->setCornerRadius(side / 2);
    edit_->layer()->setBorderColor(c::colorFF5B78());
    edit_->layer()->setBorderWidth(3);
    edit_->setImage(initialImage_);
    scrollView()->addSubview(edit_);
    // View mode shows the picture only: it cannot be moved.
    if (_type == 0) edit_->setUserInteractionEnabled(false);

    std::weak_ptr<MWTPersonalHeadController> weak = std::static_pointer_cast<MWTPersonalHeadController>(shared_from_this());
    reloadHeadObservation_ = core::NotificationCenter::defaultCenter().addObserver(
        std::string(n::reloadHeadNotification), [weak](const core::Notification& notification) {
            if (auto self = weak.lock()) self->refreshViewNotiWithNoti(notification);
        });
}

void MWTPersonalHeadController::viewDidLoad() {
    MWRootController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::black());
    navBar()->setBackgroundColor(c::colorFFFFFF());
    lvTitleLabel()->setText("个人头像");
    scrollView()->setBackgroundColor(gfx::Color::black());
}

void MWTPersonalHeadController::reloadView() {
    ri_load(*edit_, net::URL::fileURL(QULeftController::headImagePath()), 0);
}

} // namespace kit
