#pragma once
// A view that shows a larger content area and scrolls it: the content offset is the bounds'
// origin, so subviews are laid out in content coordinates and move as the offset changes.
//
// Scrolling: a drag (the scroll view's own pan gesture recognizer, which takes over touches once
// they have moved 10 points) moves the content with the finger; beyond the edges the content
// follows at half the finger's speed (rubber band) when `bounces` is on. When the finger lifts,
// the content decelerates from the release velocity (0.998 of the velocity is kept per
// millisecond) and springs back to the nearest edge when it is out of range. The wheel scrolls
// within the range without bouncing. Deceleration and springs run on a 60 Hz main-queue timer on
// the process clock, so a virtual clock drives them in tests.
//
// Insets: `adjustedContentInset` is `contentInset` plus, with the automatic adjustment, the part
// of the window's safe area (the status bar and the device's insets) that the scroll view covers.
// The offset may rest between −adjusted top and contentSize.height + adjusted bottom − height (and
// likewise horizontally). Shrinking an inset while no finger drags moves an offset that lies
// beyond the new range back to its edge (inside an animation block the move is animated).
//
// Observation: the content offset, the content size and the pan gesture's state can be observed
// with their old and new values. Observers are called synchronously, in the order they were
// added, on every change (also when the value set equals the old one, as the offset and size
// setters are property stores); the token unregisters when dropped, and a scroll view that dies
// first simply stops calling. isDragging is true from the moment the pan gesture begins until the
// finger lifts; the first offset change after a lift is therefore seen with isDragging false.
//
// Zooming: the delegate's viewForZoomingInScrollView is scaled by its transform between the
// minimum and maximum zoom scale (both 1 at first, so nothing zooms). The zoomed view is kept with
// its frame's origin at (0, 0); its frame and the content size follow the scale. A two-finger
// pinch (the scroll view's own pinch recognizer) zooms about the centre between the fingers and
// stops at the limits; a second finger on a zoomable scroll view ends its drag. The delegate
// hears scrollViewDidZoom after every step.
//
// The reload hook: tables and collection views call executeReloadDataBlock() at the end of every
// reloadData, including reloads through subclasses that call the inherited reloadData; a block set
// with setReloadDataBlock() then learns the total number of rows or items.
//
// Main thread only.

#include "platform/dispatch/Timer.h"
#include "platform/gfx/EdgeInsets.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ObserverList.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/ScrollViewDelegate.h"
#include "platform/ui/View.h"

#include <cstdint>
#include <map>

namespace ui {

enum class ContentInsetAdjustmentBehavior { automatic, never };

class ScrollView : public View {
    QUILLORA_CLASS(ScrollView)

    using View::View;
    void init() override;
    ~ScrollView() override;

    // Content geometry.
    gfx::Point contentOffset() const { return bounds().origin; }
    // Stops a running deceleration or spring, then moves the content (animated when `animated`,
    // over 0.3 s, or when called inside an animation block).
    void setContentOffset(gfx::Point offset, bool animated = false);
    gfx::Size contentSize() const { return contentSize_; }
    void setContentSize(gfx::Size size);
    gfx::EdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(gfx::EdgeInsets inset);
    gfx::EdgeInsets adjustedContentInset() const;
    ContentInsetAdjustmentBehavior contentInsetAdjustmentBehavior() const { return adjustment_; }
    void setContentInsetAdjustmentBehavior(ContentInsetAdjustmentBehavior behavior);
    // The offsets the content rests between: x from −left to contentW + right − width, y likewise
    // (the far end is never before the near one).
    gfx::Point minimumContentOffset() const;
    gfx::Point maximumContentOffset() const;

