#include "refresh/RefreshAutoNormalFooter.h"

#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

namespace refresh {

std::shared_ptr<ui::ActivityIndicatorView> RefreshAutoNormalFooter::loadingView() {
    return subviewMadeOnFirstUse(*this, loadingView_, [this] {
        auto spinner = core::make<ui::ActivityIndicatorView>(activityIndicatorViewStyle_);
        spinner->setHidesWhenStopped(true);
        return spinner;
    });
}

void RefreshAutoNormalFooter::setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) {
    activityIndicatorViewStyle_ = style;
    if (auto old = loadingView_.lock()) old->removeFromSuperview();
    loadingView_.reset();
    setNeedsLayout();
}

void RefreshAutoNormalFooter::prepare() {
    RefreshAutoStateFooter::prepare();
    activityIndicatorViewStyle_ = ui::ActivityIndicatorViewStyle::gray;
}

void RefreshAutoNormalFooter::placeSubviews() {
    RefreshAutoStateFooter::placeSubviews();
    double centerX = rf_w(*this) * 0.5;
    if (!isRefreshingTitleHidden()) centerX -= RefreshLabel::rf_textWith(*stateLabel()) * 0.5 + labelLeftInset();
    loadingView()->setCenter({centerX, rf_h(*this) * 0.5});
}

void RefreshAutoNormalFooter::setState(RefreshComponentState state) {
    if (state == this->state()) return;
    RefreshAutoStateFooter::setState(state);
    if (state == RefreshComponentState::Idle || state == RefreshComponentState::NoMoreData) loadingView()->stopAnimating();
    else if (state == RefreshComponentState::Refreshing) loadingView()->startAnimating();
}

} // namespace refresh
