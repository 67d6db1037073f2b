// Pictures of the profile-picture pages with the built artwork: the view page with the stored
// (default) picture and its bar button, and the crop page with a photo in the ring and "确定".
#include "Modules/Common/tests/HeadPictureTest.h"
#include "Modules/Head/MWTPersonalHeadController.h"
#include "platform/gfx/testing/GoldenImage.h"
#include "platform/ui/NavigationController.h"

namespace kit {
namespace {

class HeadSnapshots : public HeadPictureTest {
protected:
    void SetUp() override {
        HeadPictureTest::SetUp();
        core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
        nav = core::make<ui::NavigationController>(core::make<MWRootController>());
        nav->setNavigationBarHidden(true);
        window->setRootViewController(nav);
    }
    void show(const std::shared_ptr<MWTPersonalHeadController>& page) {
        page->isBackBtnHidden = false;
        nav->pushViewController(page, false);
        run(0.5);
        window->layoutIfNeeded();
    }
    // A landscape photo: a sky-to-sea gradient with a sun in its right half.
    static gfx::ImagePtr fixturePhoto() {
        const int w = 400, h = 300;
        std::vector<uint32_t> pixels(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool sun = (x - 300) * (x - 300) + (y - 100) * (y - 100) < 40 * 40;
                const uint32_t blue = 255 - uint32_t(y * 128 / h), green = 120 + uint32_t(x * 100 / w);
                pixels[size_t(y) * w + x] = sun ? 0xFFFFC020u : (0xFF000000u | (40u << 16) | (green << 8) | blue);
            }
        return std::make_shared<const gfx::Image>(w, h, 1.0, std::move(pixels));
    }
    std::shared_ptr<ui::NavigationController> nav;
};

TEST_F(HeadSnapshots, ViewPage) {
    show(core::make<MWTPersonalHeadController>(0, defaultHead()));
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/head_view_page.png"));
}

TEST_F(HeadSnapshots, CropPage) {
    auto crop = core::make<MWTPersonalHeadController>(1, defaultHead());
    crop->edit()->setEditImage(fixturePhoto());
    show(crop);
    EXPECT_TRUE(gfx::testing::matchesGolden(*host->snapshot(), std::string(QUILLORA_GOLDEN_DIR) + "/head_crop_page.png"));
}

} // namespace
} // namespace kit
