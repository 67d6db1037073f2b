#include "platform/ui/InputAccessory.h"

#include "platform/ui/Keyboard.h"
#include "platform/ui/View.h"

namespace ui {

void InputAccessoryHost::setInputAccessoryView(std::shared_ptr<View> view) {
    if (view == inputAccessoryView_) return;
    inputAccessoryView_ = std::move(view);
    reloadInputViews();
}

void InputAccessoryHost::reloadInputViews() {
    auto focused = Keyboard::shared().firstResponder();
    const View* self = focusView();
    if (focused && self && (focused.get() == self || focused->isDescendantOf(self))) Keyboard::shared().reloadInputViews();
}

} // namespace ui
