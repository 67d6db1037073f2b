#include "Tools/LoadingView/LoadingView.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/Button.h"
#include "platform/ui/tests/UiTest.h"
#include "ui/c.h"

#include <cmath>

namespace kit {
namespace {

class LoadingOverlay : public ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        c::resetForTesting();
        overlay = core::make<LoadingView>(gfx::Rect{10, 10, 50, 50});
    }
    void TearDown() override {
        c::resetForTesting();
        UiTest::TearDown();
    }
    // Shown the way the service client shows it.
    void show() {
        c::window()->addSubview(overlay);
        overlay->loadingView()->startIndicator();
    }
    std::shared_ptr<LoadingView> overlay;
    const double u = 375.0 / 1080;
};

TEST_F(LoadingOverlay, CoversTheScreenWithACentredIndicatorSquare) {
    show();
    core::Value tree = host->dumpTree();
    const core::Value& view = tree.find("subviews")->asArray().at(0);
    auto frame = [](const core::Value& v) {
        const auto& f = v.find("frame")->asArray();
        return gfx::Rect{f[0].asDouble(), f[1].asDouble(), f[2].asDouble(), f[3].asDouble()};
    };
    EXPECT_EQ(view.find("class")->asString(), "LoadingView");
    EXPECT_EQ(frame(view), (gfx::Rect{0, 0, 375, 667})) << "the given frame is ignored";
    const auto& children = view.find("subviews")->asArray();
    ASSERT_EQ(children.size(), 3u);
    const double side = 350 * u;
    const gfx::Rect square{187.5 - side / 2, 333.5 - side / 2, side, side};
    const char* classes[] = {"ActivityIndicatorView", "View", "Label"};
    const bool hidden[] = {false, true, true};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(children[i].find("class")->asString(), classes[i]);
        EXPECT_EQ(children[i].find("hidden")->asBool(), hidden[i]) << classes[i];
        gfx::Rect f = frame(children[i]);
        const gfx::Rect expected = i == 2 ? gfx::Rect{187.5 - 125 * u, 333.5 - 125 * u, 250 * u, 250 * u} : square;
        EXPECT_NEAR(f.x(), expected.x(), 1e-9) << classes[i];
        EXPECT_NEAR(f.y(), expected.y(), 1e-9) << classes[i];
        EXPECT_NEAR(f.width(), expected.width(), 1e-9) << classes[i];
    }

    auto indicator = overlay->loadingView();
    EXPECT_EQ(indicator->type(), indicators::ActivityIndicatorType::circleStrokeSpin);
    EXPECT_EQ(indicator->backgroundColor(), gfx::Color::black().withAlpha(0.7));
    EXPECT_EQ(indicator->layer()->cornerRadius(), 10);
    EXPECT_TRUE(indicator->clipsToBounds());
    EXPECT_EQ(indicator->color(), gfx::Color::whiteColor());
    EXPECT_NEAR(indicator->padding(), 100 * u, 1e-9);
    // The arc is drawn in a square of 350u - 2 * 100u, about 52.1 points.
    ASSERT_EQ(indicator->layer()->sublayers().size(), 1u);
    EXPECT_NEAR(indicator->layer()->sublayers()[0]->bounds().width(), 150 * u, 1e-9);
    EXPECT_NEAR(150 * u, 52.1, 0.05);

    EXPECT_EQ(overlay->backgroundColor(), gfx::Color::black().withAlpha(0));
    EXPECT_EQ(overlay->loadingLabel()->font(), c::fontBold48());
    EXPECT_EQ(overlay->loadingLabel()->numberOfLines(), 0);
    EXPECT_EQ(overlay->loadingLabelBg()->backgroundColor(), gfx::Color::black().withAlpha(0.7));
}

TEST_F(LoadingOverlay, CreatedIdleWithoutALayout) {
    EXPECT_TRUE(overlay->loadingView()->isHidden());
    EXPECT_FALSE(overlay->loadingView()->isAnimating());
    EXPECT_TRUE(overlay->loadingView()->layer()->sublayers().empty());
}

TEST_F(LoadingOverlay, SwallowsEveryTouchWhileShown) {
    auto page = core::make<ui::Button>(gfx::Rect{0, 0, 375, 667});
    int taps = 0;
    page->addTarget(std::weak_ptr<void>(), [&](ui::Control&) { ++taps; }, ui::touchUpInside);
    window->addSubview(page);
    show();
    host->tap({20, 600});
    host->tap({187.5, 333.5});
    EXPECT_EQ(taps, 0);

    overlay->loadingView()->stopIndicator();
    overlay->dismiss1WithObj(page);
    EXPECT_EQ(overlay->superview(), nullptr);
    EXPECT_TRUE(overlay->loadingView()->layer()->sublayers().empty());
    host->tap({20, 600});
    EXPECT_EQ(taps, 1);
    overlay->dismiss1WithObj();  // without a superview: nothing more happens
    EXPECT_EQ(overlay->superview(), nullptr);
}

// The indicator's square, cut out of the window's snapshot (130 x 130 points around the centre).
gfx::ImagePtr square(const gfx::Image& shot) {
    const int side = static_cast<int>(130 * shot.scale());
    const int x0 = static_cast<int>(std::lround((187.5 - 65) * shot.scale()));
    const int y0 = static_cast<int>(std::lround((333.5 - 65) * shot.scale()));
    std::vector<uint32_t> pixels;
    pixels.reserve(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) pixels.push_back(shot.pixel(x0 + x, y0 + y));
    return std::make_shared<const gfx::Image>(side, side, shot.scale(), std::move(pixels));
}

TEST_F(LoadingOverlay, TheArcGrowsChasesAndTurns) {
    show();
    const std::pair<double, const char*> frames[] = {
        {0, "/spin-0.00.png"},
        {0.35, "/spin-0.35.png"},
        {0.85, "/spin-0.85.png"},
        {1.2, "/spin-1.20.png"},
    };
    double now = 0;
    for (const auto& [at, name] : frames) {
        host->advance(at - now);
        now = at;
        EXPECT_TRUE(gfx::testing::matchesGolden(*square(*host->snapshot()), std::string(QUILLORA_GOLDEN_DIR) + name))
            << at;
    }
}

} // namespace
} // namespace kit
