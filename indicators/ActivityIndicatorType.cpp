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
#include "indicators/animations/LineAnimations.h"
#include "indicators/animations/PathAnimations.h"
#include "indicators/animations/PulseAnimations.h"
#include "indicators/animations/ScaleAnimations.h"

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
    case T::ballPulse: return std::make_unique<ActivityIndicatorAnimationBallPulse>();
    case T::ballGridPulse: return std::make_unique<ActivityIndicatorAnimationBallGridPulse>();
    case T::ballPulseRise: return std::make_unique<ActivityIndicatorAnimationBallPulseRise>();
    case T::ballZigZag: return std::make_unique<ActivityIndicatorAnimationBallZigZag>();
    case T::ballZigZagDeflect: return std::make_unique<ActivityIndicatorAnimationBallZigZagDeflect>();
    case T::ballTrianglePath: return std::make_unique<ActivityIndicatorAnimationBallTrianglePath>();
    case T::ballScale: return std::make_unique<ActivityIndicatorAnimationBallScale>();
    case T::lineScale: return std::make_unique<ActivityIndicatorAnimationLineScale>();
    case T::lineScaleParty: return std::make_unique<ActivityIndicatorAnimationLineScaleParty>();
    case T::ballScaleMultiple: return std::make_unique<ActivityIndicatorAnimationBallScaleMultiple>();
    case T::ballPulseSync: return std::make_unique<ActivityIndicatorAnimationBallPulseSync>();
    case T::ballBeat: return std::make_unique<ActivityIndicatorAnimationBallBeat>();
    case T::lineScalePulseOut: return std::make_unique<ActivityIndicatorAnimationLineScalePulseOut>();
    case T::lineScalePulseOutRapid: return std::make_unique<ActivityIndicatorAnimationLineScalePulseOutRapid>();
    case T::ballScaleRipple: return std::make_unique<ActivityIndicatorAnimationBallScaleRipple>();
    case T::ballScaleRippleMultiple: return std::make_unique<ActivityIndicatorAnimationBallScaleRippleMultiple>();
    case T::ballSpinFadeLoader: return std::make_unique<ActivityIndicatorAnimationBallSpinFadeLoader>();
    case T::lineSpinFadeLoader: return std::make_unique<ActivityIndicatorAnimationLineSpinFadeLoader>();
    case T::pacman: return std::make_unique<ActivityIndicatorAnimationPacman>();
    case T::ballGridBeat: return std::make_unique<ActivityIndicatorAnimationBallGridBeat>();
    case T::orbit: return std::make_unique<ActivityIndicatorAnimationOrbit>();
    case T::audioEqualizer: return std::make_unique<ActivityIndicatorAnimationAudioEqualizer>();
    }
    return std::make_unique<ActivityIndicatorAnimationBlank>();
}

} // namespace indicators
