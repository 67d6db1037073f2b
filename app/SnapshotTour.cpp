#include "app/SnapshotTour.h"

#include "app/QUSwitchBaseController.h"
#include "indicators/IndicatorGallery.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"

#include <filesystem>

namespace app {

namespace {
core::Error failure(long long code, std::string text) { return core::Error{"app.snapshots", code, std::move(text), {}}; }
} // namespace

std::shared_ptr<ui::View> findView(const std::shared_ptr<ui::View>& root, std::string_view className) {
    if (!root) return nullptr;
    if (root->className() == className && !root->isHidden()) return root;
    for (const auto& child : root->subviews()) {
        if (auto found = findView(child, className)) return found;
    }
    return nullptr;
}

int countViews(const std::shared_ptr<ui::View>& root, std::string_view className) {
    if (!root) return 0;
    int n = root->className() == className ? 1 : 0;
    for (const auto& child : root->subviews()) n += countViews(child, className);
    return n;
}

SnapshotTour::SnapshotTour(std::shared_ptr<AppDelegate> delegate, std::string folder, Capture capture)
    : delegate_(std::move(delegate)), folder_(std::move(folder)), capture_(std::move(capture)) {}

// Nothing draws the window between pictures, so each look lays it out first, as a frame would:
// tables make their cells only then.
bool SnapshotTour::waitFor(const std::function<bool()>& done, double seconds) {
    return dispatch::RunLoop::main().runUntil(
        [&] {
            delegate_->window->layoutIfNeeded();
            return done();
        },
        seconds);
}

// Lets animations and queued work finish: the run loop keeps turning for that long.
void SnapshotTour::settle(double seconds) {
    const double end = dispatch::Clock::current().monotonicTime() + seconds;
    dispatch::RunLoop::main().runUntil([end] { return dispatch::Clock::current().monotonicTime() >= end; }, seconds + 1);
}

void SnapshotTour::tap(gfx::Point point) {
    delegate_->window->sendTouch(ui::TouchPhase::began, point);
    settle(0.05);
    delegate_->window->sendTouch(ui::TouchPhase::ended, point);
    dispatch::RunLoop::main().pump();
}

core::Status SnapshotTour::write(const std::string& name) {
    dispatch::RunLoop::main().pump();
    std::string path = (std::filesystem::path(folder_) / (name + ".png")).string();
    core::Status status = core::success();
    if (capture_) {
        status = capture_(path);
    } else {
        const auto& window = delegate_->window;
        gfx::BitmapContext context(window->bounds().size, ui::Screen::main().scale());
        window->render(context);
        status = context.makeImage()->writePng(path);
    }
    if (!status) return status;
    written_.push_back(path);
    return core::success();
}

core::Expected<std::vector<std::string>> SnapshotTour::run(double timeoutSeconds) {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) return failure(1, "cannot create " + folder_ + ": " + error.message());
    auto root = std::dynamic_pointer_cast<QUSwitchBaseController>(delegate_->window->rootViewController());
    if (!root) return failure(2, "the app has not launched");
    // Home: the tag groups of the service.
    auto homeView = root->mainController()->view();
    if (!waitFor([&] { return findView(homeView, "QUMainItemSeg") != nullptr; }, timeoutSeconds))
        return failure(3, "the home screen showed no tag groups; is the service running?");
    settle(0.6);
    if (auto status = write("home"); !status) return status.error();

    // The answer list of the first tag.
    auto group = findView(homeView, "QUMainItemSeg");
    auto tag = findView(group, "SegmentItemView");
    if (!tag) return failure(4, "the first tag group has no tags");
    tap(tag->convertPointToWindow({tag->bounds().width() / 2, tag->bounds().height() / 2}));
    auto stack = root->mainController()->navigationController();
    if (!waitFor([&] { return stack && stack->viewControllers().size() > 1 &&
                             findView(stack->topViewController()->view(), "QUMainAnswerCell") != nullptr; },
                 timeoutSeconds))
        return failure(5, "the answer list stayed empty");
    settle(0.8);
    if (auto status = write("answer-list"); !status) return status.error();
    stack->popViewControllerAnimated(false);
    settle(0.3);

    // The side menu over the home screen.
    root->presentSideMenu();
    settle(0.8);
    if (auto status = write("side-menu"); !status) return status.error();

    // The about page, chosen from the menu.
    root->menuRowSelected(2);
    // A real web view names the page once its document is in; off screen there is none.
    if (capture_) waitFor([&] { return !root->aboutController()->lvTitleLabel()->text().empty(); }, timeoutSeconds);
    settle(2);
    if (auto status = write("about"); !status) return status.error();

    // Every activity indicator, half a second into its animation whatever the wall clock did.
    const std::string gallery = (std::filesystem::path(folder_) / "indicators.png").string();
    if (auto status = indicators::IndicatorGallery().render(0.5, ui::Screen::main().scale())->writePng(gallery); !status)
        return status.error();
    written_.push_back(gallery);
    return written_;
}

} // namespace app
