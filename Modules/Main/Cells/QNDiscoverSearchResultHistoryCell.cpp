#include "Modules/Main/Cells/QNDiscoverSearchResultHistoryCell.h"

#include "ui/c.h"

namespace kit {

QNDiscoverSearchResultHistoryCell::QNDiscoverSearchResultHistoryCell(ui::TableViewCellStyle style,
                                                                     std::string reuseIdentifier)
    : MWTableViewCell(style, std::move(reuseIdentifier)) {
    const double s = c::shortSide();
    const double u = s / 1080;
    iconImageView_ = core::make<ui::ImageView>(gfx::Rect{40 * u, 53 * u, 40 * u, 40 * u});
    iconImageView_->setImage(gfx::Image::named("discover_search_history.png"));
    rightIconImageView_ = core::make<ui::ImageView>(gfx::Rect{s - 100 * u, 43 * u, 60 * u, 60 * u});
    rightIconImageView_->setImage(gfx::Image::named("discover_search_history_right_arrow.png"));
    contentLabel_ = core::make<ui::Label>(gfx::Rect{120 * u, 0, s - 240 * u, 146 * u});
    contentLabel_->setTextColor(c::colorCCCCCC());
    contentLabel_->setFont(c::font36());
    contentLabel_->setText("历史记录第一条");
}

void QNDiscoverSearchResultHistoryCell::setupSubviews() {
    setSelectionStyle(ui::TableViewCellSelectionStyle::none);
    contentView()->addSubview(rightIconImageView_);
    contentView()->addSubview(iconImageView_);
    contentView()->addSubview(contentLabel_);
}

} // namespace kit
