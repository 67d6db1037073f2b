#pragma once
// The dark, frosted mask laid over the presenting controller's view while a side menu is open.
// It turns a tap into "SMSideTapNotification" (no object) and every callback of its pan into
// "SMSidePanNotification" (object: the pan recognizer, boxed), which the side menu's interactive
// transitions observe to close the menu. Main thread only.

#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/VisualEffectView.h"

namespace side_menu {

inline constexpr const char* kSMSideTapNotification = "SMSideTapNotification";
inline constexpr const char* kSMSidePanNotification = "SMSidePanNotification";

class SMSideMaskView : public ui::VisualEffectView {
    QUILLORA_CLASS(SMSideMaskView)

    SMSideMaskView() : VisualEffectView(ui::BlurEffectStyle::dark) {}
    void init() override;

    virtual void tapAction(ui::TapGestureRecognizer& recognizer);
    virtual void panAction(ui::PanGestureRecognizer& recognizer);
};

} // namespace side_menu
