#include "indicators/IndicatorGallery.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/tests/UiTest.h"

namespace indicators {
namespace {

using T = ActivityIndicatorType;
using Gallery = ui::UiTest;

// One picture per family: a row per type, columns at 0.1, 0.35, 0.6 and 1.0 s after the build.
TEST_F(Gallery, EachFamilyOverItsFirstSecond) {
    struct Family {
        const char* golden;
        std::vector<T> types;
    };
    const Family families[] = {
        {"/pulse.png", {T::ballPulse, T::ballPulseSync, T::ballBeat, T::ballPulseRise, T::ballGridPulse, T::ballGridBeat}},
        {"/scale.png",
         {T::ballScale, T::ballScaleMultiple, T::ballScaleRipple, T::ballScaleRippleMultiple, T::ballSpinFadeLoader}},
        {"/line.png",
         {T::lineScale, T::lineScaleParty, T::lineScalePulseOut, T::lineScalePulseOutRapid, T::lineSpinFadeLoader,
          T::audioEqualizer}},
        {"/path.png", {T::ballZigZag, T::ballZigZagDeflect, T::ballTrianglePath, T::pacman, T::orbit}},
    };
    for (const auto& f : families) {
        IndicatorGallery gallery(f.types, 4, {0.1, 0.35, 0.6, 1.0});
        EXPECT_TRUE(gfx::testing::matchesGolden(*gallery.render(0, 1), QUILLORA_GOLDEN_DIR + std::string(f.golden)));
    }
}

// All 33 types, half a second after the build.
TEST_F(Gallery, AllTypes) {
    IndicatorGallery gallery;
    EXPECT_EQ(gallery.view()->subviews().size(), 33u);
    EXPECT_EQ(gallery.view()->bounds().size, (gfx::Size{6 * IndicatorGallery::kCellWidth, 6 * IndicatorGallery::kCellHeight}));
    EXPECT_TRUE(gfx::testing::matchesGolden(*gallery.render(0.5, 1), std::string(QUILLORA_GOLDEN_DIR) + "/gallery.png"));
}

} // namespace
} // namespace indicators
