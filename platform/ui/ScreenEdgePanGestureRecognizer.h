#pragma once
// A pan that starts at the left edge of its view: a touch that comes down more than kEdgeWidth
// points from that edge fails at once, and so does one whose first move of kHysteresis points
// goes more up or down than right. Otherwise it is a pan (translation, velocity, began, changed,
// ended). The window asks edge pans before the other recognizers of a touch, so a swipe from the
// edge is theirs even over a scroll view that would pan too.

#include "platform/ui/PanGestureRecognizer.h"

namespace ui {

class ScreenEdgePanGestureRecognizer : public PanGestureRecognizer {
public:
    static constexpr double kEdgeWidth = 20;

    void touchesBegan(const TouchSet& touches) override;
    void touchesMoved(const TouchSet& touches) override;
    // A touchpad swipe needs no edge; it fails when its first steps go left.
    void scrollSwipeBy(gfx::Point delta) override;
    bool isEdgePan() const override { return true; }
};

} // namespace ui
