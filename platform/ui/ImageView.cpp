#include "platform/ui/ImageView.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"

namespace ui {

void ImageView::init() {
    View::init();
    setUserInteractionEnabled(false);
}

void ImageView::setImage(gfx::ImagePtr image) {
    image_ = std::move(image);
    if (!timer_) layer()->setContents(image_);
}

void ImageView::setAnimationImages(std::vector<gfx::ImagePtr> images) {
    bool running = isAnimating();
    stopAnimating();
    animationImages_ = std::move(images);
    if (running) startAnimating();
}

void ImageView::startAnimating() {
    if (animationImages_.empty() || timer_) return;
    double duration = animationDuration_ > 0 ? animationDuration_ : animationImages_.size() / 30.0;
    double frame = duration / static_cast<double>(animationImages_.size());
    double start = dispatch::Clock::current().monotonicTime();
    std::weak_ptr<ImageView> weak = std::static_pointer_cast<ImageView>(shared_from_this());
    // The frame shown follows the clock, so a late tick skips frames rather than slowing down.
    auto show = [weak, start, frame] {
        auto self = weak.lock();
        if (!self || self->animationImages_.empty()) return;
        auto n = static_cast<size_t>((dispatch::Clock::current().monotonicTime() - start) / frame);
        self->layer()->setContents(self->animationImages_[n % self->animationImages_.size()]);
    };
    show();
    timer_ = dispatch::Timer::start(dispatch::Queue::main(), frame, true, show);
}

void ImageView::stopAnimating() {
    if (!timer_) return;
    timer_->cancel();
    timer_.reset();
    layer()->setContents(image_);
}

gfx::Size ImageView::sizeThatFits(gfx::Size) const { return image_ ? image_->size() : gfx::Size{}; }

} // namespace ui
