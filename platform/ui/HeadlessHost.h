#pragma once
// Shows a window without a display: renders it into an off-screen surface at the screen's scale,
// writes PNG snapshots, dumps the view tree as JSON, and injects touches through the window's
// real hit testing and gesture recognizers. It installs a virtual clock for as long as it lives,
// so tests move time with advance() instead of waiting. Main thread only.

#include "platform/core/Error.h"
#include "platform/core/Value.h"
#include "platform/dispatch/Clock.h"
#include "platform/gfx/Image.h"
#include "platform/ui/TextInput.h"
#include "platform/ui/Window.h"

#include <memory>
#include <string>

namespace ui {

class HeadlessHost {
public:
    explicit HeadlessHost(std::shared_ptr<Window> window);
    ~HeadlessHost();
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    const std::shared_ptr<Window>& window() const { return window_; }
    dispatch::VirtualClock& clock() { return *clock_; }

    // Moves time forward and runs the main queue's work that became due (animation ticks,
    // timers, completions).
    void advance(double seconds);

    // The window as it looks now, at the screen's scale.
    std::shared_ptr<const gfx::Image> snapshot();
    core::Status writeSnapshot(const std::string& path);

    // One entry per view: {"class", "frame": [x, y, w, h] in window points, "hidden", "alpha",
    // "text" (for views that show one), "subviews": [...]}.
    core::Value dumpTree();
    std::string dumpJson();

    void touchDown(gfx::Point p, int id = 0);
    void touchMove(gfx::Point p, int id = 0);
    void touchUp(gfx::Point p, int id = 0);
    void touchCancel(int id = 0);
    void tap(gfx::Point p);
    // Down at `from`, `steps` moves to `to`, up, advancing `stepSeconds` between events.
    void drag(gfx::Point from, gfx::Point to, int steps = 5, double stepSeconds = 1.0 / 60);
    // A touchpad's two-finger sideways swipe over `p`: `dx` points in all, in `steps` steps, then
    // the fingers lift (Window::scrollSwipe).
    void touchpadSwipe(gfx::Point p, double dx, int steps = 5, double stepSeconds = 1.0 / 60);
    // A wheel step over a window point (content points; positive y shows content further down);
    // false when nothing there could scroll that way.
    bool scrollWheel(gfx::Point p, gfx::Point delta);

    // Typing into the focused text input, as the desktop host's keyboard and input method do:
    // committed text, the input method's text in progress, editing keys and Ctrl+V.
    void typeText(const std::string& text);
    void setMarkedText(const std::string& text);
    void pressKey(EditingKey key);
    void paste();

private:
    std::shared_ptr<Window> window_;
    std::shared_ptr<dispatch::VirtualClock> clock_;
};

} // namespace ui
