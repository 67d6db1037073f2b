#include "refresh/RefreshLabel.h"

#include "refresh/RefreshConst.h"

namespace refresh {

std::shared_ptr<ui::Label> RefreshLabel::rf_label() {
    auto label = core::make<ui::Label>();
    label->setFont(kRefreshLabelFont);
    label->setTextColor(kRefreshLabelTextColor);
    label->setAutoresizingMask(ui::autoresizingFlexibleWidth);
    label->setTextAlignment(ui::TextAlignment::center);
    label->setBackgroundColor(gfx::Color::clear());
    return label;
}

double RefreshLabel::rf_textWith(const ui::Label& label) {
    if (label.text().empty()) return 0;
    gfx::TextLayout layout;
    layout.setFont(label.font());
    layout.setText(label.text());
    return layout.size().width;
}

} // namespace refresh
