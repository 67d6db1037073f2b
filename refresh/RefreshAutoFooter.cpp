#include "refresh/RefreshAutoFooter.h"

#include "refresh/RefreshGeometry.h"

namespace refresh {

void RefreshAutoFooter::prepare() {
    RefreshFooter::prepare();
    triggerAutomaticallyRefreshPercent_ = 1.0;
    automaticallyRefresh_ = true;
    onlyRefreshPerDrag_ = false;
}

void RefreshAutoFooter::willMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) {
    // Leaving: the inset is given back to the scroll view the footer is leaving (the base has
    // already stopped observing it).
    bool leaving = !newSuperview && isAttached();
    auto old = scrollView();
    RefreshFooter::willMoveToSuperview(newSuperview);
    if (leaving) {
        if (!isHidden()) setRf_insetB(*old, rf_insetB(*old) - rf_h(*this));
        return;
    }
    auto scroll = scrollView();
    if (!newSuperview || !scroll || scroll != newSuperview) return;
    if (!isHidden()) setRf_insetB(*scroll, rf_insetB(*scroll) + rf_h(*this));
    setRf_y(*this, rf_contentH(*scroll));
}

void RefreshAutoFooter::scrollViewContentSizeDidChange(const ui::ObservedChange<gfx::Size>& change) {
    RefreshFooter::scrollViewContentSizeDidChange(change);
    if (auto scroll = scrollView()) setRf_y(*this, rf_contentH(*scroll));
}

void RefreshAutoFooter::scrollViewContentOffsetDidChange(const ui::ObservedChange<gfx::Point>& change) {
    RefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll) return;
    if (state() != RefreshComponentState::Idle || !automaticallyRefresh_ || rf_y(*this) == 0) return;
    double h = rf_h(*this);
    // The content must be taller than the view, the end of the content in view by the trigger
    // share of the footer, and the offset moving towards the end (a bounce back up starts nothing).
    if (rf_insetT(*scroll) + rf_contentH(*scroll) > rf_h(*scroll) &&
        rf_offsetY(*scroll) >= rf_contentH(*scroll) - rf_h(*scroll) + h * triggerAutomaticallyRefreshPercent_ +
                                   rf_insetB(*scroll) - h &&
        change.newValue.y > change.oldValue.y) {
        beginRefreshing();
    }
}

void RefreshAutoFooter::scrollViewPanStateDidChange(const ui::ObservedChange<ui::GestureRecognizer::State>& change) {
    RefreshFooter::scrollViewPanStateDidChange(change);
    auto scroll = scrollView();
    if (!scroll || state() != RefreshComponentState::Idle) return;
    using State = ui::GestureRecognizer::State;
    if (change.newValue == State::began) {
        oneNewPan_ = true;
    } else if (change.newValue == State::ended) {
        if (rf_insetT(*scroll) + rf_contentH(*scroll) <= rf_h(*scroll)) {
            if (rf_offsetY(*scroll) >= -rf_insetT(*scroll)) beginRefreshing();
        } else if (rf_offsetY(*scroll) >= rf_contentH(*scroll) + rf_insetB(*scroll) - rf_h(*scroll)) {
            beginRefreshing();
        }
    }
}

void RefreshAutoFooter::beginRefreshing() {
    if (!oneNewPan_ && onlyRefreshPerDrag_) return;
    RefreshFooter::beginRefreshing();
    oneNewPan_ = false;
}

void RefreshAutoFooter::setState(RefreshComponentState state) {
    RefreshComponentState old = this->state();
    if (state == old) return;
    RefreshFooter::setState(state);
    if (state == RefreshComponentState::Refreshing) {
        executeRefreshingCallback();
    } else if ((state == RefreshComponentState::Idle || state == RefreshComponentState::NoMoreData) &&
               old == RefreshComponentState::Refreshing) {
        if (endRefreshingCompletionBlock()) endRefreshingCompletionBlock()();
    }
}

void RefreshAutoFooter::setHidden(bool hidden) {
    bool wasHidden = isHidden();
    RefreshFooter::setHidden(hidden);
    if (wasHidden == hidden) return;
    auto scroll = scrollView();
    bool attached = isAttached();
    if (hidden) {
        setState(RefreshComponentState::Idle);
        if (attached) setRf_insetB(*scroll, rf_insetB(*scroll) - rf_h(*this));
    } else if (attached) {
        setRf_insetB(*scroll, rf_insetB(*scroll) + rf_h(*this));
        setRf_y(*this, rf_contentH(*scroll));
    }
}

} // namespace refresh
