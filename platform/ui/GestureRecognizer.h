#pragma once
// Recognizes a gesture from the touches that begin in its view or the view's subviews. The window
// hands every touch to the recognizers of the hit view and its ancestors before the view itself.
// When a recognizer recognizes its gesture (a discrete one ends, a continuous one begins) with
// cancelsTouchesInView set, the view gets touchesCancelled for those touches and the other
// recognizers of the touch fail. Actions run on recognition (and on each change of a continuous
// gesture). Main thread only.

#include "platform/gfx/Point.h"
#include "platform/ui/Touch.h"

#include <functional>
#include <memory>
#include <vector>

namespace ui {

class View;

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
    // The centroid of the current touches in `view`'s bounds space (the window's when null).
    gfx::Point locationInView(const View* view) const;

    // Touch input from the window.
    virtual void touchesBegan(const TouchSet& touches) = 0;
    virtual void touchesMoved(const TouchSet& touches) = 0;
    virtual void touchesEnded(const TouchSet& touches) = 0;
    virtual void touchesCancelled(const TouchSet& touches);
    // Back to the possible state once all its touches are gone.
    virtual void reset();

protected:
    void setState(State state);
    TouchSet touches_;

private:
    friend class View;
    void setView(std::weak_ptr<View> view) { view_ = std::move(view); }

    std::weak_ptr<View> view_;
    std::vector<Action> actions_;
    State state_ = State::possible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
};

} // namespace ui
