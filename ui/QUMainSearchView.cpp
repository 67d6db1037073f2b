#include "ui/QUMainSearchView.h"

#include "ui/c.h"

namespace kit {

void QUMainSearchView::init() {
    NXButton::init();
    const double u = c::shortSide() / 1080;
    iconImageView_ = core::make<ui::ImageView>(gfx::Rect{40 * u, 32 * u, 56 * u, 62 * u});
    iconImageView_->setImage(gfx::Image::named("common_btn_search.png"));
    addSubview(iconImageView_);
    setBackgroundColor(c::colorFAD54D());
    inputTextField_ = core::make<ui::TextField>(gfx::Rect{150 * u, 32 * u, 1000 * u, 62 * u});
    inputTextField_->setFont(c::font36());
    inputTextField_->setTextColor(c::color666666());
    addSubview(inputTextField_);
    inputTextField_->setAttributedPlaceholder("搜索聊天话术", c::font36(), c::color666666());
    inputTextField_->setUserInteractionEnabled(false);
}

} // namespace kit
