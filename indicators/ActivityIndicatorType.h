#pragma once
// The 33 kinds of activity indicator, with raw values 0 to 32 in this order, their case names and
// the factory of the animation that draws each.
#include "indicators/ActivityIndicatorAnimationDelegate.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace indicators {

enum class ActivityIndicatorType {
    blank,
    ballPulse,
    ballGridPulse,
    ballClipRotate,
    squareSpin,
    ballClipRotatePulse,
    ballClipRotateMultiple,
    ballPulseRise,
    ballRotate,
    cubeTransition,
    ballZigZag,
    ballZigZagDeflect,
    ballTrianglePath,
    ballScale,
    lineScale,
    lineScaleParty,
    ballScaleMultiple,
    ballPulseSync,
    ballBeat,
    lineScalePulseOut,
    lineScalePulseOutRapid,
    ballScaleRipple,
    ballScaleRippleMultiple,
    ballSpinFadeLoader,
    lineSpinFadeLoader,
    triangleSkewSpin,
    pacman,
    ballGridBeat,
    semiCircleSpin,
    ballRotateChase,
    orbit,
    audioEqualizer,
    circleStrokeSpin,
};

// The type with this raw value; nothing outside 0 to 32.
std::optional<ActivityIndicatorType> activityIndicatorTypeFromRaw(long raw);
inline int rawValue(ActivityIndicatorType type) { return static_cast<int>(type); }
// The case name, for example "ballSpinFadeLoader".
std::string_view caseName(ActivityIndicatorType type);
// All 33 types in raw order.
const std::vector<ActivityIndicatorType>& allIndicatorTypes();

// A new animation object for the type, owned by the caller; every call makes a new one.
std::unique_ptr<ActivityIndicatorAnimationDelegate> makeIndicatorAnimation(ActivityIndicatorType type);

} // namespace indicators
