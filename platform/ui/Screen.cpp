#include "platform/ui/Screen.h"

#include "platform/core/Log.h"

#include <cstdlib>

namespace ui {

DeviceProfile DeviceProfile::phone() { return {"phone", {375, 667}, 2, 20, UserInterfaceIdiom::phone, {}}; }

std::optional<DeviceProfile> DeviceProfile::named(std::string_view name) {
    if (name == "phone") return phone();
    if (name == "phone-notch") return DeviceProfile{"phone-notch", {375, 812}, 3, 44, UserInterfaceIdiom::phone, {44, 0, 34, 0}};
    if (name == "pad") return DeviceProfile{"pad", {768, 1024}, 2, 20, UserInterfaceIdiom::pad, {}};
    return std::nullopt;
}

Screen::Screen() : profile_(DeviceProfile::phone()) {
    if (const char* name = std::getenv("QUILLORA_DEVICE")) {
        if (auto p = DeviceProfile::named(name)) profile_ = *p;
        else core::log(std::string("Unknown device profile ") + name + "; using phone");
    }
}

Screen& Screen::main() {
    static Screen screen;
    return screen;
}

} // namespace ui
