#include "platform/ui/Toolbar.h"

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Screen.h"

#include <algorithm>

namespace ui {
namespace {

constexpr gfx::Color kDefaultBar = gfx::Color::rgb(247, 247, 247);
constexpr gfx::Color kBlackBar = gfx::Color::rgb(22, 22, 22);
constexpr gfx::Color kDisabledTitle = gfx::Color::white(0.6);
constexpr double kTitleSize = 17;

bool isSpace(const BarButtonItem& item) {
    auto s = item.systemItem();
    return s == BarButtonSystemItem::flexibleSpace || s == BarButtonSystemItem::fixedSpace;
}

bool stretches(const View& v) { return v.contentHuggingPriority(LayoutAxis::horizontal) < 250; }

} // namespace

void ToolbarAppearance::setBarTintColor(std::optional<gfx::Color> color) {
    set("barTintColor", [=](Toolbar& bar) { bar.setBarTintColor(color); });
}
void ToolbarAppearance::setBackgroundImage(gfx::ImagePtr image, BarPosition position, BarMetrics metrics) {
    set("backgroundImage:" + std::to_string(static_cast<int>(position)) + ":" + std::to_string(static_cast<int>(metrics)),
        [=](Toolbar& bar) { bar.setBackgroundImage(image, position, metrics); });
}
void ToolbarAppearance::setShadowImage(gfx::ImagePtr image, BarPosition position) {
    set("shadowImage:" + std::to_string(static_cast<int>(position)), [=](Toolbar& bar) { bar.setShadowImage(image, position); });
}
void ToolbarAppearance::setBackgroundColor(std::optional<gfx::Color> color) {
    set("backgroundColor", [=](Toolbar& bar) { bar.setBackgroundColor(color); });
}

ToolbarAppearance& Toolbar::appearance() {
    static auto* shared = new ToolbarAppearance;
    return *shared;
}

void Toolbar::init() {
    View::init();
    barBackground_ = core::make<ImageView>(bounds());
    barBackground_->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
    addSubview(barBackground_);
    refreshColors();
    appearance().applyTo(*this);
}

void Toolbar::setBarPosition(BarPosition position) {
    if (position == barPosition_) return;
    barPosition_ = position;
    refreshColors();
}

gfx::ImagePtr Toolbar::backgroundImage(BarPosition position, BarMetrics metrics) const {
    auto it = backgroundImages_.find({position, metrics});
    return it == backgroundImages_.end() ? nullptr : it->second;
}

void Toolbar::setBackgroundImage(gfx::ImagePtr image, BarPosition position, BarMetrics metrics) {
    if (backgroundImage(position, metrics) == image) return;
    if (image) backgroundImages_[{position, metrics}] = std::move(image);
    else backgroundImages_.erase({position, metrics});
    refreshColors();
}

gfx::ImagePtr Toolbar::shadowImage(BarPosition position) const {
    auto it = shadowImages_.find(position);
    return it == shadowImages_.end() ? nullptr : it->second;
}

void Toolbar::setShadowImage(gfx::ImagePtr image, BarPosition position) {
    if (shadowImage(position) == image) return;
    if (image) shadowImages_[position] = std::move(image);
    else shadowImages_.erase(position);
    refreshColors();
}

Toolbar::~Toolbar() {
    for (auto& item : items_) item->setChangeHandler(nullptr);
}

void Toolbar::setItems(const std::vector<std::shared_ptr<BarButtonItem>>& items) {
    if (items == items_) return;
    // Items that leave the bar stop telling it of their changes; the others tell it.
    for (auto& item : items_)
        if (std::find(items.begin(), items.end(), item) == items.end()) item->setChangeHandler(nullptr);
    items_.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items_[i] != items[i]) items_[i] = items[i];
    if (!itemChanged_) {
        // A plain pointer: an item holds this handler only while it is one of the bar's items (the
        // bar takes it back from items that leave and from all of them when it goes).
        Toolbar* self = this;
        itemChanged_ = std::make_shared<const std::function<void()>>([self] { self->rebuild(); });
    }
    for (auto& item : items_) item->setChangeHandler(itemChanged_);
    rebuild();
}

void Toolbar::setBarStyle(BarStyle style) {
    if (style == barStyle_) return;
    barStyle_ = style;
    refreshColors();
}
void Toolbar::setBarTintColor(std::optional<gfx::Color> color) {
    if (color == barTintColor_) return;
    barTintColor_ = color;
    refreshColors();
}
void Toolbar::setTranslucent(bool translucent) { translucent_ = translucent; refreshColors(); }
void Toolbar::tintColorDidChange() { rebuild(); }

void Toolbar::refreshColors() {
    gfx::Color c = barTintColor_.value_or(barStyle_ == BarStyle::black ? kBlackBar : kDefaultBar);
    if (translucent_ && !barTintColor_) c = c.withAlpha(0.96);
    gfx::ImagePtr image = backgroundImage(barPosition_, BarMetrics::default_);
    if (!image) image = backgroundImage(BarPosition::any, BarMetrics::default_);
    if (barBackground_) {
        barBackground_->setImage(image);
        barBackground_->setBackgroundColor(image ? std::nullopt : std::optional(c));
    }
    gfx::ImagePtr shadow = shadowImage(barPosition_);
    if (!shadow) shadow = shadowImage(BarPosition::any);
    if (shadow && !shadow_) {
        shadow_ = core::make<ImageView>();
        shadow_->setAutoresizingMask(autoresizingFlexibleWidth);
        addSubview(shadow_);
    }
    if (shadow_) {
        shadow_->setImage(shadow);
        shadow_->setHidden(!shadow);
        const double h = shadow ? shadow->size().height : 0;
        shadow_->setFrame({0, -h, bounds().width(), h});
    }
    rebuild();
}