    // Behaviour.
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool on) { alwaysBounceVertical_ = on; }
    bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool on) { alwaysBounceHorizontal_ = on; }
    // Content touches reach the views inside at once here, so delaysContentTouches is only kept.
    // Without canCancelContentTouches the scroll view does not scroll for a touch that a view
    // inside it received (it still does for one on itself).
    bool delaysContentTouches() const { return delaysContentTouches_; }
    void setDelaysContentTouches(bool delays) { delaysContentTouches_ = delays; }
    bool canCancelContentTouches() const { return canCancelContentTouches_; }
    void setCanCancelContentTouches(bool cancels) { canCancelContentTouches_ = cancels; }
    // Scroll indicators (see ScrollIndicators.cpp): thin rounded bars 2.5 points wide, 3 points
    // from the edges, shown while the user tracks, drags or the content glides, and faded out
    // 0.5 s after scrolling stops. An axis shows its bar only when its flag is on and the content
    // scrolls along it. The insets move the bars' tracks in from the edges.
    bool showsVerticalScrollIndicator() const { return showsVerticalIndicator_; }
    void setShowsVerticalScrollIndicator(bool shows);
    bool showsHorizontalScrollIndicator() const { return showsHorizontalIndicator_; }
    void setShowsHorizontalScrollIndicator(bool shows);
    gfx::EdgeInsets scrollIndicatorInsets() const { return indicatorInsets_; }
    void setScrollIndicatorInsets(gfx::EdgeInsets insets);
    // Shows the indicators for a moment, as after a scroll.
    void flashScrollIndicators();
    // The bars' layers, drawn above the content.
    const std::shared_ptr<ca::Layer>& verticalScrollIndicator() const { return verticalIndicator_; }
    const std::shared_ptr<ca::Layer>& horizontalScrollIndicator() const { return horizontalIndicator_; }

    // State of the user's scrolling.
    bool isTracking() const { return tracking_; }
    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return animating_; }
    const std::shared_ptr<PanGestureRecognizer>& panGestureRecognizer() const { return pan_; }

    std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Scrolls by a wheel step (content points; positive y shows content further down), kept
    // within the resting range. Returns whether this view could scroll that way.
    bool scrollByWheel(gfx::Point delta);
    // The innermost scroll view under a window point that can scroll along the delta, for hosts
    // that turn wheel events into scrolling.
    static std::shared_ptr<ScrollView> wheelTargetAt(View& root, gfx::Point windowPoint, gfx::Point delta);

    // Zooming (see the note at the top).
    double zoomScale() const { return zoomScale_; }
    // Clamped to the limits; zooms about the centre of the visible part.
    void setZoomScale(double scale, bool animated = false);
    double minimumZoomScale() const { return minimumZoomScale_; }
    void setMinimumZoomScale(double scale) { minimumZoomScale_ = scale; }
    double maximumZoomScale() const { return maximumZoomScale_; }
    void setMaximumZoomScale(double scale) { maximumZoomScale_ = scale; }
    // Zooms to `scale` (clamped) keeping the content under `anchor` (in this view's bounds space)
    // where it is, as far as the content's range allows.
    void zoomAbout(double scale, gfx::Point anchor);
    bool isZooming() const { return zooming_; }
    // A delegate offers a view to zoom and the limits differ.
    bool canZoom() const;
    const std::shared_ptr<PinchGestureRecognizer>& pinchGestureRecognizer() const { return pinch_; }
    // The innermost scroll view under a window point that can zoom, for hosts that turn
    // Ctrl+wheel and touchpad pinches into zooming.
    static std::shared_ptr<ScrollView> zoomTargetAt(View& root, gfx::Point windowPoint);

    // Observation (see the note at the top).
    [[nodiscard]] ObservationToken observeContentOffset(ObserverList<gfx::Point>::Callback callback) {
        return offsetObservers_.add(std::move(callback));
    }
    [[nodiscard]] ObservationToken observeContentSize(ObserverList<gfx::Size>::Callback callback) {
        return sizeObservers_.add(std::move(callback));
    }
    [[nodiscard]] ObservationToken observePanState(ObserverList<GestureRecognizer::State>::Callback callback) {
        return panObservers_.add(std::move(callback));
    }

    // The reload hook (see the note at the top).
    using ReloadDataBlock = std::function<void(std::int64_t totalDataCount)>;
    const ReloadDataBlock& reloadDataBlock() const { return reloadDataBlock_; }
    void setReloadDataBlock(ReloadDataBlock block) { reloadDataBlock_ = std::move(block); }
    // Rows of a table, items of a collection view; 0 for a plain scroll view.
    virtual std::int64_t totalDataCount() const { return 0; }
    void executeReloadDataBlock();

    void setBounds(const gfx::Rect& bounds) override;
    void didMoveToWindow() override;
    bool drawsContent() const override { return false; }

    // The factor by which the content follows the finger beyond its edges.
    static constexpr double kRubberBandFactor = 0.5;

protected:
    // Called after every change of the offset, after the observers (tables lay out their rows).
    virtual void contentOffsetDidChange() {}

private:
    // The same range from an adjusted inset already at hand (finding it converts to the window).
    static gfx::Point minimumContentOffset(const gfx::EdgeInsets& adjusted);
    gfx::Point maximumContentOffset(const gfx::EdgeInsets& adjusted) const;
    void handlePan(PanGestureRecognizer& pan);
    void handlePinch(PinchGestureRecognizer& pinch);
    void setUpZooming();
    void setOffsetFromScrolling(gfx::Point offset);
    void startAnimating(gfx::Point velocity);
    void stopAnimating();
    void step();
    bool canScrollVertically() const;
    bool canScrollHorizontally() const;
    void clampAfterInsetChange(const gfx::EdgeInsets& oldAdjusted);
    void setUpScrollIndicators();
    void showScrollIndicators();
    void fadeScrollIndicatorsLater();
    void layoutScrollIndicators();

    gfx::Size contentSize_;
    gfx::EdgeInsets contentInset_;
    ContentInsetAdjustmentBehavior adjustment_ = ContentInsetAdjustmentBehavior::automatic;
    bool scrollEnabled_ = true;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool alwaysBounceHorizontal_ = false;
    bool showsVerticalIndicator_ = true;
    bool showsHorizontalIndicator_ = true;
    gfx::EdgeInsets indicatorInsets_;
    std::shared_ptr<ca::Layer> verticalIndicator_;
    std::shared_ptr<ca::Layer> horizontalIndicator_;
    std::shared_ptr<dispatch::Timer> indicatorFade_;
    bool tracking_ = false;
    bool dragging_ = false;
    bool animating_ = false;
    bool settingFromScrolling_ = false;
    gfx::Point dragStartOffset_;
    gfx::Point velocity_;
    double lastStepTime_ = 0;
    GestureRecognizer::State lastPanState_ = GestureRecognizer::State::possible;
    std::shared_ptr<PanGestureRecognizer> pan_;
    std::shared_ptr<PinchGestureRecognizer> pinch_;
    double zoomScale_ = 1;
    double minimumZoomScale_ = 1;
    double maximumZoomScale_ = 1;
    double pinchStartScale_ = 1;
    bool zooming_ = false;
    bool delaysContentTouches_ = true;
    bool canCancelContentTouches_ = true;
    std::shared_ptr<dispatch::Timer> timer_;
    std::weak_ptr<ScrollViewDelegate> delegate_;
    ObserverList<gfx::Point> offsetObservers_;
    ObserverList<gfx::Size> sizeObservers_;
    ObserverList<GestureRecognizer::State> panObservers_;
    ReloadDataBlock reloadDataBlock_;
};

} // namespace ui
