#pragma once
// One picture inside a circular viewport with a pink ring: the user pans it and zooms it (1x to
// 5x), and croppedImage() renders the square around the circle as a new 600 x 600 pixel image.
//
// The picture covers the viewport: its shorter side fills it; a wide picture starts at its right
// end, a tall one centred vertically. The crop draws the whole viewport square (the corners
// outside the circle too). A picture with no width or height, or a viewport with none (a view
// under 6 points), counts as no picture: nothing shows and the crop is blank.
//
// Created with core::make<ImageEditView>(frame); the view is its scroll view's delegate. Callers
// may reach imageView() and scrollView() (to switch the latter's interaction off). Main thread
// only.
#include "platform/gfx/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"

#include <memory>

namespace kit {

class ImageEditView : public ui::View, public ui::ScrollViewDelegate {
    QUILLORA_CLASS(ImageEditView)

    using View::View;
    void init() override;

    static constexpr int kCropSide = 600;
    static constexpr double kMaximumZoom = 5;

    // Shows a new picture fitted to the viewport.
    virtual void setEditImage(gfx::ImagePtr image);
    // Sets the scrollable size and the starting position.
    virtual void placeContent();
    // The viewport square as a 600 x 600 image at scale 1 (transparent where nothing is drawn).
    virtual gfx::ImagePtr croppedImage();

    const std::shared_ptr<ui::ImageView>& imageView() const { return imageView_; }
    const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
    const std::shared_ptr<ui::View>& ring() const { return ring_; }

    std::shared_ptr<ui::View> viewForZoomingInScrollView(ui::ScrollView& scrollView) override;
    // Every zoom step sets the content inset back to zero.
    void scrollViewDidZoom(ui::ScrollView& scrollView) override;

private:
    std::shared_ptr<ui::ImageView> imageView_ = core::make<ui::ImageView>();
    std::shared_ptr<ui::ScrollView> scrollView_ = core::make<ui::ScrollView>();
    std::shared_ptr<ui::View> ring_;
};

} // namespace kit
