#pragma once
// Layer animations: timing shared by all (Animation), a property animation from, to or by a value
// (BasicAnimation), through key-frame values or along a path (KeyframeAnimation), and groups of
// animations that run on one timeline (AnimationGroup).
//
// Timing model. An animation's local time is (parent time − beginTime) · speed + timeOffset,
// where the parent time is the layer's local time (or, inside a group, the group's local time
// after its own pacing). One iteration takes `duration` (twice that with autoreverses); the
// active time is repeatDuration, or repeatCount iterations (at least one; infinity repeats for
// ever). Before the active time the animation shows nothing unless its fill mode fills
// backwards; after it, nothing unless it fills forwards. Where an animation shows nothing the
// layer shows its model value. A duration of 0 takes the enclosing group's duration, or 0.25 s
// outside a group.
//
// A layer copies an animation when it is added, so changing the object afterwards does not reach
// layers that already carry it. Main thread only.

#include "platform/ca/LayerProperties.h"
#include "platform/ca/MediaTimingFunction.h"
#include "platform/ca/PropertyValue.h"
#include "platform/gfx/Path.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ca {

enum class FillMode { removed, forwards, backwards, both };

class Animation {
public:
    virtual ~Animation() = default;

    double beginTime = 0;
    double duration = 0;
    double speed = 1;
    double timeOffset = 0;
    double repeatCount = 0;
    double repeatDuration = 0;
    bool autoreverses = false;
    FillMode fillMode = FillMode::removed;
    std::optional<MediaTimingFunction> timingFunction;
    bool removedOnCompletion = true;
    // Called once when the animation leaves its layer: finished is true when its active time ran
    // out, false when it was removed or replaced before that.
    std::function<void(bool finished)> onStop;

    virtual std::shared_ptr<Animation> copy() const = 0;

    // The duration used for timing, given the enclosing group's duration (0 outside a group).
    double effectiveDuration(double inheritedDuration) const;
    // The length of the active time (may be infinite).
    double activeDuration(double inheritedDuration) const;
    // The paced fraction of the current iteration at `parentTime`, or nothing where the animation
    // shows nothing.
    std::optional<double> progress(double parentTime, double inheritedDuration) const;
    // True once `parentTime` is at or past the end of the active time.
    bool isFinished(double parentTime, double inheritedDuration = 0) const;

    // Writes the animation's effect at `parentTime` into `presentation`; `model` holds the values
    // the animation starts from or goes to when it names none.
    void apply(double parentTime, double inheritedDuration, const LayerProperties& model,
               LayerProperties& presentation) const;

protected:
    virtual void applyAt(double fraction, double iterationDuration, const LayerProperties& model,
                         LayerProperties& presentation) const = 0;
};

// `additive`: the animated value is added to the model value instead of replacing it (numbers,
// points and sizes add, transforms concatenate after the model's); a path value still replaces
// the model's path, since paths do not add.
class PropertyAnimation : public Animation {
public:
    std::string keyPath;
    bool additive = false;

protected:
    // Writes `value` under the key path, added to the model value when additive.
    void show(const PropertyValue& value, const LayerProperties& model, LayerProperties& presentation) const;
};

class BasicAnimation final : public PropertyAnimation {
public:
    static std::shared_ptr<BasicAnimation> make(std::string keyPath);

    std::optional<PropertyValue> fromValue;
    std::optional<PropertyValue> toValue;
    std::optional<PropertyValue> byValue;

    std::shared_ptr<Animation> copy() const override { return std::make_shared<BasicAnimation>(*this); }

protected:
    void applyAt(double fraction, double iterationDuration, const LayerProperties& model,
                 LayerProperties& presentation) const override;
};

// Key frames: `values` at `keyTimes` (fractions of the duration, non-decreasing; when their
// count differs from the values', the values are spaced evenly). Before the first key time the
// first value shows, after the last the last value. Two equal key times make a jump.
// `timingFunctions` pace each segment; a list shorter than the segments leaves the rest linear.
// With a `path` (for point-valued key paths) the frames are the path's segment end points and
// the layer moves along each segment's curve.
class KeyframeAnimation final : public PropertyAnimation {
public:
    static std::shared_ptr<KeyframeAnimation> make(std::string keyPath);

    std::vector<PropertyValue> values;
    std::vector<double> keyTimes;
    std::vector<MediaTimingFunction> timingFunctions;
    std::optional<gfx::Path> path;

    std::shared_ptr<Animation> copy() const override { return std::make_shared<KeyframeAnimation>(*this); }

protected:
    void applyAt(double fraction, double iterationDuration, const LayerProperties& model,
                 LayerProperties& presentation) const override;
};

// The children run on the group's timeline: their begin times are relative to the group's start,
// a child without a duration takes the group's, and what a child shows outside its own active
// time follows its own fill mode (by default: the model value). Children apply in order.
class AnimationGroup final : public Animation {
public:
    static std::shared_ptr<AnimationGroup> make(std::vector<std::shared_ptr<Animation>> animations = {});

    std::vector<std::shared_ptr<Animation>> animations;

    std::shared_ptr<Animation> copy() const override;

protected:
    void applyAt(double fraction, double iterationDuration, const LayerProperties& model,
                 LayerProperties& presentation) const override;
};

} // namespace ca
