#include "side_menu/SMSideMaskView.h"

#include "platform/core/NotificationCenter.h"
#include "side_menu/SMSidePanRecognizerObject.h"

namespace side_menu {

void SMSideMaskView::init() {
    VisualEffectView::init();
    std::weak_ptr<SMSideMaskView> weak = std::static_pointer_cast<SMSideMaskView>(shared_from_this());
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    tap->addAction([weak](ui::GestureRecognizer& r) {
        if (auto self = weak.lock()) self->tapAction(static_cast<ui::TapGestureRecognizer&>(r));
    });
    addGestureRecognizer(tap);
    auto pan = std::make_shared<ui::PanGestureRecognizer>();
    pan->addAction([weak](ui::GestureRecognizer& r) {
        if (auto self = weak.lock()) self->panAction(static_cast<ui::PanGestureRecognizer&>(r));
    });
    addGestureRecognizer(pan);
}

void SMSideMaskView::tapAction(ui::TapGestureRecognizer& recognizer) {
    (void)recognizer;
    core::NotificationCenter::defaultCenter().post(kSMSideTapNotification);
}

void SMSideMaskView::panAction(ui::PanGestureRecognizer& recognizer) {
    auto shared = std::static_pointer_cast<ui::PanGestureRecognizer>(recognizer.shared_from_this());
    core::NotificationCenter::defaultCenter().post(kSMSidePanNotification,
                                                   core::make<SMSidePanRecognizerObject>(std::move(shared)));
}

} // namespace side_menu
