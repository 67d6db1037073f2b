#pragma once
// The banner's strip: full width, blurred, no corners, with an optional 30 x 30 icon, a bold
// one-line title and a multi-line message below the status bar. Main thread only.
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/VisualEffectView.h"

#include <optional>
#include <string>

namespace kit {

class HUDNotificationIndicatorView : public ui::VisualEffectView {
    QUILLORA_CLASS(HUDNotificationIndicatorView)

    explicit HUDNotificationIndicatorView(gfx::Rect frame = {});

    const std::shared_ptr<ui::ImageView>& iconImageView();
    const std::shared_ptr<ui::Label>& titleLabel();
    const std::shared_ptr<ui::Label>& messageLabel();

    // Sets the blur, the icon (hidden without an image), the texts and their colour, and places
    // the texts 50 points from the left next to an icon, else 10.
    void showWithImage(gfx::ImagePtr image, const std::optional<std::string>& title,
                       const std::optional<std::string>& message, long style);
    static gfx::Color getTextColorWithStyle(long style);
    static double getFrameForNotificationMessageLabelWithImage(const gfx::ImagePtr& image,
                                                               const std::optional<std::string>& message);
    static double getFrameForNotificationViewWithImage(const gfx::ImagePtr& image,
                                                       const std::optional<std::string>& message);

private:
    std::shared_ptr<ui::ImageView> iconImageView_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::Label> messageLabel_;
};

} // namespace kit
