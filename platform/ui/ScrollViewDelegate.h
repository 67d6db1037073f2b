#pragma once
#include <memory>

// What a scroll view tells its delegate (held weakly) while it scrolls. Every method has an
// empty default, so a delegate implements only what it cares about.

namespace ui {

class ScrollView;
class View;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    // After every change of the content offset, whoever made it.
    virtual void scrollViewDidScroll(ScrollView& scrollView) { (void)scrollView; }
    virtual void scrollViewWillBeginDragging(ScrollView& scrollView) { (void)scrollView; }
    // The finger lifted; `decelerate` says whether the content goes on moving.
    virtual void scrollViewDidEndDragging(ScrollView& scrollView, bool decelerate) { (void)scrollView; (void)decelerate; }
    virtual void scrollViewDidEndDecelerating(ScrollView& scrollView) { (void)scrollView; }
    // The view that zooms (none: the scroll view does not zoom).
    virtual std::shared_ptr<View> viewForZoomingInScrollView(ScrollView& scrollView) {
        (void)scrollView;
        return nullptr;
    }
    // After every change of the zoom scale.
    virtual void scrollViewDidZoom(ScrollView& scrollView) { (void)scrollView; }
};

} // namespace ui
