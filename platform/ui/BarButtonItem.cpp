#include "platform/ui/BarButtonItem.h"

#include "platform/core/ProcessInfo.h"
#include "platform/ui/View.h"

namespace ui {

void BarButtonItem::initWithImage(gfx::ImagePtr image, BarButtonItemStyle style, std::weak_ptr<void> target, Selector action) {
    image_ = std::move(image);
    title_.reset();
    customView_.reset();
    systemItem_.reset();
    style_ = style;
    target_ = std::move(target);
    action_ = std::move(action);
    changed();
}

void BarButtonItem::initWithTitle(std::optional<std::string> title, BarButtonItemStyle style, std::weak_ptr<void> target,
                                  Selector action) {
    initWithImage(nullptr, style, std::move(target), std::move(action));
    title_ = std::move(title);
    changed();
}

void BarButtonItem::initWithBarButtonSystemItem(BarButtonSystemItem item, std::weak_ptr<void> target, Selector action) {
    initWithImage(nullptr, BarButtonItemStyle::plain, std::move(target), std::move(action));
    systemItem_ = item;
    changed();
}

void BarButtonItem::initWithCustomView(std::shared_ptr<View> view) {
    initWithImage(nullptr, BarButtonItemStyle::plain, {}, {});
    customView_ = std::move(view);
    changed();
}

std::shared_ptr<BarButtonItem> BarButtonItem::withCustomView(std::shared_ptr<View> view) {
    auto item = core::make<BarButtonItem>();
    item->initWithCustomView(std::move(view));
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::fixedSpace(double width) {
    auto item = core::make<BarButtonItem>();
    item->initWithBarButtonSystemItem(BarButtonSystemItem::fixedSpace, {}, {});
    item->setWidth(width);
    return item;
}

std::string BarButtonItem::localizedTitle(BarButtonSystemItem item) {
    auto languages = core::ProcessInfo::preferredLanguages();
    bool zh = !languages.empty() && languages.front().rfind("zh", 0) == 0;
    switch (item) {
    case BarButtonSystemItem::done: return zh ? "完成" : "Done";
    case BarButtonSystemItem::cancel: return zh ? "取消" : "Cancel";
    case BarButtonSystemItem::edit: return zh ? "编辑" : "Edit";
    case BarButtonSystemItem::save: return zh ? "存储" : "Save";
    case BarButtonSystemItem::add: return "+";
    default: return {};
    }
}

namespace {
// Stores `value` and tells the bar, only when it differs (a bar rebuilt in place changes little).
template <class T>
void assign(T& field, T value, const BarButtonItem::ChangeHandler& changed) {
    if (field == value) return;
    field = std::move(value);
    if (changed && *changed) (*changed)();
}
} // namespace

void BarButtonItem::setTitle(std::optional<std::string> title) { assign(title_, std::move(title), changed_); }
void BarButtonItem::setImage(const gfx::ImagePtr& image) {
    if (image_ == image) return;  // compared before any copy: a bar rebuilt in place sets the same image
    image_ = image;
    if (changed_ && *changed_) (*changed_)();
}
void BarButtonItem::setCustomView(std::shared_ptr<View> view) { assign(customView_, std::move(view), changed_); }
void BarButtonItem::setStyle(BarButtonItemStyle style) { assign(style_, style, changed_); }
void BarButtonItem::setWidth(double width) { assign(width_, width, changed_); }
void BarButtonItem::setEnabled(bool enabled) { assign(enabled_, enabled, changed_); }
void BarButtonItem::setTintColor(std::optional<gfx::Color> color) { assign(tintColor_, color, changed_); }

const TitleTextAttributes& BarButtonItem::titleTextAttributes(unsigned state) const {
    static const TitleTextAttributes none;
    auto it = titleAttributes_.find(state);
    return it == titleAttributes_.end() ? none : it->second;
}

void BarButtonItem::setTitleTextAttributes(TitleTextAttributes attributes, unsigned state) {
    if (auto it = titleAttributes_.find(state); it != titleAttributes_.end() && it->second == attributes) return;
    titleAttributes_[state] = std::move(attributes);
    changed();
}

// ---- Look and appearance

namespace {

std::string lookKey(const char* property, std::initializer_list<long long> parts) {
    std::string key = property;
    for (long long part : parts) key += ":" + std::to_string(part);
    return key;
}

// Stores `value` under `key` and tells the bar, only when it differs.
template <class Map, class Key, class Value>
void assignLook(Map& map, const Key& key, Value value, const BarButtonItem::ChangeHandler& changed) {
    auto it = map.find(key);
    if (it != map.end() && it->second == value) return;
    if (it == map.end() && value == Value{}) return;  // nothing set and nothing to set
    map[key] = std::move(value);
    if (changed && *changed) (*changed)();
}

template <class Map, class Key>
typename Map::mapped_type lookValue(const Map& map, const Key& key) {
    auto it = map.find(key);
    return it == map.end() ? typename Map::mapped_type{} : it->second;
}

long long raw(BarMetrics m) { return static_cast<long long>(m); }
long long raw(BarButtonItemStyle s) { return static_cast<long long>(s); }

} // namespace

void BarButtonItemAppearance::setBackgroundImage(gfx::ImagePtr image, unsigned state, BarMetrics metrics) {
    set(lookKey("backgroundImage", {state, raw(metrics)}),
        [=](BarButtonItem& item) { item.setBackgroundImage(image, state, metrics); });
}
void BarButtonItemAppearance::setBackgroundImage(gfx::ImagePtr image, unsigned state, BarButtonItemStyle style,
                                                 BarMetrics metrics) {
    set(lookKey("backgroundImageForStyle", {state, raw(style), raw(metrics)}),
        [=](BarButtonItem& item) { item.setBackgroundImage(image, state, style, metrics); });
}
void BarButtonItemAppearance::setBackButtonBackgroundImage(gfx::ImagePtr image, unsigned state, BarMetrics metrics) {
    set(lookKey("backButtonBackgroundImage", {state, raw(metrics)}),
        [=](BarButtonItem& item) { item.setBackButtonBackgroundImage(image, state, metrics); });
}
void BarButtonItemAppearance::setTitlePositionAdjustment(Offset adjustment, BarMetrics metrics) {
    set(lookKey("titlePositionAdjustment", {raw(metrics)}),
        [=](BarButtonItem& item) { item.setTitlePositionAdjustment(adjustment, metrics); });
}
void BarButtonItemAppearance::setBackgroundVerticalPositionAdjustment(double adjustment, BarMetrics metrics) {
    set(lookKey("backgroundVerticalPositionAdjustment", {raw(metrics)}),
        [=](BarButtonItem& item) { item.setBackgroundVerticalPositionAdjustment(adjustment, metrics); });
}
void BarButtonItemAppearance::setBackButtonBackgroundVerticalPositionAdjustment(double adjustment, BarMetrics metrics) {
    set(lookKey("backButtonBackgroundVerticalPositionAdjustment", {raw(metrics)}),
        [=](BarButtonItem& item) { item.setBackButtonBackgroundVerticalPositionAdjustment(adjustment, metrics); });
}

BarButtonItemAppearance& BarButtonItem::appearance() {
    static auto* shared = new BarButtonItemAppearance;
    return *shared;
}

void BarButtonItem::init() {
    core::Object::init();
    appearance().applyTo(*this);
}

gfx::ImagePtr BarButtonItem::backgroundImage(unsigned state, BarMetrics metrics) const {
    return lookValue(backgroundImages_, std::pair{state, metrics});
}
void BarButtonItem::setBackgroundImage(gfx::ImagePtr image, unsigned state, BarMetrics metrics) {
    assignLook(backgroundImages_, std::pair{state, metrics}, std::move(image), changed_);
}
gfx::ImagePtr BarButtonItem::backgroundImage(unsigned state, BarButtonItemStyle style, BarMetrics metrics) const {
    return lookValue(styleBackgroundImages_, std::tuple{state, style, metrics});
}
void BarButtonItem::setBackgroundImage(gfx::ImagePtr image, unsigned state, BarButtonItemStyle style, BarMetrics metrics) {
    assignLook(styleBackgroundImages_, std::tuple{state, style, metrics}, std::move(image), changed_);
}
gfx::ImagePtr BarButtonItem::backButtonBackgroundImage(unsigned state, BarMetrics metrics) const {
    return lookValue(backButtonBackgroundImages_, std::pair{state, metrics});
}
void BarButtonItem::setBackButtonBackgroundImage(gfx::ImagePtr image, unsigned state, BarMetrics metrics) {
    assignLook(backButtonBackgroundImages_, std::pair{state, metrics}, std::move(image), changed_);
}
Offset BarButtonItem::titlePositionAdjustment(BarMetrics metrics) const { return lookValue(titlePositionAdjustments_, metrics); }
void BarButtonItem::setTitlePositionAdjustment(Offset adjustment, BarMetrics metrics) {
    assignLook(titlePositionAdjustments_, metrics, adjustment, changed_);
}
double BarButtonItem::backgroundVerticalPositionAdjustment(BarMetrics metrics) const {
    return lookValue(backgroundVerticalAdjustments_, metrics);
}
void BarButtonItem::setBackgroundVerticalPositionAdjustment(double adjustment, BarMetrics metrics) {
    assignLook(backgroundVerticalAdjustments_, metrics, adjustment, changed_);
}
double BarButtonItem::backButtonBackgroundVerticalPositionAdjustment(BarMetrics metrics) const {
    return lookValue(backButtonBackgroundVerticalAdjustments_, metrics);
}
void BarButtonItem::setBackButtonBackgroundVerticalPositionAdjustment(double adjustment, BarMetrics metrics) {
    assignLook(backButtonBackgroundVerticalAdjustments_, metrics, adjustment, changed_);
}

void BarButtonItem::performAction() {
    if (!action_) return;
    auto target = target_.lock();
    if (!target && !target_.owner_before(std::weak_ptr<void>{}) && !std::weak_ptr<void>{}.owner_before(target_)) {
        action_(nullptr, this);  // an action without a target
        return;
    }
    if (target) action_(target.get(), this);
}

} // namespace ui
