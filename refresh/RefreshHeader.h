#pragma once
// The pull-down header: 54 points high just above the content. Dragging the content down past the
// header's full height (strictly) turns it to Pulling; letting go then refreshes: the scroll
// view's top inset widens by the header's height so the header stays in view, and once that
// 0.25 s animation is over the refresh callbacks run. endRefreshing() stores the time in the user
// defaults under lastUpdatedTimeKey and gives the inset back over 0.4 s.
//
// "Letting go" is the first offset change seen while the scroll view is not dragging; the scroll
// view makes one when it springs back after the finger lifts. Main thread only.

#include "refresh/RefreshComponent.h"

#include <optional>
#include <string>

namespace refresh {

class RefreshHeader : public RefreshComponent {
    QUILLORA_CLASS(RefreshHeader)

    using RefreshComponent::RefreshComponent;

    static std::shared_ptr<RefreshHeader> headerWithRefreshingBlock(Block block);
    template <class T>
    static std::shared_ptr<RefreshHeader> headerWithRefreshingTarget(const std::shared_ptr<T>& target,
                                                                     void (T::*action)(RefreshComponent&)) {
        auto header = core::make<RefreshHeader>(gfx::Rect{});
        header->setRefreshingTarget(target, action);
        return header;
    }

    const std::string& lastUpdatedTimeKey() const { return lastUpdatedTimeKey_; }
    virtual void setLastUpdatedTimeKey(std::string key);
    // When the last refresh under the key ended, in seconds since 1970; nothing when none did.
    std::optional<double> lastUpdatedTime() const;
    double ignoredScrollViewContentInsetTop() const { return ignoredScrollViewContentInsetTop_; }
    void setIgnoredScrollViewContentInsetTop(double inset);

    void setState(RefreshComponentState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
    void scrollViewContentOffsetDidChange(const ui::ObservedChange<gfx::Point>& change) override;

    // Makes a header of class T with a zero frame and the block.
    template <class T>
    static std::shared_ptr<T> make(Block block) {
        auto header = core::make<T>(gfx::Rect{});
        header->setRefreshingBlock(std::move(block));
        return header;
    }

private:
    std::string lastUpdatedTimeKey_;
    double ignoredScrollViewContentInsetTop_ = 0;
    double insetTDelta_ = 0;
};

} // namespace refresh
