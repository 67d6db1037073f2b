#include "refresh/RefreshHeader.h"

#include "platform/core/UserDefaults.h"
#include "platform/dispatch/Clock.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshGeometry.h"

#include <algorithm>

namespace refresh {

std::shared_ptr<RefreshHeader> RefreshHeader::headerWithRefreshingBlock(Block block) {
    return make<RefreshHeader>(std::move(block));
}

void RefreshHeader::prepare() {
    RefreshComponent::prepare();
    setLastUpdatedTimeKey(kRefreshHeaderLastUpdatedTimeKey);
    setRf_h(*this, kRefreshHeaderHeight);
}

void RefreshHeader::placeSubviews() {
    RefreshComponent::placeSubviews();
    setRf_y(*this, -rf_h(*this) - ignoredScrollViewContentInsetTop_);
}

void RefreshHeader::setIgnoredScrollViewContentInsetTop(double inset) {
    ignoredScrollViewContentInsetTop_ = inset;
    setRf_y(*this, -rf_h(*this) - ignoredScrollViewContentInsetTop_);
}

void RefreshHeader::setLastUpdatedTimeKey(std::string key) { lastUpdatedTimeKey_ = std::move(key); }

std::optional<double> RefreshHeader::lastUpdatedTime() const {
    auto value = core::UserDefaults::standard().objectForKey(lastUpdatedTimeKey_);
    if (!value || !value->isNumber()) return std::nullopt;
    // Dates are kept as property-list dates are read: seconds since 2001-01-01.
    return value->asDouble() + dispatch::kSecondsFrom1970To2001;
}

void RefreshHeader::scrollViewContentOffsetDidChange(const ui::ObservedChange<gfx::Point>& change) {
    RefreshComponent::scrollViewContentOffsetDidChange(change);
    auto scroll = scrollView();
    if (!scroll) return;
    double h = rf_h(*this);
    if (state() == RefreshComponentState::Refreshing) {
        if (!window()) return;
        // While refreshing, the header stays in view, but content scrolled up over it takes its
        // room back.
        double top0 = scrollViewOriginalInset_.top;
        double inset = std::min(std::max(-rf_offsetY(*scroll), top0), top0 + h);
        setRf_insetT(*scroll, inset);
        insetTDelta_ = top0 - inset;
        return;
    }
    // Insets may have changed since the last time (a controller transition, for instance).
    scrollViewOriginalInset_ = rf_inset(*scroll);
    double offsetY = rf_offsetY(*scroll);
    double rest = -scrollViewOriginalInset_.top;
    if (offsetY > rest) return;
    double trigger = rest - h;
    double percent = (rest - offsetY) / h;
    if (scroll->isDragging()) {
        setPullingPercent(percent);
        if (state() == RefreshComponentState::Idle && offsetY < trigger) {
            setState(RefreshComponentState::Pulling);
        } else if (state() == RefreshComponentState::Pulling && offsetY >= trigger) {
            setState(RefreshComponentState::Idle);
        }
    } else if (state() == RefreshComponentState::Pulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void RefreshHeader::setState(RefreshComponentState state) {
    RefreshComponentState old = this->state();
    if (state == old) return;
    RefreshComponent::setState(state);
    if (state == RefreshComponentState::Refreshing) {
        afterThisTurn([](RefreshComponent& base) {
            auto& self = static_cast<RefreshHeader&>(base);
            std::weak_ptr<RefreshComponent> weak = std::static_pointer_cast<RefreshComponent>(self.shared_from_this());
            ui::View::animate(kRefreshFastAnimationDuration, [&self] {
                auto scroll = self.scrollView();
                if (!scroll || scroll->panGestureRecognizer()->state() == ui::GestureRecognizer::State::cancelled) return;
                double top = self.scrollViewOriginalInset_.top + rf_h(self);
                setRf_insetT(*scroll, top);
                scroll->setContentOffset({scroll->contentOffset().x, -top});
            }, [weak](bool) {
                if (auto header = weak.lock()) header->executeRefreshingCallback();
            });
        });
    } else if (state == RefreshComponentState::Idle && old == RefreshComponentState::Refreshing) {
        auto& defaults = core::UserDefaults::standard();
        defaults.setObject(dispatch::Clock::current().wallTime() - dispatch::kSecondsFrom1970To2001, lastUpdatedTimeKey_);
        defaults.synchronize();
        std::weak_ptr<RefreshComponent> weak = std::static_pointer_cast<RefreshComponent>(shared_from_this());
        ui::View::animate(kRefreshSlowAnimationDuration, [this] {
            if (auto scroll = scrollView()) setRf_insetT(*scroll, rf_insetT(*scroll) + insetTDelta_);
            if (isAutomaticallyChangeAlpha()) setAlpha(0);
        }, [weak](bool) {
            auto header = weak.lock();
            if (!header) return;
            header->setPullingPercent(0);
            if (header->endRefreshingCompletionBlock()) header->endRefreshingCompletionBlock()();
        });
    }
}

} // namespace refresh
