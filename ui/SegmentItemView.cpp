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
    iconImage_ = std::move(image);
    showIcon();
}

void SegmentItemView::setHighlightedIconImage(gfx::ImagePtr image) {
    highlightedIconImage_ = std::move(image);
    showIcon();
}

void SegmentItemView::showIcon() {
    if (!iconImageView_) return;
    iconImageView_->setImage(itemSelected_ && highlightedIconImage_ ? highlightedIconImage_ : iconImage_);
}

void SegmentItemView::setItemSelected(bool selected) {
    itemSelected_ = selected;
    showIcon();
    if (auto owner = seg(); owner && owner->itemChangeState) owner->itemChangeState(index_, *this, selected);
}

} // namespace kit
