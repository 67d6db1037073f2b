// The camera road with GStreamer's test source (a solid colour, no device): "拍照" on the capture
// page puts a frame of that colour into the crop page, and the pipeline stops once the picker is
// dismissed.
#include "Modules/Common/tests/HeadPictureTest.h"
#include "Modules/Head/MWTPersonalHeadController.h"
#include "platform/camera/CameraSource.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/NavigationController.h"

namespace kit {
namespace {

class HeadCamera : public HeadPictureTest {
protected:
    void TearDown() override {
        ui::ImagePickerController::setSource(ui::ImagePickerControllerSourceType::camera, nullptr);
        HeadPictureTest::TearDown();
    }
};

TEST_F(HeadCamera, TakeGivesTheCropPageTheFrameAndDismissalStopsThePipeline) {
    auto camera = std::make_shared<camera::CameraSource>(
        "videotestsrc pattern=solid-color foreground-color=0xff20a040 ! video/x-raw,width=320,height=240");
    ui::ImagePickerController::setSource(ui::ImagePickerControllerSourceType::camera, camera);
    auto nav = core::make<ui::NavigationController>(core::make<MWRootController>());
    window->setRootViewController(nav);
    auto page = core::make<MWTPersonalHeadController>(0, defaultHead());
    nav->pushViewController(page, false);
    run(0.1);

    page->showCameraPermissionAlert();
    run(1);
    ASSERT_TRUE(camera->isCapturing());
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([&] { return camera->preview() && camera->preview()->image(); }));
    const auto take = camera->takeButton()->convertRect(camera->takeButton()->bounds(), nullptr);
    host->tap({take.midX(), take.midY()});
    run(1);

    EXPECT_FALSE(page->presentedViewController());
    EXPECT_FALSE(camera->isCapturing()) << "the pipeline stops with the dismissal";
    ASSERT_EQ(nav->viewControllers().size(), 3u);
    auto crop = std::dynamic_pointer_cast<MWTPersonalHeadController>(nav->topViewController());
    ASSERT_TRUE(crop);
    auto shot = crop->edit()->imageView()->image();
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->pixelWidth(), 320);
    EXPECT_EQ(crop->edit()->croppedImage()->pixel(300, 300), 0xFF20A040u);
}

} // namespace
} // namespace kit
