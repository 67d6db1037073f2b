#pragma once
// The toast's box: a blurred, rounded (radius 8) panel with one centred message label in the
// system font of size 15. Its sizes follow the text: the label wraps within 0.7 of the screen
// width less 40 and is at most 80 high; the box adds 40 and 20 around it, at most 0.7 of the
// screen width and 100 high. Main thread only.
#include "platform/ui/Label.h"
#include "platform/ui/VisualEffectView.h"

#include <optional>
#include <string>

namespace kit {

class HUDToastIndicatorView : public ui::VisualEffectView {
    QUILLORA_CLASS(HUDToastIndicatorView)

    explicit HUDToastIndicatorView(gfx::Rect frame = {});
    void init() override;

    const std::optional<std::string>& message() const { return message_; }
    const std::shared_ptr<ui::Label>& messageLabel();

    // Sets the blur of the style, the label's colour and text, and centres the label in the box.
    void showToastMessage(const std::optional<std::string>& message, long style);
    // White for the dark style (2), black for the others.
    static gfx::Color getTextColorWithStyle(long style);
    static gfx::Size getFrameForToastLabelWithMessage(const std::optional<std::string>& message);
    static gfx::Size getFrameForToastViewWithMessage(const std::optional<std::string>& message);

private:
    std::optional<std::string> message_;
    std::shared_ptr<ui::Label> messageLabel_;
};

} // namespace kit
