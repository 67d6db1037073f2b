#pragma once
// A view that shows one of the animated activity indicators in a colour, inset by a padding. It
// draws nothing itself: starting fills the view's own layer with the animated sublayers of its
// type (for the largest square inside the padded frame), stopping empties the layer again.
//
// Two states: idle (hidden, not animating, no sublayers), where every new view starts and
// stopIndicator() returns; animating (shown, layer speed 1, the layer holding the animation built
// at the last layout). Changes of type, colour or padding show at the next layout only. The
// class-level defaults are read by new views and by the indicator's presenter; changing them
// affects what is made afterwards. Main thread only.
#include "indicators/ActivityIndicatorType.h"
#include "platform/gfx/Font.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace indicators {

class ActivityIndicatorView final : public ui::View {
    QUILLORA_CLASS(ActivityIndicatorView)
    // Animates a view's appearance.
    using FadeInHandler = std::function<void(const std::shared_ptr<ui::View>& view)>;
    // Animates a view's disappearance, then calls the completion.
    using FadeOutHandler = std::function<void(const std::shared_ptr<ui::View>& view, std::function<void()> completion)>;

    // The designated way to make an indicator: absent arguments take the class-level defaults.
    // The new view is hidden and not animating.
    static std::shared_ptr<ActivityIndicatorView> initIndicatorView(gfx::Rect frame,
                                                                    std::optional<ActivityIndicatorType> type = {},
                                                                    std::optional<gfx::Color> color = {},
                                                                    std::optional<double> padding = {});

    ActivityIndicatorView(gfx::Rect frame, std::optional<ActivityIndicatorType> type,
                          std::optional<gfx::Color> color, std::optional<double> padding);
    void init() override;

    ActivityIndicatorType type() const { return type_; }
    void setType(ActivityIndicatorType type) { type_ = type; }
    // The case name of the type; setting one picks the type whose name matches, ignoring case,
    // and leaves the type alone when none does.
    std::string typeName() const;
    void setTypeName(std::string_view name);
    const gfx::Color& color() const { return color_; }
    void setColor(const gfx::Color& color) { color_ = color; }
    double padding() const { return padding_; }
    void setPadding(double padding) { padding_ = padding; }
    bool isAnimating() const { return isAnimating_; }

    gfx::Size intrinsicContentSize() const { return bounds().size; }
    // Rebuilds the animation when the bounds really change while the view is animating.
    void setBounds(const gfx::Rect& bounds) override;

    // Shows the view, marks it animating, sets the layer's speed to 1 and lays out the animation.
    void startIndicator();
    // Hides the view, marks it idle and removes every sublayer of its layer.
    void stopIndicator();
    // Rebuilds the animation of the current type, colour and padding for the current frame size:
    // side = min(|w - 2p|, |h - 2p|), all sublayers removed, then built at side x side.
    void layoutAnimation();

    // Class-level defaults.
    static ActivityIndicatorType defaultType();
    static void setDefaultType(ActivityIndicatorType type);
    static gfx::Color defaultColor();
    static void setDefaultColor(const gfx::Color& color);
    static gfx::Color defaultTextColor();
    static void setDefaultTextColor(const gfx::Color& color);
    static double defaultPadding();
    static void setDefaultPadding(double padding);
    static gfx::Size defaultBlockerSize();
    static void setDefaultBlockerSize(gfx::Size size);
    // Milliseconds.
    static long defaultDisplayTimeThreshold();
    static void setDefaultDisplayTimeThreshold(long milliseconds);
    static long defaultMinimumDisplayTime();
    static void setDefaultMinimumDisplayTime(long milliseconds);
    static std::optional<std::string> defaultBlockerMessage();
    static void setDefaultBlockerMessage(std::optional<std::string> message);
    static double defaultMessageSpacing();
    static void setDefaultMessageSpacing(double spacing);
    static gfx::Font defaultMessageFont();
    static void setDefaultMessageFont(gfx::Font font);
    static gfx::Color defaultBlockerBackgroundColor();
    static void setDefaultBlockerBackgroundColor(const gfx::Color& color);
    // Alpha to 0, then animated to 1 over 0.25 s.
    static FadeInHandler defaultFadeInAnimation();
    static void setDefaultFadeInAnimation(FadeInHandler handler);
    // Alpha animated to 0 over 0.25 s; the completion runs only when the animation finished.
    static FadeOutHandler defaultFadeOutAnimation();
    static void setDefaultFadeOutAnimation(FadeOutHandler handler);

private:
    ActivityIndicatorType type_;
    gfx::Color color_;
    double padding_;
    bool isAnimating_ = false;
};

} // namespace indicators
