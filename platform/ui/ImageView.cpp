#include "platform/ui/ImageView.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/TemplateImage.h"

namespace ui {

void ImageView::init() {
    View::init();
    setUserInteractionEnabled(false);
}

void ImageView::setImage(gfx::ImagePtr image) {
    image_ = std::move(image);
    showCurrentImage();
}

void ImageView::setHighlightedImage(gfx::ImagePtr image) {
    highlightedImage_ = std::move(image);
    showCurrentImage();
}

void ImageView::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    showCurrentImage();
}

void ImageView::showCurrentImage() {
    if (imageTimer_) {
        imageTimer_->cancel();
        imageTimer_.reset();
    }
    if (timer_) return;  // the animation images are playing
    const gfx::ImagePtr& shown = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!shown || shown->images().empty()) {
        layer()->setContents(drawn(shown));
        return;
    }
    const size_t count = shown->images().size();
    double duration = shown->duration() > 0 ? shown->duration() : static_cast<double>(count) / 30.0;
    double frame = duration / static_cast<double>(count);
    double start = dispatch::Clock::current().monotonicTime();
    std::weak_ptr<ImageView> weak = std::static_pointer_cast<ImageView>(shared_from_this());
    gfx::ImagePtr playing = shown;
    auto show = [weak, playing, start, frame] {
        auto self = weak.lock();
        if (!self) return;
        auto n = static_cast<size_t>((dispatch::Clock::current().monotonicTime() - start) / frame);
        self->layer()->setContents(self->drawn(playing->images()[n % playing->images().size()]));
    };
    show();
    imageTimer_ = dispatch::Timer::start(dispatch::Queue::main(), frame, true, show);
}

void ImageView::setAnimationImages(std::vector<gfx::ImagePtr> images) {
    bool running = isAnimating();
    stopAnimating();
    animationImages_ = std::move(images);
    if (running) startAnimating();
}

void ImageView::startAnimating() {
    if (animationImages_.empty() || timer_) return;
    if (imageTimer_) {
        imageTimer_->cancel();
        imageTimer_.reset();
    }
    double duration = animationDuration_ > 0 ? animationDuration_ : animationImages_.size() / 30.0;
    double frame = duration / static_cast<double>(animationImages_.size());
    double start = dispatch::Clock::current().monotonicTime();
    std::weak_ptr<ImageView> weak = std::static_pointer_cast<ImageView>(shared_from_this());
    // The frame shown follows the clock, so a late tick skips frames rather than slowing down.
    auto show = [weak, start, frame] {
        auto self = weak.lock();
        if (!self || self->animationImages_.empty()) return;
        auto n = static_cast<size_t>((dispatch::Clock::current().monotonicTime() - start) / frame);
        self->layer()->setContents(self->drawn(self->animationImages_[n % self->animationImages_.size()]));
    };
    show();
    timer_ = dispatch::Timer::start(dispatch::Queue::main(), frame, true, show);
}

void ImageView::stopAnimating() {
    if (!timer_) return;
    timer_->cancel();
    timer_.reset();
    showCurrentImage();
}

gfx::ImagePtr ImageView::drawn(const gfx::ImagePtr& image) {
    if (!image || image->renderingMode() != gfx::ImageRenderingMode::alwaysTemplate) return image;
    const gfx::Color tint = tintColor();
    if (image != tintedSource_ || tint != tintedWith_) {
        tintedSource_ = image;
        tintedWith_ = tint;
        tinted_ = TemplateImage::tinted(image, tint);
    }
    return tinted_;
}

void ImageView::tintColorDidChange() {
    const gfx::ImagePtr& shown = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!timer_ && shown && shown->renderingMode() == gfx::ImageRenderingMode::alwaysTemplate) showCurrentImage();
}

gfx::Size ImageView::sizeThatFits(gfx::Size) const { return image_ ? image_->size() : gfx::Size{}; }

} // namespace ui
