// Image views (the highlighted image, an animated image that plays its frames) and button
// background images.

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

gfx::ImagePtr solid(uint32_t pixel) { return std::make_shared<gfx::Image>(2, 2, 1, std::vector<uint32_t>(4, pixel), false); }

TEST(ui_ImageView, TheHighlightedImageShowsOnlyWhileHighlighted) {
    auto view = core::make<ImageView>();
    auto normal = solid(0xff0000ff), selected = solid(0xffff0000);
    view->setImage(normal);
    view->setHighlighted(true);
    EXPECT_EQ(view->layer()->contents(), normal);  // no highlighted image yet
    view->setHighlightedImage(selected);
    EXPECT_EQ(view->layer()->contents(), selected);
    view->setHighlighted(false);
    EXPECT_EQ(view->layer()->contents(), normal);
    view->setHighlightedImage(nullptr);
    view->setHighlighted(true);
    EXPECT_EQ(view->layer()->contents(), normal);
    EXPECT_EQ(view->image(), normal);
}

TEST(ui_ImageView, AnAnimatedImagePlaysItsFramesOverAndOver) {
    dispatch::RunLoop::setMainThread();
    auto clock = std::make_shared<dispatch::VirtualClock>();
    dispatch::Clock::setCurrent(clock);
    {
        auto a = solid(0xff000000), b = solid(0xffffffff);
        auto animated = gfx::Image::animated({a, b, b}, 0.3);
        auto view = core::make<ImageView>();
        view->setImage(animated);
        const std::pair<double, gfx::ImagePtr> steps[] = {{0.05, a}, {0.1, b}, {0.1, b}, {0.1, a}, {0.1, b}};
        for (const auto& [advance, shown] : steps) {  // mid-frame times
            clock->advance(advance);
            dispatch::RunLoop::main().pump();
            EXPECT_EQ(view->layer()->contents(), shown);
        }
        // A still image stops the playing.
        auto still = solid(0xff00ff00);
        view->setImage(still);
        clock->advance(0.1);
        dispatch::RunLoop::main().pump();
        EXPECT_EQ(view->layer()->contents(), still);
    }
    dispatch::Clock::setCurrent(nullptr);
}

TEST(ui_Button, BackgroundImagesFillTheButtonBehindItsContent) {
    auto button = core::make<Button>(gfx::Rect{0, 0, 80, 30});
    const size_t plain = button->subviews().size();
    button->setBackgroundImage(nullptr);
    EXPECT_EQ(button->subviews().size(), plain);  // no view until there is an image
    auto normal = solid(0xff0000ff), pressed = solid(0xffff0000);
    button->setBackgroundImage(normal);
    ASSERT_EQ(button->subviews().size(), plain + 1);
    auto background = std::dynamic_pointer_cast<ImageView>(button->subviews().front());
    ASSERT_TRUE(background);
    button->layoutIfNeeded();
    EXPECT_EQ(background->frame(), button->bounds());
    struct Case {
        bool highlighted, selected;
        gfx::ImagePtr shown;
    };
    button->setBackgroundImage(pressed, stateHighlighted);
    const Case cases[] = {{false, false, normal}, {true, false, pressed}, {false, true, normal}};
    for (const auto& c : cases) {
        button->setHighlighted(c.highlighted);
        button->setSelected(c.selected);
        EXPECT_EQ(background->image(), c.shown);
        EXPECT_EQ(button->currentBackgroundImage(), c.shown);
    }
}

} // namespace
} // namespace ui
