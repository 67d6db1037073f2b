#pragma once
// Values shared by the indicator animations.
#include "platform/ca/Animation.h"
#include "platform/gfx/Rect.h"

#include <limits>
#include <numbers>

namespace indicators::terms {

inline constexpr double pi = std::numbers::pi;
// The repeat count of every outermost animation: the largest finite single-precision number,
// which repeats for ever in practice.
inline constexpr double forever = std::numeric_limits<float>::max();

// A frame of a x b in the middle of bounds of bw x bh.
inline gfx::Rect centred(double bw, double bh, double a, double b) { return {(bw - a) / 2, (bh - b) / 2, a, b}; }

// A timing function of four control points given in single precision, as the animations were
// tuned with.
inline ca::MediaTimingFunction cp(float x1, float y1, float x2, float y2) {
    return ca::MediaTimingFunction::controlPoints(x1, y1, x2, y2);
}

// Marks the outermost animation of a layer: it repeats for ever and stays after its end.
template <class A>
std::shared_ptr<A> outermost(std::shared_ptr<A> a) {
    a->repeatCount = forever;
    a->removedOnCompletion = false;
    return a;
}

// A basic animation of numbers from one value to another.
inline std::shared_ptr<ca::BasicAnimation> basic(const char* keyPath, double from, double to, double duration) {
    auto a = ca::BasicAnimation::make(keyPath);
    a->fromValue = from;
    a->toValue = to;
    a->duration = duration;
    return a;
}

// A group of `animations` in that order, lasting `duration`.
inline std::shared_ptr<ca::AnimationGroup> group(std::vector<std::shared_ptr<ca::Animation>> animations,
                                                 double duration) {
    auto g = ca::AnimationGroup::make(std::move(animations));
    g->duration = duration;
    return g;
}

} // namespace indicators::terms
