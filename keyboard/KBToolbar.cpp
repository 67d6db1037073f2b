#include "keyboard/KBToolbar.h"

#include "platform/ui/Control.h"

#include <algorithm>
#include <mutex>

namespace keyboard {

ui::ToolbarAppearance& KBToolbar::appearance() {
    static auto* shared = new ui::ToolbarAppearance;
    return *shared;
}

void KBToolbar::resetToolbarAppearance() {
    auto& proxy = appearance();
    proxy.setBarTintColor(std::nullopt);
    for (auto position : {ui::BarPosition::any, ui::BarPosition::bottom, ui::BarPosition::top, ui::BarPosition::topAttached})
        proxy.setBackgroundImage(nullptr, position, ui::BarMetrics::default_);
    proxy.setShadowImage(nullptr, ui::BarPosition::any);
    proxy.setBackgroundColor(std::nullopt);
}

void KBToolbar::init() {
    previous_.reset(), next_.reset(), title_.reset(), done_.reset(), fixedSpace_.reset();
    static std::once_flag reset;
    std::call_once(reset, resetToolbarAppearance);
    ui::Toolbar::init();
    appearance().applyTo(*this);
    sizeToFit();
    setAutoresizingMask(ui::autoresizingFlexibleWidth);
    setTranslucent(true);
}

KBToolbar::~KBToolbar() = default;  // the bar lets go of its items' change handlers

const std::shared_ptr<KBBarButtonItem>& KBToolbar::previousBarButton() {
    if (!previous_) {
        previous_ = core::make<KBBarButtonItem>();
        previous_->initWithImage(nullptr, ui::BarButtonItemStyle::plain, {}, {});
        previous_->setAccessibilityLabel("Toolbar Previous Button");
    }
    return previous_;
}

const std::shared_ptr<KBBarButtonItem>& KBToolbar::nextBarButton() {
    if (!next_) {
        next_ = core::make<KBBarButtonItem>();
        next_->initWithImage(nullptr, ui::BarButtonItemStyle::plain, {}, {});
        next_->setAccessibilityLabel("Toolbar Next Button");
    }
    return next_;
}

const std::shared_ptr<KBTitleBarButtonItem>& KBToolbar::titleBarButton() {
    if (!title_) {
        title_ = core::make<KBTitleBarButtonItem>();
        title_->initWithTitle(std::nullopt);
        title_->setAccessibilityLabel("Toolbar Title Button");
    }
    return title_;
}

const std::shared_ptr<KBBarButtonItem>& KBToolbar::doneBarButton() {
    if (!done_) {
        done_ = core::make<KBBarButtonItem>();
        done_->initWithTitle(std::nullopt, ui::BarButtonItemStyle::done, {}, {});
        done_->setAccessibilityLabel("Toolbar Done Button");
    }
    return done_;
}

const std::shared_ptr<KBBarButtonItem>& KBToolbar::fixedSpaceBarButton() {
    if (!fixedSpace_) {
        fixedSpace_ = core::make<KBBarButtonItem>();
        fixedSpace_->initWithBarButtonSystemItem(ui::BarButtonSystemItem::fixedSpace, {}, {});
    }
    fixedSpace_->setIsSystemItem(true);
    fixedSpace_->setWidth(systemVersionAtLeast(10) ? 6 : 20);
    return fixedSpace_;
}

gfx::Size KBToolbar::sizeThatFits(gfx::Size size) const { return {ui::Toolbar::sizeThatFits(size).width, kHeight}; }

void KBToolbar::setTintColor(std::optional<gfx::Color> color) {
    // The bar is rebuilt on every focus with the tint it had: only a new tint needs the bar and its
    // views told (which remakes the item views).
    if (color != ownTintColor()) ui::Toolbar::setTintColor(color);
    const gfx::Color tint = tintColor();
    for (auto& item : items()) item->setTintColor(tint);
}

void KBToolbar::setBarStyle(ui::BarStyle style) {
    ui::Toolbar::setBarStyle(style);
    const auto& title = titleBarButton();
    if (title->selectableTitleColor() || !title->titleButton()) return;
    // Set only on a change: every rebuild of the bar passes here, and setting redraws the button.
    // Neither colour is the button's white fallback, so an equal reading is one already set.
    const gfx::Color color = style == ui::BarStyle::default_ ? KBTitleBarButtonItem::kSelectableColor : kYellow;
    if (title->titleButton()->titleColorForState(ui::stateNormal) != color) title->titleButton()->setTitleColor(color, ui::stateNormal);
}

void KBToolbar::layoutSubviews() {
    ui::Toolbar::layoutSubviews();
    if (systemVersionAtLeast(11)) return;
    auto custom = titleBarButton()->customView();
    if (!custom) return;
    std::vector<std::shared_ptr<ui::View>> sorted = subviews();
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        gfx::Rect fa = a->frame(), fb = b->frame();
        if (fa.minX() != fb.minX()) return fa.minX() < fb.minX();
        return fa.minY() < fb.minY();
    });
    std::optional<gfx::Rect> left, right;
    bool found = false;
    for (auto& v : sorted) {
        if (found) {
            right = v->frame();
            break;
        }
        if (v == custom) found = true;
        else if (dynamic_cast<ui::Control*>(v.get())) left = v->frame();
    }
    double W = frame().width(), H = frame().height();
    double M = W - 32 - (left ? left->maxX() : 0) - (right ? W - right->minX() : 0);
    M = std::max(0.0, M);  // neighbours that leave no room give the title none, not less
    gfx::Size s = custom->sizeThatFits({M, H});
    gfx::Rect f;
    if (s.width > 0 && s.height > 0) {
        double w = std::min(s.width, M), h = std::min(s.height, H);
        double x = left ? left->maxX() + 16 + (M - w) / 2 : 16;
        f = {x, (H - h) / 2, w, h};
    } else {
        f = {left ? left->maxX() + 16 : 16, 0, M, H};
    }
    custom->setFrame(f);
}

} // namespace keyboard
