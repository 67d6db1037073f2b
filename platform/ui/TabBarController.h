#pragma once
// Controllers side by side, one on screen at a time, chosen by code (selectedIndex) or by the
// tab bar along the bottom (49 points), which can be hidden. Main thread only.

#include "platform/ui/ViewController.h"

namespace ui {

class TabBarController : public ViewController {
    QUILLORA_CLASS(TabBarController)

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return controllers_; }
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers);
    long selectedIndex() const { return selected_; }
    void setSelectedIndex(long index);
    std::shared_ptr<ViewController> selectedViewController() const;
    // The bar along the bottom; hide it with tabBar()->setHidden(true).
    const std::shared_ptr<View>& tabBar() { view(); return tabBar_; }

    void loadView() override;
    static constexpr double kTabBarHeight = 49;

protected:
    std::vector<std::shared_ptr<ViewController>> childrenOnScreen() const override;

private:
    void place(const std::shared_ptr<ViewController>& controller);

    std::vector<std::shared_ptr<ViewController>> controllers_;
    std::shared_ptr<View> tabBar_;
    long selected_ = 0;
};

} // namespace ui
