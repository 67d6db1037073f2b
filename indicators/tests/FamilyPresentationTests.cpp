#include "indicators/ActivityIndicatorType.h"
#include "platform/ca/ShapeLayer.h"
#include "indicators/tests/IndicatorLayerTest.h"

#include <cmath>
#include <functional>

namespace indicators {
namespace {

using T = ActivityIndicatorType;

double scale(const ca::LayerProperties& p) { return gfx::TransformComponents::of(p.transform).scaleX; }
double scaleY(const ca::LayerProperties& p) { return gfx::TransformComponents::of(p.transform).scaleY; }
double tx(const ca::LayerProperties& p) { return p.transform.m41; }
double ty(const ca::LayerProperties& p) { return p.transform.m42; }
double opacity(const ca::LayerProperties& p) { return p.opacity; }
double strokeStart(const ca::LayerProperties& p) { return p.strokeStart; }
double strokeEnd(const ca::LayerProperties& p) { return p.strokeEnd; }
double pathHeight(const ca::LayerProperties& p) { return p.path.isEmpty() ? 0 : p.path.bounds().height(); }
double positionX(const ca::LayerProperties& p) { return p.position.x; }
double positionY(const ca::LayerProperties& p) { return p.position.y; }

// Types built at 60 x 60 unless a case says otherwise.
class FamilyPresentation : public IndicatorLayerTest {
protected:
    FamilyPresentation() : IndicatorLayerTest({60, 60}) {}