std::shared_ptr<View> Toolbar::viewForItem(const BarButtonItem& item) {
    rebuildIfNeeded();
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == &item) return itemViews_[i];
    return nullptr;
}

void Toolbar::rebuild() {
    needsRebuild_ = true;
    setNeedsLayout();
}

void Toolbar::rebuildIfNeeded() {
    if (!needsRebuild_ || rebuilding_) return;
    needsRebuild_ = false;
    rebuilding_ = true;
    for (auto& v : itemViews_)
        if (v && v->superview().get() == this) v->removeFromSuperview();
    itemViews_.clear();
    for (auto& item : items_) {
        std::shared_ptr<View> view;
        if (auto custom = item->customView()) {
            view = custom;
        } else if (!isSpace(*item)) {
            auto button = core::make<Button>();
            std::optional<std::string> title = item->title();
            if (auto s = item->systemItem()) title = BarButtonItem::localizedTitle(*s);
            bool bold = item->style() == BarButtonItemStyle::done || item->systemItem() == BarButtonSystemItem::done;
            auto attrs = item->titleTextAttributes(stateNormal);
            gfx::Color color = attrs.foregroundColor.value_or(item->tintColor().value_or(tintColor()));
            button->titleLabel()->setFont(attrs.font.value_or(bold ? gfx::Font::boldSystemFont(kTitleSize) : gfx::Font::systemFont(kTitleSize)));
            button->setTitle(title);
            button->setTitleColor(color);
            button->setTitleColor(kDisabledTitle, stateDisabled);
            if (item->image()) button->setImage(item->image());
            for (unsigned state : {stateNormal, stateHighlighted, stateDisabled}) {
                gfx::ImagePtr background = item->backgroundImage(state, item->style(), BarMetrics::default_);
                if (!background) background = item->backgroundImage(state, BarMetrics::default_);
                if (background) button->setBackgroundImage(background, state);
            }
            if (Offset shift = item->titlePositionAdjustment(BarMetrics::default_); shift != Offset{})
                button->setContentEdgeInsets({shift.vertical, shift.horizontal, -shift.vertical, -shift.horizontal});
            // A template image takes the item's own tint, else the bar's (which it inherits).
            if (item->tintColor()) button->setTintColor(item->tintColor());
            button->setEnabled(item->isEnabled());
            std::weak_ptr<BarButtonItem> weakItem = item;
            button->addTarget(std::weak_ptr<void>{}, [weakItem](Control&) {
                if (auto it = weakItem.lock()) it->performAction();
            }, touchUpInside);
            view = button;
        }
        if (view) {
            // An item that stands twice keeps one view, in its later place.
            if (view->superview().get() == this) view->removeFromSuperview();
            addSubview(view);
        }
        itemViews_.push_back(view);
    }
    rebuilding_ = false;
}

gfx::Size Toolbar::sizeThatFits(gfx::Size size) const {
    double w = size.width > 0 ? size.width : (bounds().width() > 0 ? bounds().width() : Screen::main().bounds().width());
    return {w, kHeight};
}

void Toolbar::layoutSubviews() {
    View::layoutSubviews();
    rebuildIfNeeded();
    gfx::Rect b = bounds();
    std::vector<double> widths(items_.size(), 0);
    double used = 0;
    int flexible = 0, stretchy = 0, shown = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        auto& item = *items_[i];
        auto& view = itemViews_[i];
        if (item.systemItem() == BarButtonSystemItem::flexibleSpace) {
            ++flexible;
            continue;
        }
        ++shown;
        if (item.systemItem() == BarButtonSystemItem::fixedSpace) widths[i] = item.width();
        else if (view && item.customView() && stretches(*view)) ++stretchy;
        else if (view) widths[i] = item.width() > 0 ? item.width() : view->sizeThatFits({b.width(), b.height()}).width;
        used += widths[i];
    }
    double free = std::max(0.0, b.width() - 2 * kMargin - used - kSpacing * std::max(0, shown - 1));
    double x = kMargin;
    for (size_t i = 0; i < items_.size(); ++i) {
        auto& item = *items_[i];
        if (item.systemItem() == BarButtonSystemItem::flexibleSpace) {
            if (!stretchy) x += free / flexible;
            continue;
        }
        double w = widths[i];
        auto& view = itemViews_[i];
        if (view && item.customView() && stretches(*view)) w = free / stretchy;
        if (view) {
            double h = item.customView() && !stretches(*view) ? std::min(b.height(), view->frame().height()) : b.height();
            if (item.customView() && stretches(*view)) h = b.height();
            view->setFrame({x, (b.height() - h) / 2, w, h});
        }
        x += w + kSpacing;
    }
}

} // namespace ui
