#pragma once
// The object of a "SMSidePanNotification": the mask's pan recognizer. Notifications carry core
// objects and gesture recognizers are not ones, so the recognizer travels in this box.

#include "platform/core/Object.h"
#include "platform/ui/PanGestureRecognizer.h"

#include <memory>

namespace side_menu {

class SMSidePanRecognizerObject : public core::Object {
    QUILLORA_CLASS(SMSidePanRecognizerObject)

    explicit SMSidePanRecognizerObject(std::shared_ptr<ui::PanGestureRecognizer> recognizer)
        : recognizer_(std::move(recognizer)) {}
    const std::shared_ptr<ui::PanGestureRecognizer>& recognizer() const { return recognizer_; }

private:
    std::shared_ptr<ui::PanGestureRecognizer> recognizer_;
};

} // namespace side_menu
