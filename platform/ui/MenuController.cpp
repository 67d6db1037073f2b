#include "platform/ui/MenuController.h"

#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace ui {
namespace {

constexpr double kPadding = 14;
constexpr double kMargin = 8;  // kept between the bar and the window's edges

} // namespace

// The bar: a rounded dark strip of titles with thin separators; it takes its own touches.
class MenuBarView : public View {
    QUILLORA_CLASS(MenuBarView)
    using View::View;

    std::vector<std::pair<double, std::string>> ends;  // right edge of each command, and its action
    std::string pressed;

    std::string actionAt(gfx::Point p) const {
        if (!bounds().contains(p)) return {};
        for (const auto& [end, action] : ends)
            if (p.x < end) return action;
        return {};
    }
    void touchesBegan(const TouchSet& t) override { pressed = actionAt(t.front()->locationInView(this)); }
    void touchesMoved(const TouchSet&) override {}
    void touchesCancelled(const TouchSet&) override { pressed.clear(); }
    void touchesEnded(const TouchSet& t) override {
        std::string action = actionAt(t.front()->locationInView(this));
        if (!action.empty() && action == pressed) MenuController::shared().perform(action);
        pressed.clear();
    }
};

MenuController& MenuController::shared() {
    static MenuController menu;
    return menu;
}

void MenuController::setTargetRect(const gfx::Rect& rect, const std::shared_ptr<View>& view) {
    targetRect_ = rect;
    targetView_ = view;
}

void MenuController::setMenuVisible(bool visible, bool animated) {
    if (!visible) {
        visible_ = false;
        actions_.clear();
        if (bar_) bar_->removeFromSuperview();
        return;
    }
    auto window = Application::shared().keyWindow();
    auto responder = Keyboard::shared().firstResponder();
    std::vector<std::string> actions;
    if (responder)
        for (const Item& item : kItems)
            if (responder->canPerformAction(item.action)) actions.emplace_back(item.action);
    if (!window || actions.empty()) return setMenuVisible(false, false);

    auto bar = core::make<MenuBarView>();
    bar->setBackgroundColor(gfx::Color{0.12, 0.12, 0.12, 0.94});
    bar->layer()->setCornerRadius(8);
    bar->setClipsToBounds(true);
    double x = 0;
    for (size_t i = 0; i < actions.size(); ++i) {
        const char* title = "";
        for (const Item& item : kItems)
            if (actions[i] == item.action) title = item.title;
        if (i > 0) {
            auto line = core::make<View>(gfx::Rect{x, 8, 1, kBarHeight - 16});
            line->setBackgroundColor(gfx::Color{1, 1, 1, 0.3});
            bar->addSubview(line);
            x += 1;
        }
        auto label = core::make<Label>();
        label->setText(title);
        label->setFont(gfx::Font::systemFont(14));
        label->setTextColor(gfx::Color::whiteColor());
        label->setTextAlignment(TextAlignment::center);
        double w = label->sizeThatFits({0, 0}).width + 2 * kPadding;
        label->setFrame({x, 0, w, kBarHeight});
        bar->addSubview(label);
        x += w;
        bar->ends.emplace_back(x, actions[i]);
    }

    gfx::Rect target = targetRect_;
    if (auto v = targetView_.lock()) target = v->convertRect(targetRect_, nullptr);
    gfx::Rect wb = window->bounds();
    double left = std::clamp(target.midX() - x / 2, wb.minX() + kMargin, std::max(wb.minX() + kMargin, wb.maxX() - kMargin - x));
    double top = target.minY() - kGap - kBarHeight;
    if (top < wb.minY() + kMargin) top = target.maxY() + kGap;  // no room above
    bar->setFrame({left, top, x, kBarHeight});

    if (bar_) bar_->removeFromSuperview();
    bar_ = bar;
    actions_ = std::move(actions);
    visible_ = true;
    window->addSubview(bar);
    if (animated) {
        bar->setAlpha(0);
        View::animate(0.1, [bar] { bar->setAlpha(1); });
    }
}

void MenuController::perform(const std::string& action) {
    auto responder = Keyboard::shared().firstResponder();
    setMenuVisible(false, false);
    if (responder && responder->canPerformAction(action)) responder->performAction(action);
}

} // namespace ui
