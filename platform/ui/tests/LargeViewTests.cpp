// Views and images larger than one drawing surface (32,767 pixels a side).

#include "platform/gfx/BitmapContext.h"
#include "platform/ui/tests/UiTest.h"

using namespace ui;

namespace {

constexpr std::uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kGreen = 0xFF00FF00;

// Bands of 10,000 points, red and blue in turn, each drawn only where it is asked to draw.
class Bands : public View {
    QUILLORA_CLASS(Bands)
    bool drawsContent() const override { return true; }
    void drawRect(gfx::Context& ctx, const gfx::Rect& rect) override {
        ++draws;
        for (double y = std::floor(rect.minY() / 10000) * 10000; y < rect.maxY(); y += 10000) {
            ctx.setFillColor(static_cast<long>(y / 10000) % 2 ? gfx::Color::rgb(0, 0, 255) : gfx::Color::rgb(255, 0, 0));
            ctx.fillRect({rect.minX(), y, rect.width(), 10000});
        }
    }
    int draws = 0;
};

class LargeView : public UiTest {};

} // namespace

// A tall image is drawn in tiles, and the context draws on afterwards.
TEST(LargeImage, AnImageTallerThanASurfaceIsDrawnWhole) {
    const int width = 4, height = 40000;
    std::vector<std::uint32_t> pixels(std::size_t(width) * height, kBlue);
    std::fill(pixels.begin() + std::ptrdiff_t(width) * (height - 100), pixels.end(), kRed);
    gfx::Image image(width, height, 1, std::move(pixels));
    gfx::BitmapContext ctx({4, 400}, 1);
    ctx.drawImage(image, {0, 0, 4, 400});
    ctx.setFillColor(gfx::Color::rgb(0, 255, 0));
    ctx.fillRect({0, 0, 1, 1});
    auto out = ctx.makeImage();
    EXPECT_EQ(out->pixel(2, 200), kBlue);
    EXPECT_EQ(out->pixel(2, 399), kRed); // from the second tile
    EXPECT_EQ(out->pixel(0, 0), kGreen);
}

// A view far taller than a surface draws the part its window shows, leaves the rest of the frame
// whole, and draws again when it is moved to show another part.
TEST_F(LargeView, DrawsTheShownPartAndFollowsItsPosition) {
    auto bands = core::make<Bands>();
    bands->setFrame({0, 0, 100, 50000});
    window->addSubview(bands);
    auto marker = core::make<View>();
    marker->setFrame({200, 10, 20, 20});
    marker->setBackgroundColor(gfx::Color::rgb(0, 255, 0));
    window->addSubview(marker);
    const double scale = Screen::main().scale();
    auto at = [&](const std::shared_ptr<const gfx::Image>& image, double x, double y) {
        return image->pixel(static_cast<int>(x * scale), static_cast<int>(y * scale));
    };

    auto first = host->snapshot();
    EXPECT_EQ(at(first, 50, 50), kRed);
    EXPECT_EQ(at(first, 210, 20), kGreen);
    ASSERT_TRUE(bands->layer()->contents());
    EXPECT_LE(bands->layer()->contents()->pixelHeight(), gfx::kMaxSurfaceSide);

    bands->setFrame({0, -10000, 100, 50000});
    auto second = host->snapshot();
    EXPECT_EQ(at(second, 50, 50), kBlue);
    EXPECT_EQ(at(second, 210, 20), kGreen);
    EXPECT_EQ(bands->draws, 2);
}
