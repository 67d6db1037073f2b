#include "ui/SegmentItemView.h"

#include "platform/ui/Screen.h"
#include "ui/SegmentView.h"

namespace kit {

void SegmentItemView::init() {
    ui::Button::init();
    if (!iconSize_) return;
    const gfx::Rect frame = this->frame();
    iconImageView_ = core::make<ui::ImageView>(gfx::Rect{0, 0, iconSize_->width, iconSize_->height});
    addSubview(iconImageView_);
    iconImageView_->setCenter({frame.width() / 2 + iconOffset_.x, frame.height() / 2 + iconOffset_.y});

    // The caption fills the width below the icon and ends 2 % of the screen's width above the
    // item's bottom.
    const double iconBottom = iconImageView_->frame().maxY();
    const double screenWidth = ui::Screen::main().bounds().width();
    detailLabel_ = core::make<ui::Label>(
        gfx::Rect{0, iconBottom, frame.width(), frame.height() - screenWidth * 0.4 / 20 - iconBottom});
    detailLabel_->setTextAlignment(ui::TextAlignment::center);
    addSubview(detailLabel_);
}

void SegmentItemView::setIconImage(gfx::ImagePtr image) {
    if (iconImageView_) iconImageView_->setImage(std::move(image));
}

void SegmentItemView::setHighlightedIconImage(gfx::ImagePtr image) {
    if (iconImageView_) iconImageView_->setHighlightedImage(std::move(image));
}

gfx::ImagePtr SegmentItemView::highlightedIconImage() const {
    return iconImageView_ ? iconImageView_->highlightedImage() : nullptr;
}

void SegmentItemView::setItemSelected(bool selected) {
    itemSelected_ = selected;
    // The icon view shows its highlighted image while highlighted, and its image otherwise.
    if (iconImageView_) iconImageView_->setHighlighted(selected);
    if (auto owner = seg(); owner && owner->itemChangeState) owner->itemChangeState(index_, *this, selected);
}

} // namespace kit
