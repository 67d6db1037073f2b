// View::transition: the old look laid over the view goes away by dissolve, flip or wipe.

#include "UiTest.h"

namespace ui {
namespace {

using ui_ViewTransition = UiTest;

// Red and blue of the pixel at (x, y) points on the window's snapshot.
std::pair<int, int> redBlueAt(HeadlessHost& host, double x, double y) {
    auto image = host.snapshot();
    const double scale = Screen::main().scale();
    uint32_t p = image->pixels()[static_cast<std::size_t>(y * scale) * static_cast<std::size_t>(image->pixelWidth()) +
                                 static_cast<std::size_t>(x * scale)];
    return {static_cast<int>((p >> 16) & 0xff), static_cast<int>(p & 0xff)};
}

TEST_F(ui_ViewTransition, TheOldLookDissolvesFlipsOrIsWipedAway) {
    struct Case {
        unsigned options;
        const char* name;
    };
    const Case cases[] = {{animationTransitionCrossDissolve, "dissolve"},
                          {animationTransitionFlipFromLeft, "flip from left"},
                          {animationTransitionFlipFromBottom, "flip from bottom"},
                          {animationTransitionCurlUp, "curl up"},
                          {animationTransitionCurlDown, "curl down"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto v = core::make<View>(gfx::Rect{20, 20, 100, 100});
        v->setBackgroundColor(gfx::Color::rgb(255, 0, 0));
        window->addSubview(v);
        host->advance(0);
        std::vector<bool> completions;
        View::transition(v, 1, c.options | animationCurveLinear, [&] { v->setBackgroundColor(gfx::Color::rgb(0, 0, 255)); },
                         [&](bool finished) { completions.push_back(finished); });
        EXPECT_EQ(v->backgroundColor(), gfx::Color::rgb(0, 0, 255));  // the change is made at once
        ASSERT_EQ(v->layer()->sublayers().size(), 1u);
        host->advance(0.25);
        auto [red, blue] = redBlueAt(*host, 70, 30);  // near the top, in the middle
        if (c.options == animationTransitionCrossDissolve) {
            EXPECT_NEAR(red, 191, 6);
            EXPECT_NEAR(blue, 64, 6);
        } else if (c.options == animationTransitionCurlUp) {
            EXPECT_EQ(red, 255);  // the top is still covered
        } else if (c.options == animationTransitionCurlDown) {
            EXPECT_EQ(blue, 255);  // the top is already uncovered
        } else {
            EXPECT_GT(red, 200);  // the old side still faces us, turning
            EXPECT_LT(v->layer()->presentationLayer()->model().transform.m22 * v->layer()->presentationLayer()->model().transform.m11, 0.99);
        }
        host->advance(0.5);
        if (c.options == animationTransitionFlipFromLeft || c.options == animationTransitionFlipFromBottom) {
            EXPECT_GT(redBlueAt(*host, 70, 70).second, 200);  // the new side has come round
        }
        EXPECT_TRUE(completions.empty());
        host->advance(0.3);
        EXPECT_EQ(completions, std::vector<bool>{true});
        EXPECT_TRUE(v->layer()->sublayers().empty());
        EXPECT_EQ(redBlueAt(*host, 70, 70), std::make_pair(0, 255));
        v->removeFromSuperview();
    }
}

TEST_F(ui_ViewTransition, WithoutATransitionTheChangeJustShows) {
    auto v = core::make<View>(gfx::Rect{0, 0, 10, 10});
    window->addSubview(v);
    for (auto [duration, options] : {std::pair{1.0, 0u}, std::pair{0.0, unsigned(animationTransitionCrossDissolve)}}) {
        bool changed = false;
        std::vector<bool> completions;
        View::transition(v, duration, options, [&] { changed = true; }, [&](bool f) { completions.push_back(f); });
        EXPECT_TRUE(changed);
        EXPECT_TRUE(v->layer()->sublayers().empty());
        EXPECT_TRUE(completions.empty());
        host->advance(0);
        EXPECT_EQ(completions, std::vector<bool>{true});
    }
}

} // namespace
} // namespace ui
