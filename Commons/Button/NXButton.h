#pragma once
// A button whose tap action is a closure. Setting the action removes every target the button has
// for every event (also targets other code attached) and makes the button its own target for
// touch-up-inside; a new button has no target and ignores taps. Closures that refer to a page
// capture it weakly. Main thread only.
#include "platform/ui/Button.h"

#include <functional>

namespace kit {

class NXButton : public ui::Button {
    QUILLORA_CLASS(NXButton)
    using Action = std::function<void(ui::Button& sender)>;

    using ui::Button::Button;

    void setAction(Action action);
    // Runs the action with the sender (the button itself, on a tap).
    virtual void actionWithSender(ui::Control& sender);

private:
    Action _action = [](ui::Button&) {};
};

} // namespace kit
