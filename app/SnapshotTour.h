#pragma once
// A tour of the main screens for machines without a desktop: it drives the launched app on the
// real clock, with touches sent through the window like the desktop host's, and writes a PNG of
// each main screen (home, answer list, side menu, about page) into a folder, then one of every
// activity indicator (indicators.png).

#include "app/AppDelegate.h"
#include "platform/core/Error.h"

#include <functional>
#include <string>
#include <vector>

namespace app {

class SnapshotTour {
public:
    // Writes one picture of the window to a path.
    using Capture = std::function<core::Status(const std::string& path)>;

    // Without a capture the window is rendered off screen (web pages then show nothing).
    SnapshotTour(std::shared_ptr<AppDelegate> delegate, std::string folder, Capture capture = {});

    // Runs the tour; the paths written, or the first step that failed (the service did not answer
    // in time, a picture could not be written).
    core::Expected<std::vector<std::string>> run(double timeoutSeconds = 15);

private:
    bool waitFor(const std::function<bool()>& done, double seconds);
    void settle(double seconds);
    void tap(gfx::Point point);
    core::Status write(const std::string& name);

    std::shared_ptr<AppDelegate> delegate_;
    std::string folder_;
    Capture capture_;
    std::vector<std::string> written_;
};

// The first shown view of the tree under `root` whose class is `className`, depth first.
std::shared_ptr<ui::View> findView(const std::shared_ptr<ui::View>& root, std::string_view className);
// How many views of the tree under `root` (shown or not) are of the class `className`.
int countViews(const std::shared_ptr<ui::View>& root, std::string_view className);

} // namespace app
