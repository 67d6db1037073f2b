#pragma once
// A view that shows an image, placed by its content mode (scale to fill by default). It takes no
// touches unless told to. While animating it shows its animation images in turn, one pass every
// animation duration (the count times 1/30 s when none is set), repeating until stopped.

#include "platform/dispatch/Timer.h"
#include "platform/gfx/Image.h"
#include "platform/ui/View.h"

#include <vector>

namespace ui {

class ImageView : public View {
    QUILLORA_CLASS(ImageView)

    using View::View;
    void init() override;

    const gfx::ImagePtr& image() const { return image_; }
    void setImage(gfx::ImagePtr image);
    // The image's size in points.
    gfx::Size sizeThatFits(gfx::Size size) const override;

    const std::vector<gfx::ImagePtr>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<gfx::ImagePtr> images);
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds) { animationDuration_ = seconds; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return timer_ != nullptr; }

private:
    gfx::ImagePtr image_;
    std::vector<gfx::ImagePtr> animationImages_;
    double animationDuration_ = 0;
    std::shared_ptr<dispatch::Timer> timer_;
};

} // namespace ui
