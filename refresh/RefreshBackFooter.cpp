#include "refresh/RefreshBackFooter.h"

#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"
#include "refresh/RefreshScrollView.h"

#include <algorithm>

namespace refresh {

double RefreshBackFooter::heightForContentBreakView() const {
    auto scroll = scrollView();
    if (!scroll) return 0;
    double visible = rf_h(*scroll) - scrollViewOriginalInset_.bottom - scrollViewOriginalInset_.top;
    return rf_contentH(*scroll) - visible;
}

double RefreshBackFooter::happenOffsetY() const {
    double deltaH = heightForContentBreakView();
    return deltaH > 0 ? deltaH - scrollViewOriginalInset_.top : -scrollViewOriginalInset_.top;
}

void RefreshBackFooter::willMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) {
    // Leaving while the inset is widened: the widening goes back to the scroll view that has it.
    auto widened = widened_.lock();
    if (widened && newSuperview != widened) {
        setRf_insetB(*widened, rf_insetB(*widened) - lastBottomDelta_);
        lastBottomDelta_ = 0;
        widened_.reset();
    }
    RefreshFooter::willMoveToSuperview(newSuperview);
    scrollViewContentSizeDidChange({});
}

void RefreshBackFooter::scrollViewContentSizeDidChange(const ui::ObservedChange<gfx::Size>& change) {
    RefreshFooter::scrollViewContentSizeDidChange(change);
    auto scroll = scrollView();
    if (!scroll) return;
    double ignored = ignoredScrollViewContentInsetBottom();
    double below = rf_contentH(*scroll) + ignored;
    double bottomOfView = rf_h(*scroll) - scrollViewOriginalInset_.top - scrollViewOriginalInset_.bottom + ignored;
    setRf_y(*this, std::max(below, bottomOfView));
}

void RefreshBackFooter::scrollViewContentOffsetDidChange(const ui::ObservedChange<gfx::Point>& change) {
    RefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll || state() == RefreshComponentState::Refreshing) return;
    scrollViewOriginalInset_ = rf_inset(*scroll);
    double offsetY = rf_offsetY(*scroll);
    double happen = happenOffsetY();
    if (offsetY <= happen) return;
    double h = rf_h(*this);
    double percent = (offsetY - happen) / h;
    if (state() == RefreshComponentState::NoMoreData) return setPullingPercent(percent);
    if (scroll->isDragging()) {
        setPullingPercent(percent);
        double trigger = happen + h;
        if (state() == RefreshComponentState::Idle && offsetY > trigger) setState(RefreshComponentState::Pulling);
        else if (state() == RefreshComponentState::Pulling && offsetY <= trigger) setState(RefreshComponentState::Idle);
    } else if (state() == RefreshComponentState::Pulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void RefreshBackFooter::setState(RefreshComponentState state) {
    RefreshComponentState old = this->state();
    if (state == old) return;
    RefreshFooter::setState(state);
    auto scroll = scrollView();
    std::weak_ptr<RefreshBackFooter> weak = std::static_pointer_cast<RefreshBackFooter>(shared_from_this());
    if (state == RefreshComponentState::Idle || state == RefreshComponentState::NoMoreData) {
        if (old != RefreshComponentState::Refreshing) return;
        ui::View::animate(kRefreshSlowAnimationDuration, [this] {
            if (auto widened = widened_.lock()) setRf_insetB(*widened, rf_insetB(*widened) - lastBottomDelta_);
            widened_.reset();
            if (isAutomaticallyChangeAlpha()) setAlpha(0);
        }, [weak](bool) {
            auto self = weak.lock();
            if (!self) return;
            self->setPullingPercent(0);
            if (self->endRefreshingCompletionBlock()) self->endRefreshingCompletionBlock()();
        });
        // New rows below: the content stays where it is rather than following the inset back.
        if (scroll && heightForContentBreakView() > 0 && rf_totalDataCount(*scroll) != lastRefreshCount_)
            setRf_offsetY(*scroll, rf_offsetY(*scroll));
    } else if (state == RefreshComponentState::Refreshing) {
        if (!scroll) return;
        lastRefreshCount_ = rf_totalDataCount(*scroll);
        ui::View::animate(kRefreshFastAnimationDuration, [this, scroll] {
            double h = rf_h(*this);
            double bottom = h + scrollViewOriginalInset_.bottom;
            double deltaH = heightForContentBreakView();
            if (deltaH < 0) bottom -= deltaH;  // short content: right below the visible area
            lastBottomDelta_ = bottom - rf_insetB(*scroll);
            widened_ = scroll;
            setRf_insetB(*scroll, bottom);
            setRf_offsetY(*scroll, happenOffsetY() + h);
        }, [weak](bool) {
            if (auto self = weak.lock()) self->executeRefreshingCallback();
        });
    }
}

} // namespace refresh
