// The application's lifecycle notifications and background tasks.

#include "platform/core/NotificationCenter.h"
#include "platform/ui/Application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ui {
namespace {

TEST(ui_Application, LifecycleEventsPostTheirNotifications) {
    std::vector<std::string> heard;
    auto& center = core::NotificationCenter::defaultCenter();
    auto record = [&](const core::Notification& n) { heard.push_back(n.name); };
    auto a = center.addObserver(Application::kDidEnterBackgroundNotification, record);
    auto b = center.addObserver(Application::kWillTerminateNotification, record);
    auto c = center.addObserver(Application::kDidReceiveMemoryWarningNotification, record);
    auto& app = Application::shared();
    app.didReceiveMemoryWarning();
    app.didEnterBackground();
    app.willTerminate();
    EXPECT_EQ(heard, (std::vector<std::string>{Application::kDidReceiveMemoryWarningNotification,
                                               Application::kDidEnterBackgroundNotification,
                                               Application::kWillTerminateNotification}));
}

TEST(ui_Application, BackgroundTasksEndOnceAndExpireThroughTheirHandlers) {
    auto& app = Application::shared();
    int expired = 0;
    auto first = app.beginBackgroundTask([&] { ++expired; });
    auto second = app.beginBackgroundTask([&] { ++expired; });
    EXPECT_NE(first, Application::kBackgroundTaskInvalid);
    EXPECT_NE(first, second);
    EXPECT_EQ(app.backgroundTaskCount(), 2u);
    app.endBackgroundTask(first);
    app.endBackgroundTask(first);
    app.endBackgroundTask(Application::kBackgroundTaskInvalid);
    EXPECT_EQ(app.backgroundTaskCount(), 1u);
    // The expiry handler may end its own task, as a well-behaved caller does.
    Application::BackgroundTaskIdentifier third = app.beginBackgroundTask([&] {
        ++expired;
        app.endBackgroundTask(third);
    });
    app.expireBackgroundTasks();
    EXPECT_EQ(expired, 2);  // the ended task's handler never runs
    EXPECT_EQ(app.backgroundTaskCount(), 0u);
}

} // namespace
} // namespace ui
