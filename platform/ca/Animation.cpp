#include "platform/ca/Animation.h"

#include <cmath>
#include <limits>

namespace ca {
namespace {

constexpr double kDefaultDuration = 0.25;

// Cubic Bézier point at t.
gfx::Point bezier(gfx::Point p0, gfx::Point p1, gfx::Point p2, gfx::Point p3, double t) {
    double u = 1 - t;
    return p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t);
}

} // namespace

double Animation::effectiveDuration(double inheritedDuration) const {
    if (duration > 0) return duration;
    return inheritedDuration > 0 ? inheritedDuration : kDefaultDuration;
}

double Animation::activeDuration(double inheritedDuration) const {
    double d = effectiveDuration(inheritedDuration) * (autoreverses ? 2 : 1);
    if (repeatDuration > 0) return repeatDuration;
    if (std::isinf(repeatCount)) return std::numeric_limits<double>::infinity();
    return d * (repeatCount > 0 ? repeatCount : 1);
}

std::optional<double> Animation::progress(double parentTime, double inheritedDuration) const {
    const double d = effectiveDuration(inheritedDuration);
    const double cycle = d * (autoreverses ? 2 : 1);
    const double active = activeDuration(inheritedDuration);
    double t = (parentTime - beginTime) * speed + timeOffset;
    bool atEnd = false;
    if (t < 0) {
        if (fillMode != FillMode::backwards && fillMode != FillMode::both) return std::nullopt;
        t = 0;
    } else if (t >= active) {
        if (fillMode != FillMode::forwards && fillMode != FillMode::both) return std::nullopt;
        t = active;
        atEnd = true;
    }
    double p = cycle > 0 ? std::fmod(t, cycle) : 0;
    // The end of the active time shows the end of the iteration it finishes, not the start of
    // the next one.
    if (atEnd && p == 0 && t > 0) p = cycle;
    if (autoreverses && p > d) p = cycle - p;
    double fraction = d > 0 ? p / d : 1;
    return timingFunction ? timingFunction->evaluate(fraction) : fraction;
}

bool Animation::isFinished(double parentTime, double inheritedDuration) const {
    double t = (parentTime - beginTime) * speed + timeOffset;
    return t >= activeDuration(inheritedDuration);
}

void Animation::apply(double parentTime, double inheritedDuration, const LayerProperties& model,
                      LayerProperties& presentation) const {
    auto fraction = progress(parentTime, inheritedDuration);
    if (!fraction) return;
    applyAt(*fraction, effectiveDuration(inheritedDuration), model, presentation);
}

void PropertyAnimation::show(const PropertyValue& value, const LayerProperties& model,
                             LayerProperties& presentation) const {
    if (additive) {
        if (auto base = model.get(keyPath)) return void(presentation.set(keyPath, add(*base, value)));
    }
    presentation.set(keyPath, value);
}

std::shared_ptr<BasicAnimation> BasicAnimation::make(std::string keyPath) {
    auto a = std::make_shared<BasicAnimation>();
    a->keyPath = std::move(keyPath);
    return a;
}

void BasicAnimation::applyAt(double fraction, double, const LayerProperties& model,
                             LayerProperties& presentation) const {
    auto current = model.get(keyPath);
    if (!current) return;
    PropertyValue from = *current, to = *current;
    if (fromValue && toValue) { from = *fromValue; to = *toValue; }
    else if (fromValue && byValue) { from = *fromValue; to = add(*fromValue, *byValue); }
    else if (byValue && toValue) { from = subtract(*toValue, *byValue); to = *toValue; }
    else if (fromValue) { from = *fromValue; }
    else if (toValue) { to = *toValue; }
    else if (byValue) { to = add(*current, *byValue); }
    show(interpolate(from, to, fraction), model, presentation);
}

std::shared_ptr<KeyframeAnimation> KeyframeAnimation::make(std::string keyPath) {
    auto a = std::make_shared<KeyframeAnimation>();
    a->keyPath = std::move(keyPath);
    return a;
}

void KeyframeAnimation::applyAt(double fraction, double, const LayerProperties& model,
                                LayerProperties& presentation) const {
    // Frames: either the values, or the end points of the path's segments.
    std::vector<gfx::Point> starts;  // path segments: start point of each
    std::vector<const gfx::Path::Element*> segments;
    size_t frames = values.size();
    if (path) {
        gfx::Point current, subpathStart;
        for (const auto& e : path->elements()) {
            if (e.kind == gfx::Path::Kind::move) {
                current = subpathStart = e.points[0];
                continue;
            }
            starts.push_back(current);
            segments.push_back(&e);
            current = e.kind == gfx::Path::Kind::cubic ? e.points[2]
                      : e.kind == gfx::Path::Kind::close ? subpathStart
                                                         : e.points[0];
        }
        frames = segments.size() + 1;
        if (segments.empty()) {
            if (!path->elements().empty()) show(path->elements().front().points[0], model, presentation);
            return;
        }
    }
    if (frames == 0) return;
    auto valueAt = [&](size_t segment, double t) -> PropertyValue {
        if (path) {
            const auto& e = *segments[segment];
            gfx::Point a = starts[segment];
            if (e.kind == gfx::Path::Kind::cubic) return bezier(a, e.points[0], e.points[1], e.points[2], t);
            gfx::Point b = segment + 1 < starts.size() ? starts[segment + 1] : (e.kind == gfx::Path::Kind::close ? a : e.points[0]);
            if (e.kind == gfx::Path::Kind::line) b = e.points[0];
            return a + (b - a) * t;
        }
        return interpolate(values[segment], values[segment + 1], t);
    };
    if (frames == 1) {
        show(path ? valueAt(0, 0) : values[0], model, presentation);
        return;
    }
    std::vector<double> times = keyTimes;
    if (times.size() != frames) {
        times.resize(frames);
        for (size_t i = 0; i < frames; ++i) times[i] = static_cast<double>(i) / (frames - 1);
    }
    if (fraction <= times.front()) {
        show(valueAt(0, 0), model, presentation);
        return;
    }
    if (fraction >= times.back()) {
        show(valueAt(frames - 2, 1), model, presentation);
        return;
    }
    // The last frame whose time has come starts the segment; equal key times make a jump to the
    // later frame.
    size_t i = 0;
    while (i + 2 < frames && times[i + 1] <= fraction) ++i;
    double span = times[i + 1] - times[i];
    double local = span > 0 ? (fraction - times[i]) / span : 1;
    if (i < timingFunctions.size()) local = timingFunctions[i].evaluate(local);
    show(valueAt(i, local), model, presentation);
}

std::shared_ptr<AnimationGroup> AnimationGroup::make(std::vector<std::shared_ptr<Animation>> animations) {
    auto g = std::make_shared<AnimationGroup>();
    g->animations = std::move(animations);
    return g;
}

std::shared_ptr<Animation> AnimationGroup::copy() const {
    auto g = std::make_shared<AnimationGroup>(*this);
    for (auto& child : g->animations)
        if (child) child = child->copy();
    return g;
}

void AnimationGroup::applyAt(double fraction, double iterationDuration, const LayerProperties& model,
                             LayerProperties& presentation) const {
    double t = fraction * iterationDuration;
    for (const auto& child : animations)
        if (child) child->apply(t, iterationDuration, model, presentation);
}

} // namespace ca
