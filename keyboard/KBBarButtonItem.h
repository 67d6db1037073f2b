#pragma once
// The items of the input toolbar: KBBarButtonItem, a bar button item that also carries an
// invocation (an extra target/action run after the keyboard manager's own work) and remembers
// whether it was made from a system item; KBTitleBarButtonItem, the middle item that shows a
// text on a borderless button and becomes tappable when it gets an invocation whose target lives;
// KBInvocation, a weak target plus an action; and KBBarButtonItemConfiguration, the fixed
// description of one button (a system item, an image or a title, plus an action).
//
// The first KBBarButtonItem (or subclass) made in the process clears the look settings of its
// class's appearance (resetBarButtonAppearance), so a screen's settings made before that are
// dropped and later ones stay; every item then takes the platform's appearance and its class's.
//
// Tint: an item's tint becomes its normal title colour; a later tint replaces a colour that came
// from a tint (no tint removes it), while a colour the screen set in the title attributes stays.
// Main thread only.

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"

#include <memory>
#include <optional>
#include <string>

namespace keyboard {

class KBInvocation {
public:
    KBInvocation(std::weak_ptr<void> target, ui::Selector action) : target_(std::move(target)), action_(std::move(action)) {}
    std::shared_ptr<void> target() const { return target_.lock(); }
    void setTarget(std::weak_ptr<void> target) { target_ = std::move(target); }
    const ui::Selector& action() const { return action_; }
    void setAction(ui::Selector action) { action_ = std::move(action); }
    // Runs the action on the target with `sender`; nothing when the target has gone.
    void invokeFrom(core::Object* sender) const;

private:
    std::weak_ptr<void> target_;
    ui::Selector action_;
};

class KBBarButtonItem : public ui::BarButtonItem {
    QUILLORA_CLASS(KBBarButtonItem)

    KBBarButtonItem() = default;
    void init() override;

    // The settings every KBBarButtonItem and subclass takes when made, after the platform's.
    static ui::BarButtonItemAppearance& appearance();
    // Sets every look setting of the class's appearance to nothing (background images for each
    // state, also per style and for back buttons; adjustments to zero), for the default metrics.
    static void resetBarButtonAppearance();

    bool isSystemItem() const { return isSystemItem_; }
    void setIsSystemItem(bool is) { isSystemItem_ = is; }
    const std::shared_ptr<KBInvocation>& invocation() const { return invocation_; }
    virtual void setInvocation(std::shared_ptr<KBInvocation> invocation) { invocation_ = std::move(invocation); }
    // With both a target and an action the invocation becomes a new one of them, else none; the
    // item's own target and action stay.
    using ui::BarButtonItem::setTarget;
    void setTarget(const std::shared_ptr<void>& target, ui::Selector action);

    void setTintColor(std::optional<gfx::Color> color) override;

private:
    bool isSystemItem_ = false;
    std::shared_ptr<KBInvocation> invocation_;
    std::optional<gfx::Color> tintTitleColor_;  // the title colour that came from the tint
};

class KBTitleBarButtonItem : public KBBarButtonItem {
    QUILLORA_CLASS(KBTitleBarButtonItem)

    static constexpr double kTitleFontSize = 13;
    static constexpr gfx::Color kSelectableColor{0.0, 0.5, 1.0, 1.0};
    static constexpr gfx::Color kLightGray = gfx::Color::white(2.0 / 3.0);

    KBTitleBarButtonItem() = default;
    ~KBTitleBarButtonItem() override;
    // Makes the title view and its disabled button showing `title` (the item's own title stays unset).
    void initWithTitle(std::optional<std::string> title);

    const std::optional<gfx::Font>& titleFont() const { return titleFont_; }
    void setTitleFont(std::optional<gfx::Font> font);
    void setTitle(std::optional<std::string> title) override;
    const std::optional<gfx::Color>& titleColor() const { return titleColor_; }
    void setTitleColor(std::optional<gfx::Color> color);
    const std::optional<gfx::Color>& selectableTitleColor() const { return selectableTitleColor_; }
    void setSelectableTitleColor(std::optional<gfx::Color> color);
    void setInvocation(std::shared_ptr<KBInvocation> invocation) override;

    const std::shared_ptr<ui::Button>& titleButton() const { return titleButton_; }

private:
    std::optional<gfx::Font> titleFont_;
    std::optional<gfx::Color> titleColor_;
    std::optional<gfx::Color> selectableTitleColor_;
    std::shared_ptr<ui::Button> titleButton_;
    std::shared_ptr<ui::View> titleView_;
};

class KBBarButtonItemConfiguration {
public:
    KBBarButtonItemConfiguration(ui::BarButtonSystemItem item, ui::Selector action) : barButtonSystemItem_(item), action_(std::move(action)) {}
    KBBarButtonItemConfiguration(gfx::ImagePtr image, ui::Selector action) : image_(std::move(image)), action_(std::move(action)) {}
    KBBarButtonItemConfiguration(std::string title, ui::Selector action) : title_(std::move(title)), action_(std::move(action)) {}

    std::optional<ui::BarButtonSystemItem> barButtonSystemItem() const { return barButtonSystemItem_; }
    const gfx::ImagePtr& image() const { return image_; }
    const std::optional<std::string>& title() const { return title_; }
    const ui::Selector& action() const { return action_; }

private:
    std::optional<ui::BarButtonSystemItem> barButtonSystemItem_;
    gfx::ImagePtr image_;
    std::optional<std::string> title_;
    ui::Selector action_;
};

// Whether the system is at least `major`.`minor` (the toolbar changes its ways at 10 and 11.0).
bool systemVersionAtLeast(int major, int minor = 0);

} // namespace keyboard
