#include "Commons/Button/NXButton.h"

namespace kit {

void NXButton::setAction(Action action) {
    _action = action ? std::move(action) : Action([](ui::Button&) {});
    removeTarget(nullptr, ui::allEvents);
    addTarget(std::static_pointer_cast<NXButton>(shared_from_this()), &NXButton::actionWithSender, ui::touchUpInside);
}

void NXButton::actionWithSender(ui::Control& sender) {
    // Copied first: the action may set a new action on this button while it runs.
    Action action = _action;
    action(static_cast<ui::Button&>(sender));
}

} // namespace kit
