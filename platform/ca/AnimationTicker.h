#pragma once
// Keeps animations moving: while any layer carries an animation, a repeating main-queue timer at
// 60 Hz on the process clock removes the animations that have finished (telling their onStop)
// and tells the frame observers that the picture has changed. With a virtual clock, advancing it
// and pumping the main run loop drives the ticks; tick() runs one at once (hosts call it before
// they draw). Main thread only.

#include <functional>
#include <memory>
#include <vector>

namespace dispatch {
class Timer;
}

namespace ca {

class Layer;

class AnimationTicker {
public:
    static AnimationTicker& shared();

    // Called by Layer when it gets an animation.
    void watch(const std::shared_ptr<Layer>& layer);
    void tick();
    bool isRunning() const { return !layers_.empty(); }
    // Observers called after every tick while animations run (hosts repaint on it).
    void setFrameObserver(std::function<void()> observer) { frameObserver_ = std::move(observer); }

private:
    std::vector<std::weak_ptr<Layer>> layers_;
    int depth_ = 0;  // ticks under way (a stop handler may run one)
    std::shared_ptr<dispatch::Timer> timer_;
    std::function<void()> frameObserver_;
};

} // namespace ca
