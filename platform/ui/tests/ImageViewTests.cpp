// Image views (the highlighted image, an animated image that plays its frames, template images
// in the tint) and buttons (background images, dimmed parts).

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

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

// The colour of a rendered pixel, at a point of the window, unpremultiplied to whole channels.
struct ImagePixel {
    int r, g, b, a;
    bool operator==(const ImagePixel&) const = default;
};
std::ostream& operator<<(std::ostream& out, const ImagePixel& c) {
    return out << "(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}
ImagePixel imagePixelAt(const gfx::Image& shot, gfx::Point p) {
    const uint32_t v = shot.pixel(static_cast<int>(p.x * shot.scale()), static_cast<int>(p.y * shot.scale()));
    const int a = static_cast<int>(v >> 24);
    auto channel = [a](uint32_t c) { return a ? static_cast<int>((c & 0xff) * 255 / static_cast<uint32_t>(a)) : 0; };
    return {channel(v >> 16), channel(v >> 8), channel(v), a};
}

// Renders on a black window, so a dimmed part shows as a darker colour.
struct BlackWindow {
    BlackWindow() {
        Screen::main().setProfile(DeviceProfile::phone());
        window = core::make<Window>();
        window->setBackgroundColor(gfx::Color::black());
        host = std::make_unique<HeadlessHost>(window);
        window->makeKeyAndVisible();
    }
    std::shared_ptr<Window> window;
    std::unique_ptr<HeadlessHost> host;
};

// A template image draws its shape in the tint it inherits at the time, and follows it; an
// original one keeps its own pixels.
TEST(ui_ImageView, TemplateImagesDrawInTheTintTheyInherit) {
    dispatch::RunLoop::setMainThread();
    BlackWindow r;
    auto shape = std::make_shared<gfx::Image>(20, 20, 1, std::vector<uint32_t>(400, 0xff00ff00), false);
    auto box = core::make<View>(gfx::Rect{0, 0, 100, 100});
    auto templated = core::make<ImageView>(gfx::Rect{10, 10, 20, 20});
    templated->setImage(shape->imageWithRenderingMode(gfx::ImageRenderingMode::alwaysTemplate));
    auto original = core::make<ImageView>(gfx::Rect{40, 10, 20, 20});
    original->setImage(shape->imageWithRenderingMode(gfx::ImageRenderingMode::alwaysOriginal));
    box->addSubview(templated);
    box->addSubview(original);
    box->setTintColor(gfx::Color::rgb(255, 0, 0));
    r.window->addSubview(box);  // the tint was set before the view found its place
    struct Step {
        const char* what;
        std::function<void()> change;
        ImagePixel templ;
    };
    const std::vector<Step> steps = {
        {"inherited red", [] {}, {255, 0, 0, 255}},
        {"box turns blue", [&] { box->setTintColor(gfx::Color::rgb(0, 0, 255)); }, {0, 0, 255, 255}},
        {"own tint wins", [&] { templated->setTintColor(gfx::Color::rgb(255, 255, 0)); }, {255, 255, 0, 255}},
        {"moved into the window", [&] {
             templated->setTintColor(std::nullopt);
             r.window->setTintColor(gfx::Color::rgb(0, 255, 255));
             r.window->addSubview(templated);
         }, {0, 255, 255, 255}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        auto shot = r.host->snapshot();
        EXPECT_EQ(imagePixelAt(*shot, {20, 20}), step.templ);
        EXPECT_EQ(imagePixelAt(*shot, {50, 20}), (ImagePixel{0, 255, 0, 255}));
    }
}

// A disabled or highlighted button dims its title and its image to half, each unless the state
// has a look of its own for it; a disabled title colour alone leaves the image to dim.
TEST(ui_Button, DisabledAndHighlightedPartsDimUnlessTheStateHasItsOwnLook) {
    dispatch::RunLoop::setMainThread();
    BlackWindow r;
    auto white = std::make_shared<gfx::Image>(20, 20, 1, std::vector<uint32_t>(400, 0xffffffff), false);
    auto grey = std::make_shared<gfx::Image>(20, 20, 1, std::vector<uint32_t>(400, 0xff646464), false);
    struct Row {
        const char* what;
        std::function<void(Button&)> setUp;
        int imageLevel;  // the image's grey level on black
    };
    const std::vector<Row> rows = {
        {"enabled", [](Button&) {}, 255},
        {"disabled", [](Button& b) { b.setEnabled(false); }, 128},
        {"disabled with a disabled title colour", [](Button& b) {
             b.setTitleColor(gfx::Color::white(0.6), stateDisabled);
             b.setEnabled(false);
         }, 128},
        {"disabled with a disabled image", [&](Button& b) {
             b.setImage(grey, stateDisabled);
             b.setEnabled(false);
         }, 100},
        {"highlighted", [](Button& b) { b.setHighlighted(true); }, 128},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto button = core::make<Button>(gfx::Rect{0, 0, 100, 40});
        button->setImage(white);
        r.window->addSubview(button);
        row.setUp(*button);
        button->layoutIfNeeded();
        const gfx::Rect image = button->imageView()->frame();
        auto seen = imagePixelAt(*r.host->snapshot(), {image.midX(), image.midY()});
        EXPECT_NEAR(seen.r, row.imageLevel, 1);
        button->removeFromSuperview();
    }
}

} // namespace
} // namespace ui
