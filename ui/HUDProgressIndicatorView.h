#pragma once
// The HUD's panel: a blurred square with rounded corners (radius 10) that shows an icon or the
// platform's spinner, with an optional centred message below. Its touch blocker is a clear
// full-screen view kept in the key window under the panel while touches must not reach the app.
// Main thread only.
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/VisualEffectView.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kit {

enum class HUDMessageType : std::uint64_t { info = 0, success = 1, error = 2, progress = 3 };

class HUDProgressIndicatorView : public ui::VisualEffectView {
    QUILLORA_CLASS(HUDProgressIndicatorView)

    explicit HUDProgressIndicatorView(gfx::Rect frame = {});
    void init() override;

    const std::shared_ptr<ui::ImageView>& iconImageView();
    const std::shared_ptr<ui::ActivityIndicatorView>& activatyView();
    const std::shared_ptr<ui::Label>& messageLabel();
    const std::shared_ptr<ui::View>& backgroundView();

    // Configures the panel for one message; the panel's frame is already set.
    void showProgressWithType(HUDMessageType type, const std::optional<std::string>& message, gfx::ImagePtr image,
                              long style, bool userInteractionEnable);
    // true leaves the app usable; false puts the blocker into the key window.
    void setUserInteractionEnable(bool enable);

    static gfx::Color getTextColorWithStyle(long style);
    // The type's icon from the "HUDProgressIndicator" bundle ("_dark" variants unless the style is
    // dark); none for progress.
    static gfx::ImagePtr getImageWithStyle(long style, HUDMessageType type);
    static gfx::Size getFrameForProgressMessageLabelWithMessage(const std::optional<std::string>& message);
    static gfx::Size getFrameForProgressViewWithMessage(const std::optional<std::string>& message);

private:
    std::shared_ptr<ui::ImageView> iconImageView_;
    std::shared_ptr<ui::ActivityIndicatorView> activatyView_;
    std::shared_ptr<ui::Label> messageLabel_;
    std::shared_ptr<ui::View> backgroundView_;
};

} // namespace kit
