#pragma once
// A toolbar: a 44-point bar that shows bar button items from left to right, 16 points in from its
// edges and 8 apart. Flexible spaces share the free width, fixed spaces take their width, a custom
// view takes its fitting size; a custom view that hugs horizontally below 250 instead stretches over
// the free width (the flexible spaces then take none). Titles and images become buttons that run
// their item's action; they draw in the item's title colour, else its tint, else the bar's tint,
// and template images in the item's tint, else the bar's. A disabled item's title turns grey and
// its image dims.
// The bar is white-ish (default style) or black, or its bar tint, drawn by a background view of
// its own under the items (the view's own background colour, none by default, lies beneath it);
// a background image for the bar's position (else for any position) replaces that colour, and a
// shadow image lies along the bar's top edge, above it. An item's background image for a state
// (the one for its style first) fills its button; its title position adjustment moves the title.
// The class's appearance (appearance()) holds settings that every toolbar made later takes when
// it is made. Main thread only.

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/View.h"

#include <map>
#include <vector>

namespace ui {

enum class BarStyle { default_ = 0, black = 1 };
// Where a bar stands: a toolbar here stands anywhere (an input accessory) unless told.
enum class BarPosition { any = 0, bottom = 1, top = 2, topAttached = 3 };

class Toolbar;
class ImageView;

// What the appearance of toolbars can hold.
class ToolbarAppearance : public Appearance<Toolbar> {
public:
    void setBarTintColor(std::optional<gfx::Color> color);
    void setBackgroundImage(gfx::ImagePtr image, BarPosition position, BarMetrics metrics);
    void setShadowImage(gfx::ImagePtr image, BarPosition position);
    void setBackgroundColor(std::optional<gfx::Color> color);
};

class Toolbar : public View {
    QUILLORA_CLASS(Toolbar)

    static constexpr double kHeight = 44;
    static constexpr double kMargin = 16;
    static constexpr double kSpacing = 8;

    using View::View;
    // Takes the settings of the class's appearance (subclasses add their own after it).
    void init() override;
    ~Toolbar() override;

    // The settings every toolbar, of any class, takes when it is made.
    static ToolbarAppearance& appearance();

    const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
    // Slot by slot: an item already in its place is left as it is, so a bar rebuilt with one new
    // item takes and drops a reference only for that one.
    void setItems(const std::vector<std::shared_ptr<BarButtonItem>>& items);
    BarStyle barStyle() const { return barStyle_; }
    virtual void setBarStyle(BarStyle style);
    const std::optional<gfx::Color>& barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<gfx::Color> color);
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent);
    BarPosition barPosition() const { return barPosition_; }
    void setBarPosition(BarPosition position);
    gfx::ImagePtr backgroundImage(BarPosition position, BarMetrics metrics) const;
    void setBackgroundImage(gfx::ImagePtr image, BarPosition position, BarMetrics metrics);
    gfx::ImagePtr shadowImage(BarPosition position) const;
    void setShadowImage(gfx::ImagePtr image, BarPosition position);

    // The view that shows `item` (nullptr for spaces and items not in the bar). Item views are
    // remade once per layout after any change of the items, not at each change.
    std::shared_ptr<View> viewForItem(const BarButtonItem& item);

    gfx::Size sizeThatFits(gfx::Size size) const override;
    void layoutSubviews() override;
    void tintColorDidChange() override;

private:
    void rebuild();
    void rebuildIfNeeded();
    void refreshColors();

    std::vector<std::shared_ptr<BarButtonItem>> items_;
    std::vector<std::shared_ptr<View>> itemViews_;  // one per item, null for spaces
    BarStyle barStyle_ = BarStyle::default_;
    std::optional<gfx::Color> barTintColor_;
    bool translucent_ = true;
    BarPosition barPosition_ = BarPosition::any;
    std::map<std::pair<BarPosition, BarMetrics>, gfx::ImagePtr> backgroundImages_;
    std::map<BarPosition, gfx::ImagePtr> shadowImages_;
    std::shared_ptr<ImageView> barBackground_;  // the bar's colour or background image, under the items
    std::shared_ptr<ImageView> shadow_;         // made with the first shadow image
    BarButtonItem::ChangeHandler itemChanged_;  // what every item of the bar calls on a change
    bool rebuilding_ = false;
    bool needsRebuild_ = false;
};

} // namespace ui
