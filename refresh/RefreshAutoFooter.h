#pragma once
// A footer that loads by itself when the end of the content is scrolled into view (while the
// offset moves towards the end), when a drag ends at the end of the content, or, with content
// shorter than the view, when a drag ends without the content pulled down. Attached and visible
// it adds its height to the scroll view's bottom inset; hiding it takes the height back and
// returns it to Idle. Insets change only while the footer is attached. Main thread only.

#include "refresh/RefreshFooter.h"

namespace refresh {

class RefreshAutoFooter : public RefreshFooter {
    QUILLORA_CLASS(RefreshAutoFooter)

    using RefreshFooter::RefreshFooter;
    static std::shared_ptr<RefreshAutoFooter> footerWithRefreshingBlock(Block block) {
        return make<RefreshAutoFooter>(std::move(block));
    }

    bool isAutomaticallyRefresh() const { return automaticallyRefresh_; }
    void setAutomaticallyRefresh(bool on) { automaticallyRefresh_ = on; }
    bool isOnlyRefreshPerDrag() const { return onlyRefreshPerDrag_; }
    void setOnlyRefreshPerDrag(bool on) { onlyRefreshPerDrag_ = on; }
    // How much of the footer must be in view to start, 1 being all of it.
    double triggerAutomaticallyRefreshPercent() const { return triggerAutomaticallyRefreshPercent_; }
    void setTriggerAutomaticallyRefreshPercent(double percent) { triggerAutomaticallyRefreshPercent_ = percent; }
    double appearencePercentTriggerAutoRefresh() const { return triggerAutomaticallyRefreshPercent(); }
    void setAppearencePercentTriggerAutoRefresh(double percent) { setTriggerAutomaticallyRefreshPercent(percent); }

    void willMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) override;
    void beginRefreshing() override;
    void setState(RefreshComponentState state) override;
    void setHidden(bool hidden) override;

protected:
    void prepare() override;
    void scrollViewContentSizeDidChange(const ui::ObservedChange<gfx::Size>& change) override;
    void scrollViewContentOffsetDidChange(const ui::ObservedChange<gfx::Point>& change) override;
    void scrollViewPanStateDidChange(const ui::ObservedChange<ui::GestureRecognizer::State>& change) override;

private:
    bool automaticallyRefresh_ = true;
    bool onlyRefreshPerDrag_ = false;
    bool oneNewPan_ = false;
    double triggerAutomaticallyRefreshPercent_ = 1.0;
};

} // namespace refresh
