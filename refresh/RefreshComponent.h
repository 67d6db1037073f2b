#pragma once
// The base of every pull-to-refresh control: a transparent view inside a scroll view that
// watches the scroll view's content offset, content size and pan gesture, runs the five-state
// machine and calls its owner back when a refresh starts.
//
// Attachment: while the control is a subview of a scroll view it observes that scroll view (it
// refers to it weakly; the scroll view keeps the control alive); it stops observing as soon as it
// leaves, and `scrollView()` is empty from then on. A control with user interaction off ignores
// every change; a hidden one still follows content-size changes but not offsets or the pan.
//
// Deferred work: the layout after a state change, endRefreshing() and the refresh callbacks run
// on a later turn of the main queue, even when called on the main thread, so `state()` read right
// after endRefreshing() still gives the old state. Queued steps hold the control weakly.
//
// Subclasses override prepare(), placeSubviews(), the three scroll-view callbacks, setState(),
// setPullingPercent(), beginRefreshing() and willMoveToSuperview(), each calling the inherited
// implementation first; a subclass's setState() that is given the current state does nothing at
// all (the base setState() has no such guard). Main thread only.

#include "platform/ui/ScrollView.h"
#include "refresh/RefreshComponentState.h"

#include <functional>
#include <memory>

namespace refresh {

class RefreshComponent : public ui::View {
    QUILLORA_CLASS(RefreshComponent)

    using Block = std::function<void()>;
    using View::View;
    // Runs prepare(), then setState(Idle).
    void init() override;

    gfx::EdgeInsets scrollViewOriginalInset() const { return scrollViewOriginalInset_; }
    std::shared_ptr<ui::ScrollView> scrollView() const { return scrollView_.lock(); }

    bool isAutomaticallyChangeAlpha() const { return automaticallyChangeAlpha_; }
    void setAutomaticallyChangeAlpha(bool automaticallyChangeAlpha);
    bool isAutoChangeAlpha() const { return isAutomaticallyChangeAlpha(); }
    void setAutoChangeAlpha(bool autoChangeAlpha) { setAutomaticallyChangeAlpha(autoChangeAlpha); }

    // The callbacks of a refresh, in this order: the block, the target's action, the
    // begin-completion block.
    const Block& refreshingBlock() const { return refreshingBlock_; }
    void setRefreshingBlock(Block block) { refreshingBlock_ = std::move(block); }
    // The target is held weakly; a target that has gone is skipped.
    template <class T>
    void setRefreshingTarget(const std::shared_ptr<T>& target, void (T::*action)(RefreshComponent&)) {
        std::weak_ptr<T> weak = target;
        refreshingTarget_ = target;
        refreshingAction_ = [weak, action](RefreshComponent& sender) {
            if (auto t = weak.lock()) ((*t).*action)(sender);
        };
    }
    const Block& beginRefreshingCompletionBlock() const { return beginRefreshingCompletionBlock_; }
    void setBeginRefreshingCompletionBlock(Block block) { beginRefreshingCompletionBlock_ = std::move(block); }
    const Block& endRefreshingCompletionBlock() const { return endRefreshingCompletionBlock_; }
    void setEndRefreshingCompletionBlock(Block block) { endRefreshingCompletionBlock_ = std::move(block); }

    RefreshComponentState state() const { return state_; }
    virtual void setState(RefreshComponentState state);
    double pullingPercent() const { return pullingPercent_; }
    virtual void setPullingPercent(double pullingPercent);
    // Refreshing or about to (WillRefresh).
    bool isRefreshing() const;

    virtual void beginRefreshing();
    void beginRefreshingWithCompletionBlock(Block completion);
    void endRefreshing();
    void endRefreshingWithCompletionBlock(Block completion);
    // Queues the three refresh callbacks (the subclasses call it when they enter Refreshing).
    void executeRefreshingCallback();

    void willMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) override;
    void didMoveToSuperview() override;
    void layoutSubviews() override;
    // The control draws nothing, but its first drawing turns a WillRefresh into Refreshing.
    bool drawsContent() const override { return true; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

protected:
    virtual void prepare();
    virtual void placeSubviews() {}
    virtual void scrollViewContentOffsetDidChange(const ui::ObservedChange<gfx::Point>& change) { (void)change; }
    virtual void scrollViewContentSizeDidChange(const ui::ObservedChange<gfx::Size>& change) { (void)change; }
    virtual void scrollViewPanStateDidChange(const ui::ObservedChange<ui::GestureRecognizer::State>& change) { (void)change; }

    // Runs `step` on a later turn of the main queue if the control still exists then.
    void afterThisTurn(std::function<void(RefreshComponent&)> step);

    gfx::EdgeInsets scrollViewOriginalInset_;

private:
    void addObservers();
    void removeObservers();

    std::weak_ptr<ui::ScrollView> scrollView_;
    std::shared_ptr<ui::PanGestureRecognizer> pan_;
    ui::ObservationToken offsetToken_, sizeToken_, panToken_;
    bool automaticallyChangeAlpha_ = false;
    Block refreshingBlock_;
    std::weak_ptr<void> refreshingTarget_;
    std::function<void(RefreshComponent&)> refreshingAction_;
    Block beginRefreshingCompletionBlock_;
    Block endRefreshingCompletionBlock_;
    RefreshComponentState state_{0};  // set to Idle by init()
    double pullingPercent_ = 0;
};

} // namespace refresh
