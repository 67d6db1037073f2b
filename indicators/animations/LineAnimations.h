#pragma once
// Upright pill-shaped bars: rows that stretch and shrink (lineScale, lineScaleParty,
// lineScalePulseOut, lineScalePulseOutRapid), a ring of bars that fade in turn
// (lineSpinFadeLoader) and an equalizer of four bars whose heights jump through a fixed list
// (audioEqualizer).
#include "indicators/ActivityIndicatorAnimationDelegate.h"

namespace indicators {

// Five bars squeezed to 0.4 of their height one after the other, left to right.
class ActivityIndicatorAnimationLineScale final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Four bars shrinking to half size, each with its own duration.
class ActivityIndicatorAnimationLineScaleParty final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Five bars squeezed from the middle outwards.
class ActivityIndicatorAnimationLineScalePulseOut final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// The same, faster; each bar is whole again at 90 % of its cycle and holds it.
class ActivityIndicatorAnimationLineScalePulseOutRapid final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Eight bars along the radii of a circle, fading one after the other clockwise from the right.
class ActivityIndicatorAnimationLineSpinFadeLoader final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

// Four bars whose filled height steps through twelve levels, each bar at its own pace.
class ActivityIndicatorAnimationAudioEqualizer final : public ActivityIndicatorAnimationDelegate {
public:
    void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) override;
};

} // namespace indicators
