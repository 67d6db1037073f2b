#include "refresh/RefreshBackStateFooter.h"

#include "refresh/RefreshBundle.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshLabel.h"
#include "refresh/RefreshSubview.h"

namespace refresh {

std::shared_ptr<ui::Label> RefreshBackStateFooter::stateLabel() {
    return subviewMadeOnFirstUse(*this, stateLabel_, RefreshLabel::rf_label);
}

void RefreshBackStateFooter::prepare() {
    RefreshBackFooter::prepare();
    labelLeftInset_ = kRefreshLabelLeftInset;
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshBackFooterIdleText), RefreshComponentState::Idle);
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshBackFooterPullingText), RefreshComponentState::Pulling);
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshBackFooterRefreshingText), RefreshComponentState::Refreshing);
    setTitle(RefreshBundle::rf_localizedStringForKey(kRefreshBackFooterNoMoreDataText), RefreshComponentState::NoMoreData);
}

void RefreshBackStateFooter::setTitle(const std::optional<std::string>& title, RefreshComponentState state) {
    if (stateTitles_.set(title, state)) stateLabel()->setText(stateTitles_.titleFor(this->state()));
}

void RefreshBackStateFooter::placeSubviews() {
    RefreshBackFooter::placeSubviews();
    stateLabel()->setFrame(bounds());
}

void RefreshBackStateFooter::setState(RefreshComponentState state) {
    if (state == this->state()) return;
    RefreshBackFooter::setState(state);
    stateLabel()->setText(stateTitles_.titleFor(state));
}

} // namespace refresh
