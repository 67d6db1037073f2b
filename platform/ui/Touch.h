#pragma once
// One finger (or the pointer) on the screen, from touch-down to lift-off or cancellation. The
// window keeps the touch's location up to date and remembers the view it began in.

#include "platform/gfx/Point.h"

#include <memory>
#include <vector>

namespace ui {

class View;
class Window;
class GestureRecognizer;

enum class TouchPhase { began, moved, stationary, ended, cancelled };

class Touch {
public:
    TouchPhase phase = TouchPhase::began;
    double timestamp = 0;
    int tapCount = 1;

    std::shared_ptr<View> view() const { return view_.lock(); }
    std::shared_ptr<Window> window() const { return window_.lock(); }
    gfx::Point locationInWindow() const { return location_; }
    gfx::Point previousLocationInWindow() const { return previous_; }
    // The location in the bounds space of `view` (the window's when null).
    gfx::Point locationInView(const View* view) const;
    gfx::Point previousLocationInView(const View* view) const;

private:
    friend class Window;
    std::weak_ptr<View> view_;
    std::weak_ptr<Window> window_;
    gfx::Point location_;
    gfx::Point previous_;
    std::vector<std::weak_ptr<GestureRecognizer>> recognizers_;
    bool deliveredToView_ = true;  // false once a recognizer has cancelled it for the view
};

using TouchSet = std::vector<std::shared_ptr<Touch>>;

} // namespace ui
