#include "Commons/ImageEdit/ImageEditView.h"

#include "platform/gfx/BitmapContext.h"
#include "ui/c.h"

namespace kit {
namespace {
// The viewport lies 3 points inside the view on every side; a view of 6 points or less has none
// (its scroll view's frame would be empty or turned inside out).
bool hasViewport(const gfx::Size& view) { return view.width > 6 && view.height > 6; }
} // namespace

void ImageEditView::init() {
    View::init();
    setBackgroundColor(gfx::Color::clear());
    const gfx::Rect b = bounds();
    ring_ = core::make<ui::View>(b);
    ring_->setBackgroundColor(gfx::Color::clear());
    ring_->setUserInteractionEnabled(false);
    ring_->layer()->setBorderColor(c::colorFF5B78());
    ring_->layer()->setBorderWidth(3);
    ring_->layer()->setCornerRadius(b.width() * 0.5);

    scrollView_->setFrame({3, 3, b.width() - 6, b.height() - 6});
    scrollView_->setContentInsetAdjustmentBehavior(ui::ContentInsetAdjustmentBehavior::never);
    scrollView_->addSubview(imageView_);
    scrollView_->setShowsVerticalScrollIndicator(false);
    scrollView_->setShowsHorizontalScrollIndicator(false);
    scrollView_->setDelegate(std::static_pointer_cast<ImageEditView>(shared_from_this()));
    scrollView_->layer()->setCornerRadius(scrollView_->frame().width() * 0.5);
    addSubview(scrollView_);
    addSubview(ring_);
}

void ImageEditView::setEditImage(gfx::ImagePtr image) {
    const gfx::Size v = scrollView_->frame().size;
    // Back to scale 1 first: the frame below is the picture's size unzoomed.
    if (scrollView_->zoomScale() != 1) {
        scrollView_->setMinimumZoomScale(1);
        scrollView_->setZoomScale(1);
    }
    const gfx::Size p = image ? image->size() : gfx::Size{};
    if (p.width <= 0 || p.height <= 0 || !hasViewport(bounds().size)) {
        // Nothing to fit (or nothing to fit it into): no picture.
        imageView_->setImage(nullptr);
        imageView_->setFrame({0, 0, 0, 0});
    } else {
        imageView_->setImage(image);
        if (p.height < p.width) imageView_->setFrame({0, 0, v.height * p.width / p.height, v.height});
        else imageView_->setFrame({0, 0, v.width, v.width * p.height / p.width});
    }
    scrollView_->setMaximumZoomScale(kMaximumZoom);
    scrollView_->setMinimumZoomScale(1);
    placeContent();
}

void ImageEditView::placeContent() {
    const gfx::Size d = imageView_->frame().size;
    const gfx::Size v = scrollView_->frame().size;
    scrollView_->setContentSize(d);
    if (!imageView_->image()) return scrollView_->setContentOffset({0, 0});
    scrollView_->setContentOffset({d.width - v.width, (d.height - v.height) * 0.5});
}

gfx::ImagePtr ImageEditView::croppedImage() {
    gfx::BitmapContext context({kCropSide, kCropSide}, 1);
    const gfx::Size v = scrollView_->frame().size;
    if (const auto& image = imageView_->image(); image && hasViewport(bounds().size)) {
        const gfx::Point o = scrollView_->contentOffset();
        const gfx::Size d = imageView_->frame().size;
        context.drawImage(*image, {-o.x / v.width * kCropSide, -o.y / v.height * kCropSide, d.width * kCropSide / v.width,
                                   d.height * kCropSide / v.height});
    }
    return context.makeImage();
}

std::shared_ptr<ui::View> ImageEditView::viewForZoomingInScrollView(ui::ScrollView&) { return imageView_; }

void ImageEditView::scrollViewDidZoom(ui::ScrollView& scrollView) { scrollView.setContentInset({}); }

} // namespace kit
