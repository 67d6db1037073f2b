#pragma once
// The device the app runs on. Main thread only.

namespace ui {

class Device {
public:
    static Device& current() {
        static Device device;
        return device;
    }
    // The keyboard's click for a tap on a key-like control. This desktop has no click sound, so it
    // is silent; it only counts, so tests can see that one was asked for.
    void playInputClick() { ++inputClicks_; }
    unsigned long inputClicks() const { return inputClicks_; }

private:
    Device() = default;
    unsigned long inputClicks_ = 0;
};

} // namespace ui
