#include "platform/ui/Window.h"

#include "platform/ca/AnimationTicker.h"
#include "platform/ca/MediaTime.h"
#include "platform/ca/Renderer.h"
#include "platform/ui/Application.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Screen.h"

#include <algorithm>

namespace ui {

Window::Window(gfx::Rect frame) : View(frame) { isWindow_ = true; }
Window::Window() : View(Screen::main().bounds()) { isWindow_ = true; }

void Window::makeKeyAndVisible() {
    setHidden(false);
    Application::shared().setKeyWindow(std::static_pointer_cast<Window>(shared_from_this()));
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow().get() == this; }

gfx::Point Touch::locationInView(const View* view) const { return view ? view->convertPointFromWindow(location_) : location_; }
gfx::Point Touch::previousLocationInView(const View* view) const {
    return view ? view->convertPointFromWindow(previous_) : previous_;
}

void Window::sendTouch(TouchPhase phase, gfx::Point location, int id) {
    Keyboard::shared().keepOnTop(*this);
    layoutIfNeeded();
    auto it = touches_.find(id);
    std::shared_ptr<Touch> touch;
    if (phase == TouchPhase::began) {
        if (it != touches_.end()) deliver(TouchPhase::cancelled, it->second);  // a lost lift-off
        touch = touchComingDown(location);
        touches_[id] = touch;
    } else {
        if (it == touches_.end()) return;
        touch = it->second;
        touch->previous_ = touch->location_;
        touch->location_ = location;
    }
    touch->timestamp = ca::currentMediaTime();
    deliver(phase, touch);
    if (phase == TouchPhase::ended || phase == TouchPhase::cancelled) touches_.erase(id);
}

void Window::cancelAllTouches() {
    auto all = touches_;
    for (auto& [id, touch] : all) sendTouch(TouchPhase::cancelled, touch->locationInWindow(), id);
}

std::shared_ptr<Touch> Window::touchComingDown(gfx::Point location) {
    auto touch = std::make_shared<Touch>();
    touch->window_ = std::static_pointer_cast<Window>(shared_from_this());
    touch->location_ = touch->previous_ = location;
    auto hit = hitTest(location);
    touch->view_ = hit;
    for (auto v = hit; v; v = v->superview())
        for (const auto& r : v->gestureRecognizers())
            if (r->isEnabled() && r->shouldReceiveTouch(touch)) touch->recognizers_.push_back(r);
    // A swipe from the edge belongs to the edge pans before anything under it.
    std::stable_partition(touch->recognizers_.begin(), touch->recognizers_.end(), [](const auto& weak) {
        auto r = weak.lock();
        return r && r->isEdgePan();
    });
    return touch;
}

bool Window::scrollSwipe(gfx::Point location, double dx) {
    if (scrollSwipers_.empty()) {
        layoutIfNeeded();
        // The edge pans that a touch coming down there would reach (their gates look at where it lands).
        const auto touch = touchComingDown(location);
        for (auto& weak : touch->recognizers_)
            if (auto r = weak.lock(); r && r->isEdgePan() && r->state() == GestureRecognizer::State::possible)
                scrollSwipers_.push_back(r);
    }
    bool following = false;
    for (auto& weak : scrollSwipers_) {
        auto r = std::static_pointer_cast<PanGestureRecognizer>(weak.lock());
        if (!r) continue;
        r->scrollSwipeBy({dx, 0});
        following = following || r->state() != GestureRecognizer::State::failed;
    }
    if (!following) endScrollSwipe();
    return following;
}

void Window::endScrollSwipe() {
    auto swipers = std::move(scrollSwipers_);
    scrollSwipers_.clear();
    for (auto& weak : swipers)
        if (auto r = std::static_pointer_cast<PanGestureRecognizer>(weak.lock())) {
            r->scrollSwipeEnded();
            r->reset();
        }
}

void Window::deliver(TouchPhase phase, const std::shared_ptr<Touch>& touch) {
    touch->phase = phase;
    TouchSet set{touch};
    using State = GestureRecognizer::State;
    std::vector<std::shared_ptr<GestureRecognizer>> live;
    for (auto& weak : touch->recognizers_)
        if (auto r = weak.lock()) live.push_back(r);

    for (auto& r : live) {
        State before = r->state();
        if (before == State::failed || before == State::cancelled || (before == State::ended && phase != TouchPhase::began)) continue;
        r->lastLocationInWindow_ = touch->locationInWindow();
        switch (phase) {
        case TouchPhase::began: r->touchesBegan(set); break;
        case TouchPhase::moved:
        case TouchPhase::stationary: r->touchesMoved(set); break;
        case TouchPhase::ended: r->touchesEnded(set); break;
        case TouchPhase::cancelled: r->touchesCancelled(set); break;
        }
        State after = r->state();
        bool recognizes = before == State::possible && (after == State::began || after == State::ended);
        // Recognizers allowed to recognize alongside it go on; the others have failed.
        if (recognizes) claim(*r, touch, live, phase);
    }

    if (touch->deliveredToView_) {
        if (auto v = touch->view()) {
            switch (phase) {
            case TouchPhase::began: v->touchesBegan(set); break;
            case TouchPhase::moved:
            case TouchPhase::stationary: v->touchesMoved(set); break;
            case TouchPhase::ended: v->touchesEnded(set); break;
            case TouchPhase::cancelled: v->touchesCancelled(set); break;
            }
        }
    }
    if (phase == TouchPhase::ended || phase == TouchPhase::cancelled) {
        for (auto& r : live) r->reset();
    }
}

void Window::claim(GestureRecognizer& r, const std::shared_ptr<Touch>& touch,
                   const std::vector<std::shared_ptr<GestureRecognizer>>& live, TouchPhase phase) {
    using State = GestureRecognizer::State;
    TouchSet set{touch};
    // The first recognizer wins: the others of this touch fail, unless a delegate lets both go on.
    for (auto& other : live)
        if (other.get() != &r && other->state() == State::possible && !r.canRecognizeSimultaneouslyWith(*other))
            other->touchesCancelled(set);
    if (r.cancelsTouchesInView() && touch->deliveredToView_) {
        touch->deliveredToView_ = false;
        if (phase != TouchPhase::began)
            if (auto v = touch->view()) v->touchesCancelled(set);
    }
}

void Window::recognizerDidBegin(GestureRecognizer& recognizer, const std::shared_ptr<Touch>& touch) {
    std::vector<std::shared_ptr<GestureRecognizer>> live;
    for (auto& weak : touch->recognizers_)
        if (auto r = weak.lock()) live.push_back(r);
    claim(recognizer, touch, live, TouchPhase::moved);
}

void Window::render(gfx::Context& context) {
    Keyboard::shared().keepOnTop(*this);
    layoutIfNeeded();
    ca::AnimationTicker::shared().tick();
    ca::Renderer::render(*layer(), context, ca::currentMediaTime());
}

} // namespace ui
