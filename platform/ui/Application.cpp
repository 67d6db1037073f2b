#include "platform/ui/Application.h"

#include "platform/core/Log.h"
#include "platform/core/NotificationCenter.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <gio/gio.h>

#include <algorithm>

namespace ui {

Application& Application::shared() {
    static Application app;
    return app;
}

namespace {
class ApplicationSender : public core::Object {
    QUILLORA_CLASS(Application)
};
} // namespace

const std::shared_ptr<core::Object>& Application::sender() {
    static const std::shared_ptr<core::Object> object = std::make_shared<ApplicationSender>();
    return object;
}

gfx::Rect Application::statusBarFrame() const {
    return {0, 0, Screen::main().bounds().width(), Screen::main().statusBarHeight()};
}

void Application::setKeyWindow(const std::shared_ptr<Window>& window) {
    keyWindow_ = window;
    std::erase_if(windows_, [](const auto& w) { return w.expired(); });
    bool known = std::any_of(windows_.begin(), windows_.end(), [&](const auto& w) { return w.lock() == window; });
    if (window && !known) windows_.push_back(window);
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::shared_ptr<Window>> out;
    for (const auto& w : windows_)
        if (auto s = w.lock()) out.push_back(s);
    return out;
}

void Application::didEnterBackground() {
    core::NotificationCenter::defaultCenter().post(kDidEnterBackgroundNotification);
}

void Application::willTerminate() {
    core::NotificationCenter::defaultCenter().post(kWillTerminateNotification);
}

void Application::didReceiveMemoryWarning() {
    core::NotificationCenter::defaultCenter().post(kDidReceiveMemoryWarningNotification);
}

Application::BackgroundTaskIdentifier Application::beginBackgroundTask(std::function<void()> expirationHandler) {
    std::lock_guard lock(tasksMutex_);
    BackgroundTaskIdentifier id = nextTask_++;
    tasks_.emplace(id, std::move(expirationHandler));
    return id;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier identifier) {
    std::lock_guard lock(tasksMutex_);
    tasks_.erase(identifier);
}

std::size_t Application::backgroundTaskCount() const {
    std::lock_guard lock(tasksMutex_);
    return tasks_.size();
}

void Application::expireBackgroundTasks() {
    std::map<BackgroundTaskIdentifier, std::function<void()>> expiring;
    {
        std::lock_guard lock(tasksMutex_);
        expiring.swap(tasks_);
    }
    // Handlers run outside the lock: they end their own task, which is already gone.
    for (auto& [id, handler] : expiring)
        if (handler) handler();
}

bool Application::canOpenURL(const std::string& url) const {
    if (checker_) return checker_(url);
    gchar* scheme = g_uri_parse_scheme(url.c_str());
    if (!scheme) return false;
    GAppInfo* handler = g_app_info_get_default_for_uri_scheme(scheme);
    bool can = handler != nullptr || launcher_;
    if (handler) g_object_unref(handler);
    g_free(scheme);
    return can;
}

void Application::openURL(const std::string& url, std::function<void(bool)> completion) {
    bool ok = false;
    if (launcher_) {
        ok = launcher_(url);
    } else {
        GError* error = nullptr;
        ok = g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error);
        if (!ok) {
            core::log("Could not open " + url + ": " + (error ? error->message : "no handler"));
            if (error) g_error_free(error);
        }
    }
    if (completion) dispatch::Queue::main()->async([completion, ok] { completion(ok); });
}

} // namespace ui
