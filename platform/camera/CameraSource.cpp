#include "platform/camera/CameraSource.h"

#include "platform/core/Log.h"
#include "platform/gfx/Font.h"

namespace camera {
namespace {
constexpr double kBarHeight = 80;
}

bool CameraSource::isAvailable() {
    if (isCapturing()) return true;
    auto probe = Capture::start(source_);
    if (!probe) {
        core::log("camera: not available: " + probe.error().description);
        return false;
    }
    (*probe)->stop();
    return true;
}

void CameraSource::begin(const std::shared_ptr<ui::ImagePickerController>& picker) {
    close();
    picker_ = picker;
    auto started = Capture::start(source_);
    if (!started) {
        core::log("camera: does not start: " + started.error().description);
        picker->deliverCancel();
        return;
    }
    capture_ = std::move(*started);
    const gfx::Rect bounds = picker->view()->bounds();
    preview_ = core::make<ui::ImageView>(gfx::Rect{0, 0, bounds.width(), bounds.height() - kBarHeight});
    preview_->setContentMode(ui::ContentMode::scaleAspectFit);
    picker->view()->addSubview(preview_);
    std::weak_ptr<CameraSource> weak = weak_from_this();
    auto makeButton = [&](const char* title, double x, void (CameraSource::*action)()) {
        auto button = core::make<ui::Button>(gfx::Rect{x, bounds.height() - kBarHeight, bounds.width() / 2, kBarHeight});
        button->setTitle(std::string(title));
        button->setTitleColor(gfx::Color::whiteColor());
        button->addTarget(std::weak_ptr<void>(weak), [weak, action](ui::Control&) {
            if (auto self = weak.lock()) ((*self).*action)();
        }, ui::touchUpInside);
        picker->view()->addSubview(button);
        return button;
    };
    cancel_ = makeButton(kCancelTitle, 0, &CameraSource::cancel);
    take_ = makeButton(kTakeTitle, bounds.width() / 2, &CameraSource::take);
    capture_->setOnFrame([weak](const gfx::ImagePtr& frame) {
        if (auto self = weak.lock(); self && self->preview_) self->preview_->setImage(frame);
    });
    capture_->setOnError([weak](const std::string& reason) {
        core::log("camera: stopped: " + reason);
        if (auto self = weak.lock()) self->cancel();
    });
}

void CameraSource::take() {
    auto picker = picker_.lock();
    if (!picker || !capture_) return;
    picker->deliverImage(capture_->currentFrame());
}

void CameraSource::cancel() {
    if (auto picker = picker_.lock()) picker->deliverCancel();
}

void CameraSource::end(ui::ImagePickerController&) { close(); }

void CameraSource::close() {
    if (capture_) capture_->stop();
    capture_.reset();
    for (auto* view : {static_cast<ui::View*>(preview_.get()), static_cast<ui::View*>(take_.get()), static_cast<ui::View*>(cancel_.get())})
        if (view) view->removeFromSuperview();
    preview_.reset();
    take_.reset();
    cancel_.reset();
    picker_.reset();
}

} // namespace camera
