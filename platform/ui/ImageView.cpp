#include "platform/ui/ImageView.h"

namespace ui {

void ImageView::init() {
    View::init();
    setUserInteractionEnabled(false);
}

void ImageView::setImage(gfx::ImagePtr image) {
    image_ = std::move(image);
    layer()->setContents(image_);
}

gfx::Size ImageView::sizeThatFits(gfx::Size) const { return image_ ? image_->size() : gfx::Size{}; }

} // namespace ui
