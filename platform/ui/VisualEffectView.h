#pragma once
// A view with a frosted backdrop: what lies behind it, blurred by the style's radius, under the
// style's translucent tint. Subviews go into contentView. Main thread only.

#include "platform/ui/View.h"

#include <optional>

namespace ui {

enum class BlurEffectStyle : long { extraLight = 0, light = 1, dark = 2 };

class VisualEffectView : public View {
    QUILLORA_CLASS(VisualEffectView)

    explicit VisualEffectView(std::optional<BlurEffectStyle> effect = std::nullopt, gfx::Rect frame = {})
        : View(frame), effect_(effect) {}
    void init() override;

    std::optional<BlurEffectStyle> effect() const { return effect_; }
    void setEffect(std::optional<BlurEffectStyle> effect);
    const std::shared_ptr<View>& contentView() const { return contentView_; }

    // The tint a style lays over the blurred backdrop.
    static gfx::Color tintForStyle(BlurEffectStyle style);
    // The blur radius of a style, in points (a Gaussian of sigma radius / 2).
    static double blurRadiusForStyle(BlurEffectStyle style);

private:
    std::optional<BlurEffectStyle> effect_;
    std::shared_ptr<View> contentView_;
};

} // namespace ui
