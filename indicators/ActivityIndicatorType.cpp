#include "indicators/ActivityIndicatorType.h"

#include "indicators/animations/ActivityIndicatorAnimationBallClipRotate.h"
#include "indicators/animations/ActivityIndicatorAnimationBallClipRotateMultiple.h"
#include "indicators/animations/ActivityIndicatorAnimationBallClipRotatePulse.h"
#include "indicators/animations/ActivityIndicatorAnimationBallRotate.h"
#include "indicators/animations/ActivityIndicatorAnimationBallRotateChase.h"
#include "indicators/animations/ActivityIndicatorAnimationBlank.h"
#include "indicators/animations/ActivityIndicatorAnimationCircleStrokeSpin.h"
#include "indicators/animations/ActivityIndicatorAnimationCubeTransition.h"
#include "indicators/animations/ActivityIndicatorAnimationSemiCircleSpin.h"
#include "indicators/animations/ActivityIndicatorAnimationSquareSpin.h"
#include "indicators/animations/ActivityIndicatorAnimationTriangleSkewSpin.h"

#include <array>

namespace indicators {
namespace {

constexpr std::array<std::string_view, 33> kNames = {
    "blank", "ballPulse", "ballGridPulse", "ballClipRotate", "squareSpin", "ballClipRotatePulse",
    "ballClipRotateMultiple", "ballPulseRise", "ballRotate", "cubeTransition", "ballZigZag",
    "ballZigZagDeflect", "ballTrianglePath", "ballScale", "lineScale", "lineScaleParty", "ballScaleMultiple",
    "ballPulseSync", "ballBeat", "lineScalePulseOut", "lineScalePulseOutRapid", "ballScaleRipple",
    "ballScaleRippleMultiple", "ballSpinFadeLoader", "lineSpinFadeLoader", "triangleSkewSpin", "pacman",
    "ballGridBeat", "semiCircleSpin", "ballRotateChase", "orbit", "audioEqualizer", "circleStrokeSpin",
};

} // namespace

std::optional<ActivityIndicatorType> activityIndicatorTypeFromRaw(long raw) {
    if (raw < 0 || raw >= static_cast<long>(kNames.size())) return std::nullopt;
    return static_cast<ActivityIndicatorType>(raw);
}

std::string_view caseName(ActivityIndicatorType type) { return kNames.at(static_cast<size_t>(rawValue(type))); }

const std::vector<ActivityIndicatorType>& allIndicatorTypes() {
    static const std::vector<ActivityIndicatorType> all = [] {
        std::vector<ActivityIndicatorType> types;
        for (size_t i = 0; i < kNames.size(); ++i) types.push_back(static_cast<ActivityIndicatorType>(i));
        return types;
    }();
    return all;
}

std::unique_ptr<ActivityIndicatorAnimationDelegate> makeIndicatorAnimation(ActivityIndicatorType type) {
    using T = ActivityIndicatorType;
    switch (type) {
    case T::blank: return std::make_unique<ActivityIndicatorAnimationBlank>();
    case T::ballClipRotate: return std::make_unique<ActivityIndicatorAnimationBallClipRotate>();
    case T::squareSpin: return std::make_unique<ActivityIndicatorAnimationSquareSpin>();
    case T::ballClipRotatePulse: return std::make_unique<ActivityIndicatorAnimationBallClipRotatePulse>();
    case T::ballClipRotateMultiple: return std::make_unique<ActivityIndicatorAnimationBallClipRotateMultiple>();
    case T::ballRotate: return std::make_unique<ActivityIndicatorAnimationBallRotate>();
    case T::cubeTransition: return std::make_unique<ActivityIndicatorAnimationCubeTransition>();
    case T::triangleSkewSpin: return std::make_unique<ActivityIndicatorAnimationTriangleSkewSpin>();
    case T::semiCircleSpin: return std::make_unique<ActivityIndicatorAnimationSemiCircleSpin>();
    case T::ballRotateChase: return std::make_unique<ActivityIndicatorAnimationBallRotateChase>();
    case T::circleStrokeSpin: return std::make_unique<ActivityIndicatorAnimationCircleStrokeSpin>();
    // The pulse, beat, scale, ripple, fade, line, bar and path families are not built yet; until
    // they are, these types draw nothing, like blank.
    case T::ballPulse:
    case T::ballGridPulse:
    case T::ballPulseRise:
    case T::ballZigZag:
    case T::ballZigZagDeflect:
    case T::ballTrianglePath:
    case T::ballScale:
    case T::lineScale:
    case T::lineScaleParty:
    case T::ballScaleMultiple:
    case T::ballPulseSync:
    case T::ballBeat:
    case T::lineScalePulseOut:
    case T::lineScalePulseOutRapid:
    case T::ballScaleRipple:
    case T::ballScaleRippleMultiple:
    case T::ballSpinFadeLoader:
    case T::lineSpinFadeLoader:
    case T::pacman:
    case T::ballGridBeat:
    case T::orbit:
    case T::audioEqualizer:
        return std::make_unique<ActivityIndicatorAnimationBlank>();
    }
    return std::make_unique<ActivityIndicatorAnimationBlank>();
}

} // namespace indicators
