#pragma once
// A registration with an observable value (a scroll view's offset, its content size, its pan
// state). The observer keeps the token; dropping it unregisters, and an observable that dies
// first simply never calls again, so neither side has to outlive the other. Main thread only.

#include <functional>
#include <memory>

namespace ui {

class Observation {
public:
    Observation() = default;
    explicit Observation(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    ~Observation() { cancel(); }
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;
    Observation(Observation&& other) noexcept : cancel_(std::move(other.cancel_)) { other.cancel_ = nullptr; }
    Observation& operator=(Observation&& other) noexcept {
        if (this != &other) {
            cancel();
            cancel_ = std::move(other.cancel_);
            other.cancel_ = nullptr;
        }
        return *this;
    }

    // Unregisters now; later calls do nothing.
    void cancel() {
        if (cancel_) {
            auto run = std::move(cancel_);
            cancel_ = nullptr;
            run();
        }
    }
    bool isActive() const { return cancel_ != nullptr; }

private:
    std::function<void()> cancel_;
};

using ObservationToken = std::unique_ptr<Observation>;

} // namespace ui