    struct Case {
        T type;
        size_t layer;
        double at;  // seconds after the build
        double (*read)(const ca::LayerProperties&);
        double expected;
        const char* what;
    };
    void check(const Case& k, gfx::Size size) {
        auto root = build(k.type, size);
        host->advance(k.at);
        EXPECT_NEAR(k.read(shown(*root->sublayers().at(k.layer))), k.expected, 1e-6)
            << caseName(k.type) << " layer " << k.layer << " at " << k.at << ": " << k.what;
        root->removeFromSuperlayer();
    }
};

// At times that land on key times (seconds after the build, side 60).
TEST_F(FamilyPresentation, ValuesAtKeyTimes) {
    const double d = (30 - 28.0 / 3) / 2;  // ballPulseSync's travel
    const double q = 60 / 2.75 * 0.25, orbitRadius = (60 - q) / 2;
    const Case cases[] = {
        {T::ballPulse, 0, 0.06, scale, 1, "before its begin time the model shows"},
        {T::ballPulse, 0, 0.12 + 0.3 * 0.75, scale, 0.3, "smallest at 0.3 of the cycle"},
        {T::ballPulse, 2, 0.36 + 0.75, scale, 1, "whole again at the end"},
        {T::ballPulseSync, 0, 0.07 + 0.33 * 0.6, ty, d, "down first"},
        {T::ballPulseSync, 1, 0.14 + 0.66 * 0.6, ty, -d, "then up"},
        {T::ballBeat, 1, 0.35, scale, 0.75, "the middle dot beats first"},
        {T::ballBeat, 1, 0.35, opacity, 0.2, "and fades"},
        {T::ballBeat, 0, 0.35, opacity, 1, "the outer dots start half a cycle later"},
        {T::ballPulseRise, 0, 0.25, ty, -30, "even dots rise"},
        {T::ballPulseRise, 1, 0.25, ty, 30, "odd dots fall"},
        {T::ballPulseRise, 0, 0.5, scale, 0.4, "even dots shrink"},
        {T::ballPulseRise, 3, 0.5, scale, 1.1, "odd dots grow"},
        {T::ballGridPulse, 0, 0.36 - 0.06, scale, 0.5, "dot 0: 0.72 s, already 0.06 s under way"},
        {T::ballGridPulse, 0, 0.36 - 0.06, opacity, 0.7, "dot 0 fades too"},
        {T::ballGridPulse, 8, 0.45 + 0.53, scale, 0.5, "dot 8: 1.06 s from 0.45 s"},
        {T::ballGridBeat, 5, 0.47 - 0.15, opacity, 0.7, "dot 5: 0.94 s, already 0.15 s under way"},
        {T::ballScale, 0, 0.5, scale, 0.5, "half grown at half time"},
        {T::ballScale, 0, 0.5, opacity, 0.5, "half faded"},
        {T::ballScaleMultiple, 1, 0.1, opacity, 0, "later discs hidden until they start"},
        {T::ballScaleMultiple, 0, 0.05, opacity, 1, "opaque at 0.05"},
        {T::ballScaleRipple, 0, 0, scale, 0.1, "starts at 0.1"},
        {T::ballScaleRipple, 0, 0.7, opacity, 0.7, "opacity 0.7 at 0.7"},
        {T::ballScaleRipple, 0, 0.9, scale, 1, "holds full size while fading"},
        {T::ballScaleRippleMultiple, 2, 0.1, scale, 1, "later rings show whole before their start"},
        {T::ballScaleRippleMultiple, 2, 0.1, opacity, 1, "at full opacity"},
        {T::ballScaleRippleMultiple, 0, 0, scale, 0, "a started ring grows from 0"},
        {T::ballSpinFadeLoader, 1, 0.12 + 0.5, scale, 0.4, "dot 1 smallest half a second after its start"},
        {T::ballSpinFadeLoader, 1, 0.12 + 0.5, opacity, 0.3, "and faintest"},
        {T::lineScale, 0, 0.1 + 0.5, scaleY, 0.4, "bar 0 squeezed"},
        {T::lineScaleParty, 1, 0.29 + 0.215, scale, 0.5, "bar 1 at the middle of its 0.43 s"},
        {T::lineScalePulseOut, 2, 0.5, scaleY, 0.4, "the middle bar first"},
        {T::lineScalePulseOut, 0, 0.3, scaleY, 1, "the outer bars later"},
        {T::lineScalePulseOutRapid, 2, 0.72, scaleY, 0.3, "lowest at 0.8 of 0.9 s"},
        {T::lineScalePulseOutRapid, 2, 0.85, scaleY, 1, "whole after 0.9 of the cycle"},
        {T::lineSpinFadeLoader, 0, 0.12 + 0.6, opacity, 0.3, "container 0 faintest at half its 1.2 s"},
        {T::audioEqualizer, 0, 0, pathHeight, 0, "level 0 at the start"},
        {T::audioEqualizer, 0, 4.3 / 11, pathHeight, 42, "bar 0 at its second level, 0.7"},
        {T::audioEqualizer, 0, 4.3 * 4 / 11, pathHeight, 57, "bar 0 at its fifth level, 0.95"},
        {T::audioEqualizer, 1, 2.5 / 11, pathHeight, 42, "bar 1 at its own pace"},
        {T::ballZigZag, 0, 0.33 * 0.7, tx, -24, "dot 0 to the top left"},
        {T::ballZigZag, 1, 0.33 * 0.7, ty, 24, "dot 1 to the bottom right"},
        {T::ballZigZagDeflect, 0, 0.75 + 0.34 * 0.75, tx, 24, "runs back through the top right"},
        {T::ballTrianglePath, 0, 0.66, tx, 24, "the top ring to the bottom right"},
        {T::ballTrianglePath, 0, 0.66, ty, 48, "a full height down"},
        {T::ballTrianglePath, 1, 0.66, ty, -48, "the bottom-left ring to the top"},
        {T::ballTrianglePath, 2, 1.32, tx, -24, "the bottom-right ring to the top"},
        {T::pacman, 0, 0.5, tx, -15, "the dot half way"},
        {T::pacman, 0, 0.5, opacity, 0.85, "fading"},
        {T::pacman, 1, 0.25, strokeStart, 0, "the mouth shut at mid-cycle"},
        {T::pacman, 1, 0.5, strokeEnd, 0.875, "and open again"},
        {T::orbit, 2, 0.45 * 1.9, scale, 1.3, "the core swells"},
        {T::orbit, 1, 0.65 * 1.9, opacity, 0, "ring 2 gone by 65 %"},
        {T::orbit, 3, 1.9 / 4, positionX, 40 + orbitRadius, "the satellite a quarter round after a quarter of 1.9 s"},
        {T::orbit, 3, 1.9, positionY, 40 - orbitRadius, "and back at the top after 1.9 s"},
        {T::orbit, 3, 1.9 + 1.9 / 2, positionY, 40 + orbitRadius, "half round on its second turn"},
    };
    for (const auto& k : cases) check(k, {60, 60});
}

// Where the types take a measure from the height and where from the width (size 60 x 40).
TEST_F(FamilyPresentation, HeightUnlikeWidth) {
    const double s3 = 56.0 / 3;
    struct Frame {
        T type;
        size_t layer;
        gfx::Rect frame;
        const char* what;
    };
    const Frame frames[] = {
        {T::ballPulse, 0, {10, 40 - s3 / 2, s3, s3}, "rows centre the dots by their own side"},
        {T::ballGridPulse, 0, {10, 20, s3, s3}, "grids centre by the height"},
        {T::ballSpinFadeLoader, 2, {10 + (30 - 6.8), 20 + 2 * (30 - 6.8), 13.6, 13.6}, "radius from w, centring from h"},
        {T::ballScale, 0, {10, 20, 60, 40}, "discs fill w x h"},
        {T::lineScale, 0, {10, 20, 60.0 / 9, 40}, "bars as tall as h"},
    };
    for (const auto& f : frames) {
        auto root = build(f.type, {60, 40});
        const auto got = root->sublayers().at(f.layer)->frame();
        EXPECT_NEAR(got.x(), f.frame.x(), 1e-9) << caseName(f.type) << ": " << f.what;
        EXPECT_NEAR(got.y(), f.frame.y(), 1e-9) << caseName(f.type) << ": " << f.what;
        EXPECT_NEAR(got.width(), f.frame.width(), 1e-9) << caseName(f.type) << ": " << f.what;
        EXPECT_NEAR(got.height(), f.frame.height(), 1e-9) << caseName(f.type) << ": " << f.what;
        root->removeFromSuperlayer();
    }
    const Case cases[] = {
        {T::ballPulseSync, 0, 0.07 + 0.33 * 0.6, ty, (20 - 28.0 / 3) / 2, "travel from h"},
        {T::ballPulseRise, 0, 0.25, ty, -20, "rise by half of h"},
        {T::ballZigZag, 0, 0.33 * 0.7, ty, -14, "vertical travel from h"},
        {T::ballZigZag, 0, 0.33 * 0.7, tx, -24, "horizontal travel from w"},
        {T::ballTrianglePath, 0, 0.66, ty, 28, "full travel from h"},
    };
    for (const auto& k : cases) check(k, {60, 40});
}

// Tiny sides build completely and show no NaN anywhere.
TEST_F(FamilyPresentation, TinySidesBuildWithoutNaN) {
    for (double side : {0.0, 4.0, 8.0}) {
        for (auto type : allIndicatorTypes()) {
            auto root = build(type, {side, side});
            for (double step : {0.0, 0.3, 0.7}) {
                host->advance(step);
                std::function<void(const ca::Layer&)> visit = [&](const ca::Layer& layer) {
                    auto p = shown(layer);
                    const std::string where = std::string(caseName(type)) + " side " + std::to_string(side);
                    EXPECT_FALSE(std::isnan(p.opacity)) << where;
                    for (double e : p.transform.elements()) EXPECT_FALSE(std::isnan(e)) << where;
                    EXPECT_FALSE(std::isnan(p.position.x) || std::isnan(p.position.y)) << where;
                    for (const auto& e : p.path.elements())
                        for (const auto& pt : e.points) EXPECT_FALSE(std::isnan(pt.x) || std::isnan(pt.y)) << where;
                    for (const auto& child : layer.sublayers()) visit(*child);
                };
                visit(*root);
            }
            root->removeFromSuperlayer();
        }
    }
}

} // namespace
} // namespace indicators
