#pragma once
// The application delegate: on launch it builds the window and the root controller, watches the
// network, gives the server holder its defaults and runs the first server switch; each time the
// network comes back it runs the switch again. Main thread only.

#include "network/Reachability.h"
#include "platform/core/Object.h"
#include "platform/ui/Window.h"

#include <memory>

namespace app {

class AppDelegate : public core::Object {
    QUILLORA_CLASS(AppDelegate)

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<network::Reachability> reach;

    bool didFinishLaunchingWithOptions();
    void applicationWillResignActive() {}
    void applicationDidEnterBackground() {}
    void applicationWillEnterForeground() {}
    void applicationDidBecomeActive() {}
    void applicationWillTerminate() {}

    // The completion of every server switch: the home page reloads its tag list (now if it is on
    // screen, else when it next appears).
    static void homeRefresh();
};

} // namespace app
