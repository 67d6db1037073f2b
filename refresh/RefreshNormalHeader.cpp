#include "refresh/RefreshNormalHeader.h"

#include "platform/ui/TemplateImage.h"
#include "refresh/RefreshBundle.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

#include <algorithm>

namespace refresh {

std::shared_ptr<ui::ImageView> RefreshNormalHeader::arrowView() {
    auto arrow = arrowView_.lock();
    if (!arrow) {
        arrow = core::make<ui::ImageView>();
        arrow->setImage(RefreshBundle::rf_arrowImage());
        addSubview(arrow);
        arrowView_ = arrow;
        arrowTint_.reset();
    }
    return arrow;
}

std::shared_ptr<ui::ActivityIndicatorView> RefreshNormalHeader::loadingView() {
    return subviewMadeOnFirstUse(*this, loadingView_, [this] {
        auto spinner = core::make<ui::ActivityIndicatorView>(activityIndicatorViewStyle_);
        spinner->setHidesWhenStopped(true);
        return spinner;
    });
}

void RefreshNormalHeader::setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) {
    activityIndicatorViewStyle_ = style;
    if (auto old = loadingView_.lock()) old->removeFromSuperview();
    loadingView_.reset();
    setNeedsLayout();
}

void RefreshNormalHeader::prepare() {
    RefreshStateHeader::prepare();
    activityIndicatorViewStyle_ = ui::ActivityIndicatorViewStyle::gray;
}

void RefreshNormalHeader::placeSubviews() {
    RefreshStateHeader::placeSubviews();
    double centerX = rf_w(*this) * 0.5;
    auto state = stateLabel();
    if (!state->isHidden()) {
        double stateWidth = RefreshLabel::rf_textWith(*state);
        auto last = lastUpdatedTimeLabel();
        double timeWidth = last->isHidden() ? 0 : RefreshLabel::rf_textWith(*last);
        centerX -= std::max(stateWidth, timeWidth) * 0.5 + labelLeftInset();
    }
    double centerY = rf_h(*this) * 0.5;
    gfx::Point c{centerX, centerY};
    auto arrow = arrowView();
    if (auto image = arrow->image()) arrow->setBounds({{0, 0}, image->size()});
    arrow->setCenter(c);
    loadingView()->setCenter(c);
    // The arrow is a template drawn in the colour of the text beside it.
    gfx::Color tint = state->textColor();
    if (arrowTint_ != tint) {
        arrowTint_ = tint;
        arrow->setImage(ui::TemplateImage::tinted(RefreshBundle::rf_arrowImage(), tint));
    }
}

void RefreshNormalHeader::setState(RefreshComponentState state) {
    RefreshComponentState old = this->state();
    if (state == old) return;
    RefreshStateHeader::setState(state);
    auto arrow = arrowView();
    auto spinner = loadingView();
    if (state == RefreshComponentState::Idle) {
        if (old == RefreshComponentState::Refreshing) {
            arrow->setTransform(gfx::AffineTransform::identity());
            std::weak_ptr<RefreshNormalHeader> weak = std::static_pointer_cast<RefreshNormalHeader>(shared_from_this());
            ui::View::animate(kRefreshSlowAnimationDuration, [&] { spinner->setAlpha(0); }, [weak](bool) {
                auto self = weak.lock();
                // A refresh that started again during the fade keeps its spinner.
                if (!self || self->state() != RefreshComponentState::Idle) return;
                auto s = self->loadingView();
                s->setAlpha(1);
                s->stopAnimating();
                self->arrowView()->setHidden(false);
            });
        } else {
            spinner->stopAnimating();
            arrow->setHidden(false);
            ui::View::animate(kRefreshFastAnimationDuration, [&] { arrow->setTransform(gfx::AffineTransform::identity()); });
        }
    } else if (state == RefreshComponentState::Pulling) {
        spinner->stopAnimating();
        arrow->setHidden(false);
        ui::View::animate(kRefreshFastAnimationDuration,
                          [&] { arrow->setTransform(gfx::AffineTransform::rotation(kRefreshArrowTurnedOver)); });
    } else if (state == RefreshComponentState::Refreshing) {
        spinner->setAlpha(1);
        spinner->startAnimating();
        arrow->setHidden(true);
    }
}

} // namespace refresh
