#pragma once
// The pending automatic dismissal of the HUD, the toast or the banner: one one-shot timer on the
// main queue that a new start or a stop replaces. The block should hold its owner weakly.
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Timer.h"

#include <functional>
#include <memory>

namespace kit {

class DismissTimer {
public:
    // Stops a running timer, then fires `block` once after `seconds`.
    void start(double seconds, std::function<void()> block) {
        stop();
        timer_ = dispatch::Timer::start(dispatch::Queue::main(), seconds, false, std::move(block));
    }
    void stop() {
        if (timer_) {
            timer_->cancel();
            timer_.reset();
        }
    }

private:
    std::shared_ptr<dispatch::Timer> timer_;
};

} // namespace kit
