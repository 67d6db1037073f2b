#pragma once
// A class's appearance: settings recorded once for the class that every instance made later
// takes at its creation, in the order they were first recorded. A setting made again (the same
// property with the same state, style, metrics or position) replaces the earlier one in its
// place, so setting a value to nothing records "nothing" rather than forgetting the setting.
// Instances made before a setting keep what they had. Main thread only, like the classes.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ui {

template <class T>
class Appearance {
public:
    using Setting = std::function<void(T&)>;

    void set(std::string key, Setting apply) {
        for (auto& [k, s] : settings_)
            if (k == key) {
                s = std::move(apply);
                return;
            }
        settings_.emplace_back(std::move(key), std::move(apply));
    }
    void applyTo(T& object) const {
        for (const auto& [key, apply] : settings_) apply(object);
    }
    // The keys recorded, in order (for tests and logs).
    std::vector<std::string> keys() const {
        std::vector<std::string> out;
        for (const auto& [key, apply] : settings_) out.push_back(key);
        return out;
    }

private:
    std::vector<std::pair<std::string, Setting>> settings_;
};

} // namespace ui
