#pragma once
// A footer that loads only when the content is dragged up beyond its end by more than the
// footer's height and let go. It sits right below the content (or at the bottom of the visible
// area when the content is shorter); while loading it widens the scroll view's bottom inset so
// it stays in view, and ending takes the widening back (animated), keeping the content where it
// is when the load added rows. A footer that leaves its scroll view while the inset is widened
// gives the widening back to that scroll view. Main thread only.

#include "refresh/RefreshFooter.h"

#include <cstdint>

namespace refresh {

class RefreshBackFooter : public RefreshFooter {
    QUILLORA_CLASS(RefreshBackFooter)

    using RefreshFooter::RefreshFooter;
    static std::shared_ptr<RefreshBackFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshBackFooter>(std::move(block));
    }

    // The content height beyond what the scroll view shows inside its original insets (negative
    // when the content is shorter).
    double heightForContentBreakView() const;
    // The offset at which the footer begins to show.
    double happenOffsetY() const;

    void willMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) override;
    void setState(RefreshComponentState state) override;

protected:
    void scrollViewContentOffsetDidChange(const ui::ObservedChange<gfx::Point>& change) override;
    void scrollViewContentSizeDidChange(const ui::ObservedChange<gfx::Size>& change) override;

private:
    std::int64_t lastRefreshCount_ = 0;
    double lastBottomDelta_ = 0;
    std::weak_ptr<ui::ScrollView> widened_;  // the scroll view whose inset holds lastBottomDelta_
};

} // namespace refresh
