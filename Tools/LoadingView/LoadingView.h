#pragma once
// The overlay shown while requests to the service are in flight: a transparent view as large as
// the main screen with, in its middle, a dark translucent rounded square in which the activity
// indicator spins. Lying over the whole window with user interaction on, it takes every touch, so
// the page below cannot be used meanwhile. It also holds a centred label on its own dark square,
// both created hidden and never shown.
//
// The overlay keeps no count and starts nothing: its owner adds it to the window, starts the
// indicator, and later stops the indicator and removes the overlay. The key window must exist
// before the first overlay is made (its sizes use the window's short side). Main thread only.
#include "indicators/ActivityIndicatorView.h"
#include "platform/core/Object.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

#include <memory>

namespace kit {

class LoadingView : public ui::View {
    QUILLORA_CLASS(LoadingView)
    // The frame is ignored: the overlay always covers the main screen.
    explicit LoadingView(gfx::Rect frame = {});
    void init() override;

    const std::shared_ptr<indicators::ActivityIndicatorView>& loadingView() const { return loadingView_; }
    const std::shared_ptr<ui::View>& loadingLabelBg() const { return loadingLabelBg_; }
    const std::shared_ptr<ui::Label>& loadingLabel() const { return loadingLabel_; }

    // Removes the overlay from its superview; the argument is not used.
    void dismiss1WithObj(const std::shared_ptr<core::Object>& object = nullptr);

private:
    std::shared_ptr<indicators::ActivityIndicatorView> loadingView_;
    std::shared_ptr<ui::View> loadingLabelBg_;
    std::shared_ptr<ui::Label> loadingLabel_;
};

} // namespace kit
