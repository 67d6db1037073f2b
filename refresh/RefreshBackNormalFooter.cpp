#include "refresh/RefreshBackNormalFooter.h"

#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"

namespace refresh {
namespace {

const gfx::AffineTransform kTurnedOver = gfx::AffineTransform::rotation(kRefreshArrowTurnedOver);

} // namespace

void RefreshBackNormalFooter::prepare() {
    RefreshBackStateFooter::prepare();
    pieces_.setStyle(*this, ui::ActivityIndicatorViewStyle::gray);
}

void RefreshBackNormalFooter::placeSubviews() {
    RefreshBackStateFooter::placeSubviews();
    double centerX = rf_w(*this) * 0.5;
    auto state = stateLabel();
    if (!state->isHidden()) centerX -= labelLeftInset() + RefreshLabel::rf_textWith(*state) * 0.5;
    pieces_.place(*this, {centerX, rf_h(*this) * 0.5}, state->textColor());
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
