#include "ui/HUDWindow.h"

#include "platform/ui/Application.h"
#include "ui/c.h"

namespace kit {

std::shared_ptr<ui::Window> hudBackgroundWindow() {
    if (auto key = ui::Application::shared().keyWindow()) return key;
    return c::window();
}

} // namespace kit
