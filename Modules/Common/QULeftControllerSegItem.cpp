#include "Modules/Common/QULeftControllerSegItem.h"

#include "ui/c.h"

namespace kit {

QULeftControllerSegItem::QULeftControllerSegItem(gfx::Rect frame) : ui::View(frame) {
    const double u = c::shortSide() / 1080;
    iconImageView_ = core::make<ui::ImageView>(gfx::Rect{92 * u, 60 * u, 40 * u, 40 * u});
    titleLabel_ = core::make<ui::Label>(gfx::Rect{170 * u, 0, 550 * u, 160 * u});
}

void QULeftControllerSegItem::init() {
    ui::View::init();
    addSubview(iconImageView_);
    setUserInteractionEnabled(false);
    titleLabel_->setFont(c::font40());
    titleLabel_->setTextColor(c::color333333());
    addSubview(titleLabel_);
}

} // namespace kit
