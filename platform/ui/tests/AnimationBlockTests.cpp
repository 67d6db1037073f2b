#include "UiTest.h"

namespace ui {
namespace {

using ui_AnimationBlock = UiTest;

double shownAlpha(const View& v) { return v.layer()->presentationLayer()->model().opacity; }

TEST_F(ui_AnimationBlock, ChangesAnimateFromTheScreenToTheModel) {
    auto v = core::make<View>(gfx::Rect{0, 0, 10, 10});
    window->addSubview(v);
    std::vector<bool> completions;
    View::animate(1, 0, animationCurveLinear, [&] { v->setAlpha(0); v->setCenter({100, 5}); },
                  [&](bool finished) { completions.push_back(finished); });
    EXPECT_EQ(v->alpha(), 0);  // the model changes at once
    host->advance(0.5);
    EXPECT_NEAR(shownAlpha(*v), 0.5, 1e-9);
    EXPECT_NEAR(v->layer()->presentationLayer()->model().position.x, 52.5, 1e-9);
    EXPECT_TRUE(completions.empty());
    host->advance(0.6);
    EXPECT_EQ(completions, std::vector<bool>{true});  // once, for both changes
    EXPECT_EQ(shownAlpha(*v), 0);
}

TEST_F(ui_AnimationBlock, CompletionsReportInterruptionsAndEmptyBlocks) {
    auto v = core::make<View>(gfx::Rect{0, 0, 10, 10});
    window->addSubview(v);
    std::vector<bool> completions;
    View::animate(1, [&] { v->setAlpha(0.2); }, [&](bool f) { completions.push_back(f); });
    host->advance(0.2);
    v->layer()->removeAllAnimations();
    EXPECT_EQ(completions, std::vector<bool>{false});
    View::animate(1, [&] { v->setAlpha(0.2); }, [&](bool f) { completions.push_back(f); });  // no change
    EXPECT_EQ(completions.size(), 1u);
    host->advance(0);
    EXPECT_EQ(completions, (std::vector<bool>{false, true}));
}

TEST_F(ui_AnimationBlock, DelaysHoldTheStartAndSpringsOvershoot) {
    auto v = core::make<View>(gfx::Rect{0, 0, 10, 10});
    window->addSubview(v);
    View::animate(1, 0.5, animationCurveLinear, [&] { v->setAlpha(0); });
    host->advance(0.25);
    EXPECT_EQ(shownAlpha(*v), 1);  // still waiting, showing the old value
    host->advance(0.75);
    EXPECT_NEAR(shownAlpha(*v), 0.5, 1e-9);

    v->setTransform(gfx::AffineTransform::scale(0.4, 0.4));
    bool done = false;
    View::animateWithSpring(0.2, 0, 0.5, 0, animationCurveEaseIn, [&] { v->setTransform({}); },
                            [&](bool) { done = true; });
    double largest = 0;
    for (int i = 0; i < 12; ++i) {
        host->advance(1.0 / 60);
        largest = std::max(largest, v->layer()->presentationLayer()->model().transform.m11);
    }
    EXPECT_GT(largest, 1.05);
    host->advance(0.1);
    EXPECT_TRUE(done);
}

} // namespace
} // namespace ui
