#include "Modules/Common/QULeftController.h"

#include "Modules/Common/ImageViewGlobals.h"
#include "Modules/Common/QULeftControllerSegItem.h"
#include "network/Api.h"
#include "ui/Utility.h"
#include "ui/c.h"
#include "ui/n.h"

#include <array>

namespace kit {

namespace {

struct MenuRow {
    const char* icon;
    const char* title;
};

constexpr std::array<MenuRow, 3> kRows{{
    {"common_home.png", "恋爱话术"},
    {"common_like.png", "应用评价"},
    {"common_aboutus.png", "关于我们"},
}};

} // namespace

QULeftController::QULeftController() {
    const double u = c::shortSide() / 1080;
    // The header's height has a status-bar part in points; the rows start where it ends.
    const double headerHeight = 520 * u + Utility::k_status_bar_height() - 20;
    headBgView_ = core::make<ui::View>(gfx::Rect{0, 0, 720 * u, headerHeight});
    headImageView_ = core::make<ui::ImageView>(gfx::Rect{285 * u, 185 * u, 150 * u, 150 * u});
    controllerSeg_ = core::make<SegmentView>(gfx::Rect{0, headerHeight, 720 * u, 480 * u});
    imageButton_ = core::make<NXButton>(gfx::Rect{200 * u, 335 * u, 320 * u, 120 * u});
}

QULeftController::~QULeftController() = default;

std::string QULeftController::headImagePath() { return network::Api::documentsPath() + "/head/head.png"; }

void QULeftController::loadHeadImage() { ri_load(*headImageView_, net::URL::fileURL(headImagePath()), 0); }

void QULeftController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    const double u = c::shortSide() / 1080;
    auto root = view();

    headBgView_->setBackgroundColor(c::colorFAD54D());
    root->addSubview(headBgView_);

    loadHeadImage();
    headImageView_->layer()->setCornerRadius(75 * u);
    headImageView_->setClipsToBounds(true);
    root->addSubview(headImageView_);

    root->setBackgroundColor(c::colorFFFFFF());
    root->addSubview(controllerSeg_);

    imageButton_->setTitle("编辑头像");
    imageButton_->titleLabel()->setFont(c::font44());
    imageButton_->setTitleColor(c::colorFFFFFF());
    root->addSubview(imageButton_);

    // The blocks need nothing of the controller: the rows are fixed.
    controllerSeg_->setUpCustomView = [](std::int64_t index, SegmentItemView& item) {
        auto row = core::make<QULeftControllerSegItem>(item.bounds());
        row->setTag(kRowTag);
        if (index >= 0 && index < static_cast<std::int64_t>(kRows.size())) {
            const auto& entry = kRows[static_cast<std::size_t>(index)];
            row->iconImageView()->setImage(gfx::Image::named(entry.icon));
            row->titleLabel()->setText(entry.title);
        }
        item.addSubview(row);
    };
    controllerSeg_->itemChangeState = [](std::int64_t, SegmentItemView& item, bool selected) {
        if (auto row = item.viewWithTag(kRowTag)) row->setBackgroundColor(selected ? c::colorE5E5E5() : c::colorFFFFFF());
    };
    controllerSeg_->setItemCount(static_cast<std::int64_t>(kRows.size()), 1);
    controllerSeg_->setIndex(homeRow);

    std::weak_ptr<QULeftController> weak = std::static_pointer_cast<QULeftController>(shared_from_this());
    reloadHeadObservation_ = core::NotificationCenter::defaultCenter().addObserver(
        std::string(n::reloadHeadNotification), [weak](const core::Notification& notification) {
            if (auto self = weak.lock()) self->refreshNotiWithNoti(notification);
        });
}

void QULeftController::refreshNotiWithNoti(const core::Notification&) { loadHeadImage(); }

} // namespace kit
