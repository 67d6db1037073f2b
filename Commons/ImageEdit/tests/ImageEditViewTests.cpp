// The cropper: fitting a picture to the viewport and where it starts, what the crop shows right
// away and after zooming (by the API and by a two-finger pinch), the zoom's stops, the inset after
// zooming, the crop's pixel size on any screen, and pictures or viewports without an extent.
#include "Commons/ImageEdit/ImageEditView.h"
#include "platform/ui/tests/UiTest.h"

namespace kit {
namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

// A picture whose pixel (x, y) is colourAt(x, y).
gfx::ImagePtr picture(int w, int h, const std::function<uint32_t(int, int)>& colourAt) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = colourAt(x, y);
    return std::make_shared<const gfx::Image>(w, h, 1.0, std::move(pixels));
}

// A 300 x 300 viewport: the view is 306 points square.
class ImageEdit : public ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        edit = core::make<ImageEditView>(gfx::Rect{20, 100, 306, 306});
        window->addSubview(edit);
    }
    std::shared_ptr<ImageEditView> edit;
};

TEST_F(ImageEdit, ItIsBuiltAsACircleInsideAPinkRing) {
    EXPECT_EQ(edit->scrollView()->frame(), (gfx::Rect{3, 3, 300, 300}));
    EXPECT_EQ(edit->scrollView()->layer()->cornerRadius(), 150);
    EXPECT_EQ(edit->subviews().back(), edit->ring()) << "the ring lies on top";
    EXPECT_EQ(edit->ring()->frame(), edit->bounds());
    EXPECT_EQ(edit->ring()->layer()->cornerRadius(), 153);
    EXPECT_EQ(edit->ring()->layer()->borderWidth(), 3);
    EXPECT_FALSE(edit->ring()->isUserInteractionEnabled());
    EXPECT_EQ(edit->imageView()->superview(), edit->scrollView());
    EXPECT_EQ(edit->scrollView()->delegate().get(), edit.get());
}

// No scroll bar shows inside the circle, whichever way a zoomed picture is moved.
TEST_F(ImageEdit, NoScrollBarShowsInTheCircle) {
    edit->setEditImage(picture(400, 300, [](int, int) { return kWhite; }));
    edit->scrollView()->setZoomScale(2);
    edit->scrollView()->flashScrollIndicators();
    const auto r = edit->scrollView()->convertRect(edit->scrollView()->bounds(), nullptr);
    const gfx::Point centre{r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2};
    host->touchDown(centre);
    host->touchMove({centre.x - 40, centre.y - 40});
    for (const auto* bar : {&edit->scrollView()->horizontalScrollIndicator(), &edit->scrollView()->verticalScrollIndicator()})
        EXPECT_TRUE((*bar)->isHidden());
    host->touchUp({centre.x - 40, centre.y - 40});
}

TEST_F(ImageEdit, APictureCoversTheViewportAndStartsAtItsPlace) {
    struct Case {
        int w, h;
        gfx::Size frame;
        gfx::Point offset;
    } cases[] = {
        {400, 300, {400, 300}, {100, 0}},  // wide: at its right end
        {300, 400, {300, 400}, {0, 50}},   // tall: centred
        {300, 300, {300, 300}, {0, 0}},
        {800, 200, {1200, 300}, {900, 0}},
    };
    for (const auto& c : cases) {
        edit->setEditImage(picture(c.w, c.h, [](int, int) { return kWhite; }));
        EXPECT_EQ(edit->imageView()->frame(), (gfx::Rect{{0, 0}, c.frame})) << c.w << "x" << c.h;
        EXPECT_EQ(edit->scrollView()->contentSize(), c.frame) << c.w << "x" << c.h;
        EXPECT_EQ(edit->scrollView()->contentOffset(), c.offset) << c.w << "x" << c.h;
        EXPECT_EQ(edit->scrollView()->minimumZoomScale(), 1);
        EXPECT_EQ(edit->scrollView()->maximumZoomScale(), 5);
    }
}

TEST_F(ImageEdit, ACropRightAwayShowsTheMiddleSquareOfATallPicture) {
    // Three bands: 50 red rows, 300 green, 50 blue.
    edit->setEditImage(picture(300, 400, [](int, int y) { return y < 50 ? kRed : y < 350 ? kGreen : kBlue; }));
    auto crop = edit->croppedImage();
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->pixelWidth(), 600);
    EXPECT_EQ(crop->pixelHeight(), 600);
    EXPECT_EQ(crop->scale(), 1);
    for (gfx::Point p : {gfx::Point{1, 1}, {300, 3}, {300, 300}, {598, 596}, {2, 598}})
        EXPECT_EQ(crop->pixel(int(p.x), int(p.y)), kGreen) << p.x << "," << p.y << ": corners outside the circle too";
}

