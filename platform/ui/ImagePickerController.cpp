#include "platform/ui/ImagePickerController.h"

#include "platform/core/Log.h"
#include "platform/dispatch/Queue.h"

#include <map>

namespace ui {
namespace {

std::map<ImagePickerControllerSourceType, std::shared_ptr<ImagePickerSource>>& sources() {
    static std::map<ImagePickerControllerSourceType, std::shared_ptr<ImagePickerSource>> all;
    return all;
}

} // namespace

ImagePickerController::~ImagePickerController() {
    if (running_) running_->end(*this);
}

bool ImagePickerController::isSourceTypeAvailable(SourceType type) {
    auto s = source(type);
    return s && s->isAvailable();
}

void ImagePickerController::setSource(SourceType type, std::shared_ptr<ImagePickerSource> source) {
    if (source) sources()[type] = std::move(source);
    else sources().erase(type);
}

std::shared_ptr<ImagePickerSource> ImagePickerController::source(SourceType type) {
    auto it = sources().find(type);
    return it == sources().end() ? nullptr : it->second;
}

void ImagePickerController::setSourceType(SourceType type) {
    sourceType_ = type;
    setModalPresentationStyle(type == SourceType::photoLibrary ? ModalPresentationStyle::overFullScreen
                                                               : ModalPresentationStyle::fullScreen);
}

void ImagePickerController::loadView() {
    ViewController::loadView();
    view()->setBackgroundColor(sourceType_ == SourceType::camera ? std::optional(gfx::Color::black()) : std::nullopt);
}

void ImagePickerController::viewDidAppear(bool animated) {
    ViewController::viewDidAppear(animated);
    if (running_) return;
    running_ = source(sourceType_);
    if (!running_) {
        core::log("image picker: no source for the chosen type; cancelled");
        deliverCancel();
        return;
    }
    running_->begin(std::static_pointer_cast<ImagePickerController>(shared_from_this()));
}

void ImagePickerController::viewDidDisappear(bool animated) {
    ViewController::viewDidDisappear(animated);
    // Dismissed (a picker never pushes or presents anything over itself).
    endSource();
}

void ImagePickerController::endSource() {
    if (auto s = std::move(running_)) s->end(*this);
}

void ImagePickerController::deliverFile(const std::string& path) {
    std::weak_ptr<ImagePickerController> weak = std::static_pointer_cast<ImagePickerController>(shared_from_this());
    dispatch::Queue::global()->async([weak, path] {
        auto decoded = gfx::Image::fromFileReduced(path, kPickedMinimumShorterSide);
        gfx::ImagePtr image;
        if (decoded) image = *decoded;
        else core::log("image picker: " + path + " does not decode: " + decoded.error().description);
        dispatch::Queue::main()->async([weak, image] {
            if (auto self = weak.lock()) self->deliverImage(image);
        });
    });
}

void ImagePickerController::deliverImage(gfx::ImagePtr image) {
    if (auto d = delegate()) d->imagePickerController(*this, ImagePickerInfo{std::move(image)});
}

void ImagePickerController::deliverCancel() {
    if (auto d = delegate()) d->imagePickerControllerDidCancel(*this);
}

} // namespace ui
