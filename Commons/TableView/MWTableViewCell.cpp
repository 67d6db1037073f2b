#include "Commons/TableView/MWTableViewCell.h"

#include "ui/c.h"

namespace kit {

MWTableViewCell::MWTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier)) {
    const double u = c::shortSide() / 1080;
    rightArrow_ = core::make<ui::ImageView>(gfx::Rect{c::shortSide() - 56 * u, 0, 16 * u, 30 * u});
}

void MWTableViewCell::init() {
    ui::TableViewCell::init();
    setupCell();
}

void MWTableViewCell::setupCell() {
    rightArrow_->setHidden(true);
    rightArrow_->setImage(gfx::Image::named("tcommon_icon_right_arrow.png"));
    contentView()->addSubview(rightArrow_);
    setupSubviews();
}

} // namespace kit
