#pragma once
// The base of the footers: 44 points high, below the content. On a table or collection view it
// sets the scroll view's reload block, so that with automaticallyHidden a reload with no rows
// hides the footer and one with rows shows it. Main thread only.

#include "refresh/RefreshComponent.h"

namespace refresh {

class RefreshFooter : public RefreshComponent {
    QUILLORA_CLASS(RefreshFooter)

    using RefreshComponent::RefreshComponent;

    static std::shared_ptr<RefreshFooter> footerWithRefreshingBlock(Block block) { return make<RefreshFooter>(std::move(block)); }
    template <class T>
    static std::shared_ptr<RefreshFooter> footerWithRefreshingTarget(const std::shared_ptr<T>& target,
                                                                     void (T::*action)(RefreshComponent&)) {
        auto footer = core::make<RefreshFooter>(gfx::Rect{});
        footer->setRefreshingTarget(target, action);
        return footer;
    }

    // Both change the state on a later turn of the main queue.
    void endRefreshingWithNoMoreData();
    void noticeNoMoreData() { endRefreshingWithNoMoreData(); }
    void resetNoMoreData();

    bool isAutomaticallyHidden() const { return automaticallyHidden_; }
    void setAutomaticallyHidden(bool hidden) { automaticallyHidden_ = hidden; }
    double ignoredScrollViewContentInsetBottom() const { return ignoredScrollViewContentInsetBottom_; }
    void setIgnoredScrollViewContentInsetBottom(double inset) { ignoredScrollViewContentInsetBottom_ = inset; }

    void willMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) override;

protected:
    void prepare() override;
    // True while the footer is a subview of the scroll view it observes: only then may it
    // change that scroll view's insets.
    bool isAttached() const;

    template <class T>
    static std::shared_ptr<T> make(Block block) {
        auto footer = core::make<T>(gfx::Rect{});
        footer->setRefreshingBlock(std::move(block));
        return footer;
    }

private:
    bool automaticallyHidden_ = false;
    double ignoredScrollViewContentInsetBottom_ = 0;
};

} // namespace refresh
