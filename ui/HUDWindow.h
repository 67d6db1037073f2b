#pragma once
// Where the HUD, the toast and the banner put their views: the application's key window, or,
// when no window is key, the app's main window (the one the shared look took at start).
#include "platform/ui/Window.h"

#include <memory>

namespace kit {

std::shared_ptr<ui::Window> hudBackgroundWindow();

} // namespace kit
