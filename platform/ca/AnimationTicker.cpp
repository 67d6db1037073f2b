#include "platform/ca/AnimationTicker.h"

#include "platform/ca/Layer.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Timer.h"

#include <algorithm>

namespace ca {

AnimationTicker& AnimationTicker::shared() {
    static AnimationTicker ticker;
    return ticker;
}

void AnimationTicker::watch(const std::shared_ptr<Layer>& layer) {
    // The same object as a watched layer (compared by owner: an expired entry belongs to none alive).
    bool known = std::any_of(layers_.begin(), layers_.end(), [&](const auto& w) { return !w.owner_before(layer) && !layer.owner_before(w); });
    if (!known) layers_.push_back(layer);
    if (!timer_) timer_ = dispatch::Timer::start(dispatch::Queue::main(), 1.0 / 60, true, [] { shared().tick(); });
}

void AnimationTicker::tick() {
    // A stop handler may add animations, and so layers at the end of the list: the layers
    // watched when the tick began are visited by their place (no copy of the list to make). A
    // tick run from a stop handler drops no layer, so the places stay put until the outer one
    // has visited them all.
    const std::size_t watched = layers_.size();
    ++depth_;
    for (std::size_t i = 0; i < watched; ++i)
        if (auto layer = layers_[i].lock()) layer->removeFinishedAnimations();
    if (--depth_ > 0) {
        if (frameObserver_) frameObserver_();
        return;
    }
    std::erase_if(layers_, [](const auto& weak) {
        auto layer = weak.lock();
        return !layer || !layer->hasAnimations();
    });
    if (frameObserver_) frameObserver_();
    if (layers_.empty() && timer_) {
        timer_->cancel();
        timer_.reset();
    }
}

} // namespace ca
