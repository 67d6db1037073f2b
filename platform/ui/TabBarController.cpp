#include "platform/ui/TabBarController.h"

namespace ui {

void TabBarController::loadView() {
    ViewController::loadView();
    const auto& v = view();
    v->setBackgroundColor(gfx::Color::whiteColor());
    gfx::Rect b = v->bounds();
    tabBar_ = core::make<View>(gfx::Rect{0, b.height() - kTabBarHeight, b.width(), kTabBarHeight});
    tabBar_->setBackgroundColor(gfx::Color::rgb(248, 248, 248));
    tabBar_->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleTopMargin);
    v->addSubview(tabBar_);
    if (auto selected = selectedViewController()) place(selected);
}

void TabBarController::place(const std::shared_ptr<ViewController>& controller) {
    const auto& v = view();
    const auto& child = controller->view();
    // The child fills the whole view; a visible tab bar lies over its bottom.
    child->setFrame(v->bounds());
    child->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
    v->insertSubview(child, 0);
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const {
    if (selected_ < 0 || selected_ >= static_cast<long>(controllers_.size())) return nullptr;
    return controllers_[static_cast<size_t>(selected_)];
}

std::vector<std::shared_ptr<ViewController>> TabBarController::childrenOnScreen() const {
    if (auto s = selectedViewController()) return {s};
    return {};
}

void TabBarController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers) {
    auto old = selectedViewController();
    bool onScreen = isAppearing();
    if (old && onScreen) old->beginAppearanceTransition(false, false);
    if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
    if (old && onScreen) old->endAppearanceTransition();
    for (auto& c : controllers_) c->removeFromParentViewController();
    controllers_ = std::move(controllers);
    for (auto& c : controllers_) addChildViewController(c);
    selected_ = 0;
    auto now = selectedViewController();
    if (!now || !isViewLoaded()) return;
    if (onScreen) now->beginAppearanceTransition(true, false);
    place(now);
    if (onScreen) now->endAppearanceTransition();
}

void TabBarController::setSelectedIndex(long index) {
    if (index < 0 || index >= static_cast<long>(controllers_.size()) || index == selected_) return;
    auto from = selectedViewController();
    selected_ = index;
    auto to = selectedViewController();
    if (!isViewLoaded()) return;
    bool onScreen = isAppearing();
    to->view();  // loaded before it hears that it appears
    if (onScreen) {
        from->beginAppearanceTransition(false, false);
        to->beginAppearanceTransition(true, false);
    }
    if (from->isViewLoaded()) from->view()->removeFromSuperview();
    place(to);
    if (onScreen) {
        from->endAppearanceTransition();
        to->endAppearanceTransition();
    }
}

} // namespace ui
