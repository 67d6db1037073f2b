#pragma once
// The arrow and the spinner that the normal header and the normal pull-up footer show beside
// their titles: both made on first use and owned by the control's view tree, the arrow a template
// tinted in the colour of the text beside it.

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"

#include <memory>
#include <optional>

namespace refresh {

class RefreshArrowSpinner {
public:
    std::shared_ptr<ui::ImageView> arrowView(ui::View& control);
    std::shared_ptr<ui::ActivityIndicatorView> loadingView(ui::View& control);
    ui::ActivityIndicatorViewStyle style() const { return style_; }
    // The next use makes a spinner in the new style; the old one leaves the control.
    void setStyle(ui::View& control, ui::ActivityIndicatorViewStyle style);
    // Both centred on `center`, the arrow at its image's size and tinted `tint`.
    void place(ui::View& control, gfx::Point center, gfx::Color tint);

private:
    std::weak_ptr<ui::ImageView> arrowView_;
    std::weak_ptr<ui::ActivityIndicatorView> loadingView_;
    ui::ActivityIndicatorViewStyle style_ = ui::ActivityIndicatorViewStyle::gray;
    std::optional<gfx::Color> arrowTint_;
};

} // namespace refresh
