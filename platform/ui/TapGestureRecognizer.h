#pragma once
// A tap: a touch that lifts within 10 points of where it came down. It fails when the touch
// moves further, when a second finger comes down, or when the touch is cancelled. A tap that
// needs several taps wants each next touch down within 0.35 s of the last lift and within 10
// points of the first tap; until then it stays possible (recognizers that require it to fail
// wait), and it fails when the time runs out.

#include "platform/ui/GestureRecognizer.h"

namespace dispatch {
class Timer;
}

namespace ui {

class TapGestureRecognizer : public GestureRecognizer {
public:
    static constexpr double kAllowableMovement = 10;
    static constexpr double kMaximumTapInterval = 0.35;

    int numberOfTapsRequired() const { return numberOfTapsRequired_; }
    void setNumberOfTapsRequired(int taps) { numberOfTapsRequired_ = taps < 1 ? 1 : taps; }

    void touchesBegan(const TouchSet& touches) override;
    void touchesMoved(const TouchSet& touches) override;
    void touchesEnded(const TouchSet& touches) override;
    void touchesCancelled(const TouchSet& touches) override;
    void reset() override;

protected:
    bool isTracking() const override { return !touches_.empty() || tapCount_ > 0; }

private:
    void fail();

    gfx::Point start_;
    gfx::Point firstTap_;
    int numberOfTapsRequired_ = 1;
    int tapCount_ = 0;
    std::shared_ptr<dispatch::Timer> waitTimer_;
};

} // namespace ui
