#pragma once
// A control: a view that tracks a touch, shows its state (highlighted while a touch is down
// inside it, selected, enabled) and sends actions to targets for control events.
//
// Targets are held weakly: an action whose target has gone is skipped (and dropped). A null
// target means the action has no object behind it and always runs. While tracking, "inside"
// means within the bounds grown by 70 points on every side, so a finger may wander a little.
// A disabled control still takes the touch but neither tracks nor sends anything.

#include "platform/ui/View.h"

#include <functional>
#include <memory>

namespace ui {

enum ControlEvents : unsigned {
    touchDown = 1u << 0,
    touchDownRepeat = 1u << 1,
    touchDragInside = 1u << 2,
    touchDragOutside = 1u << 3,
    touchDragEnter = 1u << 4,
    touchDragExit = 1u << 5,
    touchUpInside = 1u << 6,
    touchUpOutside = 1u << 7,
    touchCancel = 1u << 8,
    valueChanged = 1u << 12,
    allTouchEvents = 0x0fffu,
    allEvents = 0xffffffffu,
};

enum ControlState : unsigned {
    stateNormal = 0,
    stateHighlighted = 1u << 0,
    stateDisabled = 1u << 1,
    stateSelected = 1u << 2,
};

class Control : public View {
    QUILLORA_CLASS(Control)

    using View::View;
    static constexpr double kTrackingSlop = 70;

    using Action = std::function<void(Control& sender)>;

    void addTarget(std::weak_ptr<void> target, Action action, unsigned events);
    template <class T>
    void addTarget(const std::shared_ptr<T>& target, void (T::*method)(Control&), unsigned events) {
        std::weak_ptr<T> weak = target;
        addTarget(std::weak_ptr<void>(target), [weak, method](Control& sender) {
            if (auto t = weak.lock()) ((*t).*method)(sender);
        }, events);
    }
    // Removes the actions of `target` (every target when null) for the given events.
    void removeTarget(const void* target, unsigned events);
    size_t actionCount() const { return actions_.size(); }
    void sendActionsForControlEvents(unsigned events);

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    unsigned state() const;
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    void touchesBegan(const TouchSet& touches) override;
    void touchesMoved(const TouchSet& touches) override;
    void touchesEnded(const TouchSet& touches) override;
    void touchesCancelled(const TouchSet& touches) override;

protected:
    // Called whenever enabled, selected or highlighted changes.
    virtual void stateDidChange() {}

private:
    struct Entry {
        std::weak_ptr<void> target;
        const void* key;
        bool hasTarget;
        Action action;
        unsigned events;
    };
    bool inside(gfx::Point p) const;

    std::vector<Entry> actions_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
};

} // namespace ui
