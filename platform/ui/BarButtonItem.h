#pragma once
// A bar button item: the description of one button of a toolbar (an image, a title, a custom view
// or a system item), not a view itself; the toolbar makes the views. The same item may stand in a
// bar more than once (a flexible space on each side of a title).
//
// System items: done (bold) and cancel carry localized titles ("完成" and "取消" where the
// preferred language is Chinese, else "Done" and "Cancel"); a flexible space takes a share of the
// free width, a fixed space its own width. The target is held weakly: a tap reaches it only while
// it lives. Main thread only.

#include "platform/core/Object.h"
#include "platform/gfx/Color.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Image.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ui {

class View;

enum class BarButtonSystemItem { done = 0, cancel = 1, edit = 2, save = 3, add = 4, flexibleSpace = 5, fixedSpace = 6 };
enum class BarButtonItemStyle { plain = 0, bordered = 1, done = 2 };

// An action run on a target object with a sender: the stand-in for a selector.
using Selector = std::function<void(void* target, core::Object* sender)>;
template <class T>
Selector selector(void (T::*method)(core::Object* sender)) {
    return [method](void* target, core::Object* sender) { (static_cast<T*>(target)->*method)(sender); };
}

// Attributes of an item's title (a missing one takes the bar's default).
struct TitleTextAttributes {
    std::optional<gfx::Color> foregroundColor;
    std::optional<gfx::Font> font;
    bool operator==(const TitleTextAttributes&) const = default;
};

class BarButtonItem : public core::Object {
    QUILLORA_CLASS(BarButtonItem)

    BarButtonItem() = default;
    // The ways to describe an item; each clears the other descriptions.
    void initWithImage(gfx::ImagePtr image, BarButtonItemStyle style, std::weak_ptr<void> target, Selector action);
    void initWithTitle(std::optional<std::string> title, BarButtonItemStyle style, std::weak_ptr<void> target, Selector action);
    void initWithBarButtonSystemItem(BarButtonSystemItem item, std::weak_ptr<void> target, Selector action);
    void initWithCustomView(std::shared_ptr<View> view);

    // Shorthands: an item that shows `view`; a fixed space of `width` (which may be negative).
    static std::shared_ptr<BarButtonItem> withCustomView(std::shared_ptr<View> view);
    static std::shared_ptr<BarButtonItem> fixedSpace(double width);
    bool isFixedSpace() const { return systemItem_ == BarButtonSystemItem::fixedSpace; }

    static std::string localizedTitle(BarButtonSystemItem item);

    const std::optional<std::string>& title() const { return title_; }
    virtual void setTitle(std::optional<std::string> title);
    const gfx::ImagePtr& image() const { return image_; }
    void setImage(const gfx::ImagePtr& image);
    const std::shared_ptr<View>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<View> view);
    std::optional<BarButtonSystemItem> systemItem() const { return systemItem_; }
    BarButtonItemStyle style() const { return style_; }
    void setStyle(BarButtonItemStyle style);
    double width() const { return width_; }
    void setWidth(double width);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    std::shared_ptr<void> target() const { return target_.lock(); }
    void setTarget(std::weak_ptr<void> target) { target_ = std::move(target); }
    const Selector& action() const { return action_; }
    void setAction(Selector action) { action_ = std::move(action); }
    // The item's own tint (the bar's when absent).
    const std::optional<gfx::Color>& tintColor() const { return tintColor_; }
    virtual void setTintColor(std::optional<gfx::Color> color);
    // The attributes set for a state (all missing when none were).
    const TitleTextAttributes& titleTextAttributes(unsigned state) const;
    void setTitleTextAttributes(TitleTextAttributes attributes, unsigned state);
    const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::optional<std::string> label) { accessibilityLabel_ = std::move(label); }

    // Runs the action on the target (when the target lives; without an action nothing happens).
    void performAction();

    // The toolbar that shows the item hears of changes through this (one handler serves all the
    // items of a bar).
    using ChangeHandler = std::shared_ptr<const std::function<void()>>;
    void setChangeHandler(const ChangeHandler& handler) {
        if (changed_ != handler) changed_ = handler;
    }

protected:
    void changed() const {
        if (changed_ && *changed_) (*changed_)();
    }

private:
    std::optional<std::string> title_;
    gfx::ImagePtr image_;
    std::shared_ptr<View> customView_;
    std::optional<BarButtonSystemItem> systemItem_;
    BarButtonItemStyle style_ = BarButtonItemStyle::plain;
    double width_ = 0;
    bool enabled_ = true;
    std::weak_ptr<void> target_;
    Selector action_;
    std::optional<gfx::Color> tintColor_;
    std::map<unsigned, TitleTextAttributes> titleAttributes_;
    std::optional<std::string> accessibilityLabel_;
    ChangeHandler changed_;
};

} // namespace ui
