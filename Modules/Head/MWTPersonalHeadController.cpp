#include "Modules/Head/MWTPersonalHeadController.h"

#include "Modules/Common/ImageViewGlobals.h"
#include "Modules/Common/QULeftController.h"
#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/ui/NavigationController.h"
#include "ui/HUDToastIndicator.h"
#include "ui/NXAlertController.h"
#include "ui/Utility.h"
#include "ui/c.h"
#include "ui/n.h"

#include <filesystem>

namespace kit {
namespace {
constexpr const char* kMoreImageName = "tpersonal_right_btn_more.png";
}

MWTPersonalHeadController::MWTPersonalHeadController(std::int64_t type, gfx::ImagePtr image)
    : _type(type), initialImage_(std::move(image)) {
    const double s = c::shortSide();
    const double u = s / 1080;
    edit_ = core::make<ImageEditView>(gfx::Rect{40 * u, 125 * u, s - 80 * u, s - 80 * u});
}

MWTPersonalHeadController::~MWTPersonalHeadController() = default;

void MWTPersonalHeadController::init() {
    // The base loads the view here, so viewDidLoad has run when it returns.
    MWRootController::init();
    edit_->setEditImage(initialImage_);
    scrollView()->addSubview(edit_);
    // View mode shows the picture only: it cannot be moved or zoomed.
    if (_type == 0) edit_->scrollView()->setUserInteractionEnabled(false);

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

    std::weak_ptr<MWTPersonalHeadController> weak = std::static_pointer_cast<MWTPersonalHeadController>(shared_from_this());
    const auto& button = rightBarButton();
    if (_type != 0) {
        button->setHidden(false);
        button->layer()->setCornerRadius(7);
        button->setBackgroundColor(c::color00B7EE());
        button->titleLabel()->setFont(gfx::Font::systemFont(12));
        button->setTitle(std::string("确定"));
        button->setTitleColor(c::color333333());
        gfx::Rect f = button->frame();
        f.origin.y += 5;
        f.size.width = 60;
        f.origin.x = c::shortSide() - 80;
        f.size.height -= 10;
        button->setFrame(f);
        button->setAction([weak](ui::Button&) {
            if (auto self = weak.lock()) self->save();
        });
    } else {
        button->setImage(Utility::imageForToRectCenter({120, 120}, gfx::Image::named(kMoreImageName)));
        button->setHidden(false);
        button->setAction([weak](ui::Button&) {
            if (auto self = weak.lock()) self->showPhotoSourceSheet();
        });
    }
}

void MWTPersonalHeadController::reloadView() {
    std::weak_ptr<ImageEditView> weakEdit = edit_;
    ri_load(*edit_->imageView(), net::URL::fileURL(QULeftController::headImagePath()), 0,
            [weakEdit](const gfx::ImagePtr& image) {
                if (auto e = weakEdit.lock(); e && image) e->setEditImage(image);
            });
}

void MWTPersonalHeadController::showPhotoSourceSheet() {
    std::weak_ptr<MWTPersonalHeadController> weak = std::static_pointer_cast<MWTPersonalHeadController>(shared_from_this());
    NXAlertController::show(
        {"拍照", "从手机相册选择", "取消"},
        [weak](long index) {
            auto self = weak.lock();
            if (!self) return;
            if (index == 0) self->showCameraPermissionAlert();
            else if (index == 1) self->showPhotoLibraryPermissionAlert();
        },
        "请点击以下按钮", std::static_pointer_cast<ui::ViewController>(shared_from_this()), "操作", 0);
}

void MWTPersonalHeadController::showCameraPermissionAlert() {
    openPicker(ui::ImagePickerControllerSourceType::camera, "请开启相机权限");
}

void MWTPersonalHeadController::showPhotoLibraryPermissionAlert() {
    openPicker(ui::ImagePickerControllerSourceType::photoLibrary, "请开启相册权限");
}

void MWTPersonalHeadController::openPicker(ui::ImagePickerControllerSourceType type, const char* unavailableMessage) {
    if (!ui::ImagePickerController::isSourceTypeAvailable(type)) {
        HUDToastIndicator::showToastMessage(std::string(unavailableMessage));
        return;
    }
    auto picker = core::make<ui::ImagePickerController>();
    picker->setDelegate(std::static_pointer_cast<MWTPersonalHeadController>(shared_from_this()));
    picker->setSourceType(type);
    picker->setAllowsEditing(false);
    presentViewController(picker, true);
}

void MWTPersonalHeadController::imagePickerController(ui::ImagePickerController& picker, const ui::ImagePickerInfo& info) {
    if (!info.originalImage) {
        HUDToastIndicator::showToastMessage(std::string("打开失败"));
        // The desktop's chooser has closed by now and cannot stay open: back to this page.
        if (picker.sourceType() == ui::ImagePickerControllerSourceType::photoLibrary) picker.dismissViewControllerAnimated(true);
        return;
    }
    std::weak_ptr<MWTPersonalHeadController> weak = std::static_pointer_cast<MWTPersonalHeadController>(shared_from_this());
    gfx::ImagePtr photo = info.originalImage;
    picker.dismissViewControllerAnimated(true, [weak, photo] {
        auto self = weak.lock();
        if (!self) return;
        auto crop = core::make<MWTPersonalHeadController>(1, gfx::Image::named(kHeadDefaultImageName));
        crop->edit()->setEditImage(photo);
        if (auto nav = self->navigationController()) nav->pushViewController(crop, true);
    });
}

void MWTPersonalHeadController::imagePickerControllerDidCancel(ui::ImagePickerController& picker) {
    picker.dismissViewControllerAnimated(true);
}

std::optional<std::string> MWTPersonalHeadController::encodeHead(const gfx::Image& image) {
    auto png = image.pngData();
    if (!png || png->empty()) return std::nullopt;
    return std::move(*png);
}

void MWTPersonalHeadController::save() {
    auto image = edit_->croppedImage();
    const std::string path = QULeftController::headImagePath();
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (auto made = core::files::createDirectories(folder); !made.ok()) {
        core::log("head picture: not saved: the folder " + folder + " cannot be made: " + made.error().description);
        return;
    }
    auto png = image ? encodeHead(*image) : std::nullopt;
    if (!png) {
        core::log("head picture: not saved: the crop does not encode as PNG");
        return;
    }
    if (auto written = core::files::writeAtomically(path, *png); !written.ok()) {
        core::log("head picture: not saved: " + path + " cannot be written: " + written.error().description);
        return;
    }
    core::NotificationCenter::defaultCenter().post(std::string(n::reloadHeadNotification));
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

} // namespace kit
