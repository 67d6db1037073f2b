#pragma once
// The window: the root view of the tree that a host shows. It takes the screen's bounds unless
// told otherwise, routes touches (hit testing, then gesture recognizers, then the view) and lays
// out and draws its tree. Main thread only.

#include "platform/ui/View.h"

#include <map>

namespace ui {

class ViewController;

class Window : public View {
    QUILLORA_CLASS(Window)

    explicit Window(gfx::Rect frame);
    Window();

    void makeKeyAndVisible();
    bool isKeyWindow() const;

    // The controller whose view fills the window; setting one puts its view in (it appears at
    // once) and takes the old one's view out. Defined with the controllers.
    const std::shared_ptr<ViewController>& rootViewController() const { return rootViewController_; }
    void setRootViewController(std::shared_ptr<ViewController> controller);

    // A touch from the host, in window points. `id` tells fingers apart.
    void sendTouch(TouchPhase phase, gfx::Point location, int id = 0);
    // Cancels every touch in progress (the host lost the pointer).
    void cancelAllTouches();
    // A touchpad's two-finger sideways swipe over `location` (window points), `dx` points at a time
    // (positive: the fingers move right). The edge pans of the view under it and its ancestors
    // follow it as they follow a finger from the edge, the edge aside; false when none follows.
    // endScrollSwipe lets go.
    bool scrollSwipe(gfx::Point location, double dx);
    void endScrollSwipe();

    // A recognizer that began on its own (a long press's timer) takes its touch: the other
    // recognizers of the touch fail and, when it cancels touches in views, the view's touch ends.
    void recognizerDidBegin(GestureRecognizer& recognizer, const std::shared_ptr<Touch>& touch);

    // Lays out, ticks the animations, and draws the tree at the current media time.
    void render(gfx::Context& context);

private:
    // A new touch at `location`: its hit view and the recognizers it goes to, edge pans first.
    std::shared_ptr<Touch> touchComingDown(gfx::Point location);
    void deliver(TouchPhase phase, const std::shared_ptr<Touch>& touch);
    void claim(GestureRecognizer& r, const std::shared_ptr<Touch>& touch,
               const std::vector<std::shared_ptr<GestureRecognizer>>& live, TouchPhase phase);
    std::map<int, std::shared_ptr<Touch>> touches_;
    std::vector<std::weak_ptr<GestureRecognizer>> scrollSwipers_;  // the edge pans of the swipe under way
    std::shared_ptr<ViewController> rootViewController_;
};

} // namespace ui