// Four vertical stripes of 75 pixels: at zoom 1 each is 150 pixels of the crop; at zoom 2 about
// the centre only the middle two show, 300 pixels each.
class ImageEditZoom : public ImageEdit {
protected:
    void SetUp() override {
        ImageEdit::SetUp();
        edit->setEditImage(picture(300, 300, [](int x, int) { return std::array{kRed, kGreen, kBlue, kWhite}[x / 75]; }));
    }
    void expectHalfTheWidth() {
        auto crop = edit->croppedImage();
        EXPECT_EQ(crop->pixel(10, 300), kGreen);
        EXPECT_EQ(crop->pixel(290, 300), kGreen);
        EXPECT_EQ(crop->pixel(310, 300), kBlue);
        EXPECT_EQ(crop->pixel(590, 300), kBlue);
    }
    void pinch(double from, double to) {
        const gfx::Point centre{20 + 153, 100 + 153};
        host->touchDown({centre.x - from / 2, centre.y}, 1);
        host->touchDown({centre.x + from / 2, centre.y}, 2);
        for (int i = 1; i <= 10; ++i) {
            double d = from + (to - from) * i / 10;
            host->touchMove({centre.x - d / 2, centre.y}, 1);
            host->touchMove({centre.x + d / 2, centre.y}, 2);
        }
        host->touchUp({centre.x - to / 2, centre.y}, 1);
        host->touchUp({centre.x + to / 2, centre.y}, 2);
    }
};

TEST_F(ImageEditZoom, ZoomTwoByTheApiShowsHalfTheWidth) {
    auto crop = edit->croppedImage();
    EXPECT_EQ(crop->pixel(140, 300), kRed);
    EXPECT_EQ(crop->pixel(160, 300), kGreen);
    edit->scrollView()->setZoomScale(2);
    EXPECT_EQ(edit->imageView()->frame().size, (gfx::Size{600, 600}));
    expectHalfTheWidth();
}

TEST_F(ImageEditZoom, ZoomTwoByAPinchShowsHalfTheWidth) {
    pinch(60, 120);
    EXPECT_NEAR(edit->scrollView()->zoomScale(), 2, 1e-9);
    // The fingers move one at a time, so the centre may drift a few points: nudge it back.
    edit->scrollView()->setContentOffset({150, 150});
    expectHalfTheWidth();
}

TEST_F(ImageEditZoom, PinchesStopAtOneAndFiveAndTheInsetStaysZero) {
    edit->scrollView()->setContentInset({7, 7, 7, 7});
    pinch(20, 200);
    EXPECT_NEAR(edit->scrollView()->zoomScale(), 5, 1e-9);
    EXPECT_EQ(edit->imageView()->frame().size, (gfx::Size{1500, 1500}));
    EXPECT_EQ(edit->scrollView()->contentInset(), gfx::EdgeInsets{});
    pinch(200, 10);
    EXPECT_NEAR(edit->scrollView()->zoomScale(), 1, 1e-9);
    EXPECT_EQ(edit->imageView()->frame().size, (gfx::Size{300, 300}));
}

TEST_F(ImageEditZoom, ANewPictureStartsUnzoomed) {
    edit->scrollView()->setZoomScale(3);
    edit->setEditImage(picture(400, 300, [](int, int) { return kWhite; }));
    EXPECT_EQ(edit->scrollView()->zoomScale(), 1);
    EXPECT_EQ(edit->imageView()->frame(), (gfx::Rect{0, 0, 400, 300}));
    EXPECT_EQ(edit->scrollView()->contentOffset(), (gfx::Point{100, 0}));
}

TEST(ImageEditScreens, TheCropIs600PixelsSquareOnAnyScreen) {
    for (double scale : {2.0, 3.0}) {
        auto profile = ui::DeviceProfile::phone();
        profile.scale = scale;
        ui::Screen::main().setProfile(profile);
        auto edit = core::make<ImageEditView>(gfx::Rect{0, 0, 250, 250});
        edit->setEditImage(picture(40, 30, [](int, int) { return kGreen; }));
        edit->scrollView()->setZoomScale(2.5);
        auto crop = edit->croppedImage();
        EXPECT_EQ(crop->pixelWidth(), 600) << scale;
        EXPECT_EQ(crop->pixelHeight(), 600) << scale;
        EXPECT_EQ(crop->scale(), 1) << scale;
        EXPECT_EQ(crop->pixel(300, 300), kGreen) << scale;
    }
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());
}

TEST(ImageEditEmpty, NoExtentMeansNoPictureAndABlankCrop) {
    struct Case {
        double side;  // the view's side; under 6 leaves no viewport
        int w, h;     // 0: no picture at all
    } cases[] = {{306, 0, 0}, {306, 0, 30}, {306, 30, 0}, {5, 40, 30}, {6, 40, 30}};
    for (const auto& c : cases) {
        auto edit = core::make<ImageEditView>(gfx::Rect{0, 0, c.side, c.side});
        gfx::ImagePtr image;
        if (c.w || c.h) image = std::make_shared<const gfx::Image>(c.w, c.h, 1.0, std::vector<uint32_t>(size_t(c.w) * c.h, kRed));
        edit->setEditImage(image);
        EXPECT_EQ(edit->imageView()->image(), nullptr) << c.side << " " << c.w << "x" << c.h;
        EXPECT_EQ(edit->scrollView()->contentOffset(), (gfx::Point{0, 0}));
        auto crop = edit->croppedImage();
        ASSERT_EQ(crop->pixelWidth(), 600);
        for (uint32_t p : crop->pixels()) ASSERT_EQ(p, 0u) << "transparent";
    }
}

} // namespace
} // namespace kit
