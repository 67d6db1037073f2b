#pragma once
// A bar button item: the description of one button of a toolbar (an image, a title, a custom view
// or a system item), not a view itself; the toolbar makes the views. The same item may stand in a
// bar more than once (a flexible space on each side of a title).
//
// System items: done (bold) and cancel carry localized titles ("完成" and "取消" where the
// preferred language is Chinese, else "Done" and "Cancel"); a flexible space takes a share of the
// free width, a fixed space its own width. The target is held weakly: a tap reaches it only while
// it lives.
//
// Look: background images per control state and bar metrics (one for every style, or one for a
// style, which wins), the back-button background images, the title position adjustment and the
// background vertical position adjustments, each per bar metrics. The class's appearance
// (appearance()) holds settings that every item made later takes when it is made. Main thread
// only.

#include "platform/core/Object.h"
#include "platform/gfx/Color.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Image.h"
#include "platform/ui/Appearance.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

namespace ui {

class View;

enum class BarButtonSystemItem { done = 0, cancel = 1, edit = 2, save = 3, add = 4, flexibleSpace = 5, fixedSpace = 6 };
enum class BarButtonItemStyle { plain = 0, bordered = 1, done = 2 };
// The bar's height class the look values are set for; bars here are of the default metrics.
enum class BarMetrics { default_ = 0, compact = 1, defaultPrompt = 101, compactPrompt = 102 };

// A two-way offset in points.
struct Offset {
    double horizontal = 0;
    double vertical = 0;
    bool operator==(const Offset&) const = default;
};

class BarButtonItem;

// What the appearance of bar button items can hold: the look setters of the item.
class BarButtonItemAppearance : public Appearance<BarButtonItem> {
public:
    void setBackgroundImage(gfx::ImagePtr image, unsigned state, BarMetrics metrics);
    void setBackgroundImage(gfx::ImagePtr image, unsigned state, BarButtonItemStyle style, BarMetrics metrics);
    void setBackButtonBackgroundImage(gfx::ImagePtr image, unsigned state, BarMetrics metrics);
    void setTitlePositionAdjustment(Offset adjustment, BarMetrics metrics);
    void setBackgroundVerticalPositionAdjustment(double adjustment, BarMetrics metrics);
    void setBackButtonBackgroundVerticalPositionAdjustment(double adjustment, BarMetrics metrics);
};

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
    // Takes the settings of the class's appearance (subclasses add their own after it).
    void init() override;

    // The settings every bar button item, of any class, takes when it is made.
    static BarButtonItemAppearance& appearance();
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

    // Look (see the header). A missing image reads as none; adjustments read as zero.
    gfx::ImagePtr backgroundImage(unsigned state, BarMetrics metrics) const;
    void setBackgroundImage(gfx::ImagePtr image, unsigned state, BarMetrics metrics);
    gfx::ImagePtr backgroundImage(unsigned state, BarButtonItemStyle style, BarMetrics metrics) const;
    void setBackgroundImage(gfx::ImagePtr image, unsigned state, BarButtonItemStyle style, BarMetrics metrics);
    gfx::ImagePtr backButtonBackgroundImage(unsigned state, BarMetrics metrics) const;
    void setBackButtonBackgroundImage(gfx::ImagePtr image, unsigned state, BarMetrics metrics);
    Offset titlePositionAdjustment(BarMetrics metrics) const;
    void setTitlePositionAdjustment(Offset adjustment, BarMetrics metrics);
    double backgroundVerticalPositionAdjustment(BarMetrics metrics) const;
    void setBackgroundVerticalPositionAdjustment(double adjustment, BarMetrics metrics);
    double backButtonBackgroundVerticalPositionAdjustment(BarMetrics metrics) const;
    void setBackButtonBackgroundVerticalPositionAdjustment(double adjustment, BarMetrics metrics);

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
    // Look values by (state, metrics), (state, style, metrics) and metrics.
    std::map<std::pair<unsigned, BarMetrics>, gfx::ImagePtr> backgroundImages_;
    std::map<std::tuple<unsigned, BarButtonItemStyle, BarMetrics>, gfx::ImagePtr> styleBackgroundImages_;
    std::map<std::pair<unsigned, BarMetrics>, gfx::ImagePtr> backButtonBackgroundImages_;
    std::map<BarMetrics, Offset> titlePositionAdjustments_;
    std::map<BarMetrics, double> backgroundVerticalAdjustments_;
    std::map<BarMetrics, double> backButtonBackgroundVerticalAdjustments_;
};

} // namespace ui
