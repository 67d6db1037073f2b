#pragma once
// The application: its windows and the key window, and opening links with the desktop's default
// handler (through GLib's g_app_info_launch_default_for_uri, never a shell). Main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class Window;

class Application {
public:
    static Application& shared();

    // Posted on the default centre when the app goes to the background.
    static constexpr const char* kDidEnterBackgroundNotification = "ApplicationDidEnterBackgroundNotification";

    std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
    void setKeyWindow(const std::shared_ptr<Window>& window);
    std::vector<std::shared_ptr<Window>> windows() const;

    // Opens the link; the completion (if any) learns whether a handler took it.
    bool canOpenURL(const std::string& url) const;
    void openURL(const std::string& url, std::function<void(bool success)> completion = {});
    // Replaces the launcher (tests record what would have been opened); nullptr restores GLib's.
    void setURLLauncherForTesting(std::function<bool(const std::string&)> launcher) { launcher_ = std::move(launcher); }

private:
    std::weak_ptr<Window> keyWindow_;
    std::vector<std::weak_ptr<Window>> windows_;
    std::function<bool(const std::string&)> launcher_;
};

} // namespace ui
