#pragma once
// The application: its windows and the key window, and opening links with the desktop's default
// handler (through GLib's g_app_info_launch_default_for_uri, never a shell). Main thread only,
// except background tasks, which may begin and end on any thread.
//
// Lifecycle: the desktop host posts the notifications below on the default centre, on the main
// thread: did-enter-background when the window is iconified, will-terminate when the user closes
// the window, memory-warning when the system reports low memory. A background task asks the host
// to keep the process alive (after its window closed) until the task ends or its time runs out,
// when its expiry handler is called.

#include "platform/core/Object.h"
#include "platform/gfx/Rect.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ui {

class Window;

class Application {
public:
    static Application& shared();

    // Posted on the default centre when the app goes to the background.
    static constexpr const char* kDidEnterBackgroundNotification = "ApplicationDidEnterBackgroundNotification";
    // Posted once when the app is about to end.
    static constexpr const char* kWillTerminateNotification = "ApplicationWillTerminateNotification";
    // Posted when the system runs low on memory: drop what can be rebuilt.
    static constexpr const char* kDidReceiveMemoryWarningNotification = "ApplicationDidReceiveMemoryWarningNotification";

    // Posted before the interface turns to another orientation (the phone window here never turns;
    // a host or a test may post it), with sender() as object.
    static constexpr const char* kWillChangeStatusBarOrientationNotification =
        "ApplicationWillChangeStatusBarOrientationNotification";
    // The object that stands for the application as the sender of its notifications.
    static const std::shared_ptr<core::Object>& sender();
    // The status bar's strip at the top of the screen, in screen points.
    gfx::Rect statusBarFrame() const;

    // The host (or a test) reports a lifecycle event; each posts its notification.
    void didEnterBackground();
    void willTerminate();
    void didReceiveMemoryWarning();

    using BackgroundTaskIdentifier = std::uint64_t;
    static constexpr BackgroundTaskIdentifier kBackgroundTaskInvalid = 0;
    // Starts a background task; `expirationHandler` is called (on the main thread) if the task's time
    // runs out first, and must end the task. Ending an unknown or invalid identifier does nothing.
    BackgroundTaskIdentifier beginBackgroundTask(std::function<void()> expirationHandler = {});
    void endBackgroundTask(BackgroundTaskIdentifier identifier);
    std::size_t backgroundTaskCount() const;
    // Calls the expiry handler of every task still running, then forgets those tasks (the host does
    // this when it stops waiting for them).
    void expireBackgroundTasks();

    std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
    void setKeyWindow(const std::shared_ptr<Window>& window);
    std::vector<std::shared_ptr<Window>> windows() const;

    // Opens the link; the completion (if any) learns whether a handler took it.
    bool canOpenURL(const std::string& url) const;
    void openURL(const std::string& url, std::function<void(bool success)> completion = {});
    // Replaces the launcher (tests record what would have been opened); nullptr restores GLib's.
    void setURLLauncherForTesting(std::function<bool(const std::string&)> launcher) { launcher_ = std::move(launcher); }
    // Replaces canOpenURL's answer (tests decide which links have a handler); nullptr restores it.
    void setURLCheckerForTesting(std::function<bool(const std::string&)> checker) { checker_ = std::move(checker); }

private:
    std::weak_ptr<Window> keyWindow_;
    std::vector<std::weak_ptr<Window>> windows_;
    std::function<bool(const std::string&)> launcher_;
    std::function<bool(const std::string&)> checker_;
    mutable std::mutex tasksMutex_;
    BackgroundTaskIdentifier nextTask_ = 1;
    std::map<BackgroundTaskIdentifier, std::function<void()>> tasks_;
};

} // namespace ui
