#pragma once
// Recognizes a gesture from the touches that begin in its view or the view's subviews. The window
// hands every touch to the recognizers of the hit view and its ancestors before the view itself.
// When a recognizer recognizes its gesture (a discrete one ends, a continuous one begins) with
// cancelsTouchesInView set, the view gets touchesCancelled for those touches and the other
// recognizers of the touch fail. Actions run on recognition (and on each change of a continuous
// gesture). Main thread only.
//
// A recognizer told to require another one to fail holds its recognition back while the other
// is still tracking touches (a single tap waiting for a double tap): it recognizes once the
// other fails, and fails itself if the other recognizes. A delegate can keep touches away from
// a recognizer; it is asked once per touch, when the touch comes down. After its touches are
// gone a recognizer still reports where the last one was (locationInView), for actions that run
// at or after the end.

#include "platform/gfx/Point.h"
#include "platform/ui/Touch.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ui {

class View;
class Window;
class GestureRecognizer;

class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    // False keeps the touch away from the recognizer.
    virtual bool shouldReceiveTouch(GestureRecognizer& recognizer, const std::shared_ptr<Touch>& touch) {
        (void)recognizer;
        (void)touch;
        return true;
    }
    // True lets both recognize the same touch; by default the first to recognize makes the other
    // fail. Either recognizer's delegate may allow it.
    virtual bool shouldRecognizeSimultaneously(GestureRecognizer& recognizer, GestureRecognizer& other) {
        (void)recognizer;
        (void)other;
        return false;
    }
};

class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    enum class State { possible, began, changed, ended, cancelled, failed };
    static constexpr State recognized = State::ended;

    using Action = std::function<void(GestureRecognizer&)>;

    virtual ~GestureRecognizer() = default;

    void addAction(Action action) { actions_.push_back(std::move(action)); }
    State state() const { return state_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
    std::shared_ptr<View> view() const { return view_.lock(); }
    void setDelegate(std::weak_ptr<GestureRecognizerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<GestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    bool shouldReceiveTouch(const std::shared_ptr<Touch>& touch);
    bool canRecognizeSimultaneouslyWith(GestureRecognizer& other);
    // This recognizer recognizes only once `other` has failed (it is held weakly).
    void requireGestureRecognizerToFail(const std::shared_ptr<GestureRecognizer>& other);
    // The centroid of the current touches in `view`'s bounds space (the window's when null); once
    // they are gone, where the last touch was.
    gfx::Point locationInView(const View* view) const;

    // Touch input from the window.
    virtual void touchesBegan(const TouchSet& touches) = 0;
    virtual void touchesMoved(const TouchSet& touches) = 0;
    virtual void touchesEnded(const TouchSet& touches) = 0;
    virtual void touchesCancelled(const TouchSet& touches);
    // Back to the possible state once all its touches are gone.
    virtual void reset();
    // Edge pans are handed a touch before the other recognizers of it.
    virtual bool isEdgePan() const { return false; }

protected:
    void setState(State state);
    // setState in two steps: the state change (false when nothing is to be told: the
    // recognition is held back, or the state has no actions), then the actions.
    bool enterState(State state);
    void runActions();
    // Whether the recognizer is still following a gesture (touches down, or between the taps of
    // a multi-tap), so that recognizers that require it to fail must wait.
    virtual bool isTracking() const { return !touches_.empty(); }
    TouchSet touches_;

private:
    friend class View;
    friend class Window;
    void setView(std::weak_ptr<View> view) { view_ = std::move(view); }
    void requiredRecognizerDidFinish(bool failed);

    std::weak_ptr<View> view_;
    std::weak_ptr<GestureRecognizerDelegate> delegate_;
    std::weak_ptr<GestureRecognizer> requiredToFail_;
    std::vector<std::weak_ptr<GestureRecognizer>> dependents_;
    std::optional<State> waitingState_;  // recognition held back until requiredToFail_ fails
    gfx::Point lastLocationInWindow_;
    std::vector<Action> actions_;
    State state_ = State::possible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
};

} // namespace ui
