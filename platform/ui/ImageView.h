#pragma once
// A view that shows an image, placed by its content mode (scale to fill by default). It takes no
// touches unless told to.

#include "platform/gfx/Image.h"
#include "platform/ui/View.h"

namespace ui {

class ImageView : public View {
    QUILLORA_CLASS(ImageView)

    using View::View;
    void init() override;

    const gfx::ImagePtr& image() const { return image_; }
    void setImage(gfx::ImagePtr image);
    // The image's size in points.
    gfx::Size sizeThatFits(gfx::Size size) const override;

private:
    gfx::ImagePtr image_;
};

} // namespace ui
