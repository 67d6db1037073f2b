#pragma once
// A view that shows an image, placed by its content mode (scale to fill by default). It takes no
// touches unless told to. While animating it shows its animation images in turn, one pass every
// animation duration (the count times 1/30 s when none is set), repeating until stopped.
// While highlighted it shows its highlighted image when it has one. An animated image (one with
// frames) plays its frames over its duration, over and over, while it is the image shown. A
// template image (rendering mode always-template) shows its shape in the view's tint colour and
// follows the tint's changes.

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
    const gfx::ImagePtr& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(gfx::ImagePtr image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    // The image's size in points.
    gfx::Size sizeThatFits(gfx::Size size) const override;

    const std::vector<gfx::ImagePtr>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<gfx::ImagePtr> images);
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds) { animationDuration_ = seconds; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return timer_ != nullptr; }

    void tintColorDidChange() override;

private:
    // What the layer shows for `image`: the image itself, or a template image in the tint.
    gfx::ImagePtr drawn(const gfx::ImagePtr& image);
    // Shows the highlighted or normal image, playing it when it is animated.
    void showCurrentImage();

    gfx::ImagePtr image_;
    gfx::ImagePtr highlightedImage_;
    bool highlighted_ = false;
    std::shared_ptr<dispatch::Timer> imageTimer_;
    std::vector<gfx::ImagePtr> animationImages_;
    double animationDuration_ = 0;
    std::shared_ptr<dispatch::Timer> timer_;
    // The last template image tinted, its tint and the result, so that a redraw in the same
    // colour does not tint it again.
    gfx::ImagePtr tintedSource_;
    gfx::Color tintedWith_;
    gfx::ImagePtr tinted_;
};

} // namespace ui
