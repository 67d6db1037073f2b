#include "refresh/RefreshArrowSpinner.h"

#include "platform/ui/TemplateImage.h"
#include "refresh/RefreshBundle.h"
#include "refresh/RefreshSubview.h"

namespace refresh {

std::shared_ptr<ui::ImageView> RefreshArrowSpinner::arrowView(ui::View& control) {
    auto arrow = arrowView_.lock();
    if (!arrow) {
        arrow = core::make<ui::ImageView>();
        arrow->setImage(RefreshBundle::rf_arrowImage());
        control.addSubview(arrow);
        arrowView_ = arrow;
        arrowTint_.reset();
    }
    return arrow;
}

std::shared_ptr<ui::ActivityIndicatorView> RefreshArrowSpinner::loadingView(ui::View& control) {
    return subviewMadeOnFirstUse(control, loadingView_, [this] {
        auto spinner = core::make<ui::ActivityIndicatorView>(style_);
        spinner->setHidesWhenStopped(true);
        return spinner;
    });
}

void RefreshArrowSpinner::setStyle(ui::View& control, ui::ActivityIndicatorViewStyle style) {
    style_ = style;
    if (auto old = loadingView_.lock()) old->removeFromSuperview();
    loadingView_.reset();
    control.setNeedsLayout();
}

void RefreshArrowSpinner::place(ui::View& control, gfx::Point center, gfx::Color tint) {
    auto arrow = arrowView(control);
    if (auto image = arrow->image()) arrow->setBounds({{0, 0}, image->size()});
    arrow->setCenter(center);
    loadingView(control)->setCenter(center);
    if (arrowTint_ != tint) {
        arrowTint_ = tint;
        arrow->setImage(ui::TemplateImage::tinted(RefreshBundle::rf_arrowImage(), tint));
    }
}

} // namespace refresh
