#pragma once
// The edit menu: a dark rounded bar in the key window with the commands the first responder can
// perform, among "copy:" (拷贝), "select:" (选择) and "selectAll:" (全选), in that order. It
// stands above its target rectangle, or below it when there is no room above; a tap on a
// command hides the bar and has the first responder perform it. Showing it without a first
// responder that can perform any of the commands shows nothing. Main thread only.

#include "platform/gfx/Rect.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class View;

class MenuController {
public:
    struct Item {
        const char* action;
        const char* title;
    };
    static constexpr Item kItems[] = {{"copy:", "拷贝"}, {"select:", "选择"}, {"selectAll:", "全选"}};
    static constexpr double kBarHeight = 36;
    static constexpr double kGap = 6;  // between the bar and its target

    static MenuController& shared();

    // The rectangle to point at, in `view`'s bounds space (the key window's when null).
    void setTargetRect(const gfx::Rect& rect, const std::shared_ptr<View>& view);
    bool isMenuVisible() const { return visible_; }
    // Shows (fading in over 0.1 s when animated) or hides the bar.
    void setMenuVisible(bool visible, bool animated);

    // The bar while it is shown, and the commands it offers.
    std::shared_ptr<View> menuView() const { return visible_ ? bar_ : nullptr; }
    const std::vector<std::string>& visibleActions() const { return actions_; }

private:
    MenuController() = default;
    friend class MenuBarView;
    void perform(const std::string& action);

    gfx::Rect targetRect_;
    std::weak_ptr<View> targetView_;
    std::shared_ptr<View> bar_;
    std::vector<std::string> actions_;
    bool visible_ = false;
};

} // namespace ui
