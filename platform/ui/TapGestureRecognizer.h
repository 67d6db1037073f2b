#pragma once
// A single tap: a touch that lifts within 10 points of where it came down. It fails when the
// touch moves further, when a second finger comes down, or when the touch is cancelled.

#include "platform/ui/GestureRecognizer.h"

namespace ui {

class TapGestureRecognizer : public GestureRecognizer {
public:
    static constexpr double kAllowableMovement = 10;

    void touchesBegan(const TouchSet& touches) override;
    void touchesMoved(const TouchSet& touches) override;
    void touchesEnded(const TouchSet& touches) override;

private:
    gfx::Point start_;
};

} // namespace ui
