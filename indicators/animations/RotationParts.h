#pragma once
// Pieces that several rotation indicators build the same way.
#include "platform/ca/Animation.h"

#include <memory>
#include <optional>
#include <vector>

namespace indicators::rotation {

// A key-frame animation of numbers.
std::shared_ptr<ca::KeyframeAnimation> keyframes(const char* keyPath, std::vector<double> keyTimes,
                                                 std::vector<double> values,
                                                 std::vector<ca::MediaTimingFunction> timingFunctions = {},
                                                 double duration = 0);

// The breathing turn of the ring indicators: "transform.scale" through 1, 0.6, 1 at 0, 0.5, 1,
// then "transform.rotation.z" through `turn` at the same key times, grouped in that order.
std::shared_ptr<ca::AnimationGroup> scaleAndTurn(std::vector<double> turn,
                                                 std::optional<ca::MediaTimingFunction> t, double duration);

// The five key-frame values of a perspective flip: over the horizontal axis, the vertical, and
// back, each rotation carrying a perspective of m34 = -0.01.
std::shared_ptr<ca::KeyframeAnimation> flips();

} // namespace indicators::rotation
