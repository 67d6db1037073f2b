#include "refresh/RefreshNormalHeader.h"

#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"

#include <algorithm>

namespace refresh {

void RefreshNormalHeader::prepare() {
    RefreshStateHeader::prepare();
    pieces_.setStyle(*this, ui::ActivityIndicatorViewStyle::gray);
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
    pieces_.place(*this, {centerX, rf_h(*this) * 0.5}, state->textColor());
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
