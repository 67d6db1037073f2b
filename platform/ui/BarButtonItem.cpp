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
