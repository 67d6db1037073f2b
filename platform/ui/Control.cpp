#include "platform/ui/Control.h"

#include <algorithm>

namespace ui {

void Control::addTarget(std::weak_ptr<void> target, Action action, unsigned events) {
    auto locked = target.lock();
    actions_.push_back({target, locked.get(), locked != nullptr, std::move(action), events});
}

void Control::removeTarget(const void* target, unsigned events) {
    for (auto& e : actions_)
        if (!target || e.key == target) e.events &= ~events;
    std::erase_if(actions_, [](const Entry& e) { return e.events == 0; });
}

void Control::sendActionsForControlEvents(unsigned events) {
    auto self = std::static_pointer_cast<Control>(shared_from_this());  // an action may remove us
    auto snapshot = actions_;
    for (auto& e : snapshot) {
        if (!(e.events & events)) continue;
        if (e.hasTarget && e.target.expired()) continue;
        e.action(*this);
    }
    std::erase_if(actions_, [](const Entry& e) { return e.hasTarget && e.target.expired(); });
}

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    noteChildStateChanged();
    stateDidChange();
}
void Control::setSelected(bool selected) { if (selected_ != selected) { selected_ = selected; stateDidChange(); } }
void Control::setHighlighted(bool highlighted) {
    if (highlighted_ != highlighted) { highlighted_ = highlighted; stateDidChange(); }
}

unsigned Control::state() const {
    unsigned s = stateNormal;
    if (highlighted_) s |= stateHighlighted;
    if (!enabled_) s |= stateDisabled;
    if (selected_) s |= stateSelected;
    return s;
}

bool Control::inside(gfx::Point p) const { return bounds().insetBy(-kTrackingSlop, -kTrackingSlop).contains(p); }

void Control::touchesBegan(const TouchSet& touches) {
    if (!enabled_ || touches.empty()) return;
    tracking_ = true;
    touchInside_ = true;
    setHighlighted(true);
    sendActionsForControlEvents(touchDown);
}

void Control::touchesMoved(const TouchSet& touches) {
    if (!tracking_ || touches.empty()) return;
    bool now = inside(touches.front()->locationInView(this));
    bool was = touchInside_;
    touchInside_ = now;
    setHighlighted(now);
    if (now && !was) sendActionsForControlEvents(touchDragEnter);
    if (!now && was) sendActionsForControlEvents(touchDragExit);
    sendActionsForControlEvents(now ? touchDragInside : touchDragOutside);
}

void Control::touchesEnded(const TouchSet& touches) {
    if (!tracking_ || touches.empty()) return;
    tracking_ = false;
    bool in = inside(touches.front()->locationInView(this));
    touchInside_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(in ? touchUpInside : touchUpOutside);
}

void Control::touchesCancelled(const TouchSet&) {
    if (!tracking_) return;
    tracking_ = false;
    touchInside_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(touchCancel);
}

} // namespace ui
