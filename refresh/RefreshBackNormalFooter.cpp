#include "refresh/RefreshBackNormalFooter.h"

#include "platform/ui/TemplateImage.h"
#include "refresh/RefreshBundle.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

namespace refresh {
namespace {

const gfx::AffineTransform kTurnedOver = gfx::AffineTransform::rotation(kRefreshArrowTurnedOver);

} // namespace

std::shared_ptr<ui::ImageView> RefreshBackNormalFooter::arrowView() {
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

std::shared_ptr<ui::ActivityIndicatorView> RefreshBackNormalFooter::loadingView() {
    return subviewMadeOnFirstUse(*this, loadingView_, [this] {
        auto spinner = core::make<ui::ActivityIndicatorView>(activityIndicatorViewStyle_);
        spinner->setHidesWhenStopped(true);
        return spinner;
    });
}

void RefreshBackNormalFooter::setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) {
    activityIndicatorViewStyle_ = style;
    if (auto old = loadingView_.lock()) old->removeFromSuperview();
    loadingView_.reset();
    setNeedsLayout();
}

void RefreshBackNormalFooter::prepare() {
    RefreshBackStateFooter::prepare();
    activityIndicatorViewStyle_ = ui::ActivityIndicatorViewStyle::gray;
}

void RefreshBackNormalFooter::placeSubviews() {
    RefreshBackStateFooter::placeSubviews();
    double centerX = rf_w(*this) * 0.5;
    auto state = stateLabel();
    if (!state->isHidden()) centerX -= labelLeftInset() + RefreshLabel::rf_textWith(*state) * 0.5;
    gfx::Point c{centerX, rf_h(*this) * 0.5};
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

void RefreshBackNormalFooter::setState(RefreshComponentState state) {
    RefreshComponentState old = this->state();
    if (state == old) return;
    RefreshBackStateFooter::setState(state);
    auto arrow = arrowView();
    auto spinner = loadingView();
    switch (state) {
    case RefreshComponentState::Idle:
        if (old == RefreshComponentState::Refreshing) {
            arrow->setTransform(kTurnedOver);
            std::weak_ptr<RefreshBackNormalFooter> weak =
                std::static_pointer_cast<RefreshBackNormalFooter>(shared_from_this());
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
            arrow->setHidden(false);
            spinner->stopAnimating();
            ui::View::animate(kRefreshFastAnimationDuration, [&] { arrow->setTransform(kTurnedOver); });
        }
        break;
    case RefreshComponentState::Pulling:
        arrow->setHidden(false);
        spinner->stopAnimating();
        ui::View::animate(kRefreshFastAnimationDuration, [&] { arrow->setTransform(gfx::AffineTransform::identity()); });
        break;
    case RefreshComponentState::Refreshing:
        arrow->setHidden(true);
        spinner->setAlpha(1);
        spinner->startAnimating();
        break;
    case RefreshComponentState::NoMoreData:
        arrow->setHidden(true);
        spinner->stopAnimating();
        break;
    case RefreshComponentState::WillRefresh: break;
    }
}

} // namespace refresh
