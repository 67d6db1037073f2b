// The camera source over GStreamer's test source (no device needed): availability and its logged
// reason, the capture page's live frames, "拍照" handing over the current frame, "取消", and the
// pipeline stopping when the picker is dismissed.
#include "platform/camera/CameraSource.h"
#include "platform/core/Log.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"

#include <gtest/gtest.h>

namespace camera {
namespace {

// A solid picture of (0x33, 0x66, 0xcc).
constexpr const char* kSolid = "videotestsrc pattern=solid-color foreground-color=0xff3366cc ! video/x-raw,width=64,height=48";

class Recorder : public ui::ImagePickerControllerDelegate {
public:
    int picked = 0, cancelled = 0;
    gfx::ImagePtr image;
    void imagePickerController(ui::ImagePickerController&, const ui::ImagePickerInfo& info) override {
        ++picked;
        image = info.originalImage;
    }
    void imagePickerControllerDidCancel(ui::ImagePickerController&) override { ++cancelled; }
};

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        window = core::make<ui::Window>();
        host = std::make_unique<ui::HeadlessHost>(window);
        window->makeKeyAndVisible();
        root = core::make<ui::ViewController>();
        window->setRootViewController(root);
        host->advance(0.1);
    }
    void TearDown() override {
        ui::ImagePickerController::setSource(ui::ImagePickerControllerSourceType::camera, nullptr);
        host.reset();
    }
    std::shared_ptr<ui::ImagePickerController> present(std::shared_ptr<CameraSource> source) {
        ui::ImagePickerController::setSource(ui::ImagePickerControllerSourceType::camera, source);
        auto picker = core::make<ui::ImagePickerController>();
        picker->setSourceType(ui::ImagePickerControllerSourceType::camera);
        picker->setDelegate(recorder);
        root->presentViewController(picker, true);
        host->advance(1);
        return picker;
    }
    static bool waitFor(const std::function<bool()>& done) { return dispatch::RunLoop::main().runUntil(done, 10); }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::HeadlessHost> host;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(CameraTest, ASourceThatDoesNotStartIsNotAvailableAndSaysWhy) {
    for (const char* source : {"v4l2src device=/dev/no-such-camera", "no_such_element_anywhere"}) {
        core::LogCapture log;
        ui::ImagePickerController::setSource(ui::ImagePickerControllerSourceType::camera, std::make_shared<CameraSource>(source));
        EXPECT_FALSE(ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::camera)) << source;
        ASSERT_EQ(log.lines().size(), 1u) << source;
        EXPECT_EQ(log.lines()[0].rfind("camera: not available: ", 0), 0u) << log.lines()[0];
    }
    ui::ImagePickerController::setSource(ui::ImagePickerControllerSourceType::camera, nullptr);
    EXPECT_FALSE(ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::camera));
}

TEST_F(CameraTest, TakeHandsOverTheCurrentFrameAndDismissalStopsThePipeline) {
    auto source = std::make_shared<CameraSource>(kSolid);
    ui::ImagePickerController::setSource(ui::ImagePickerControllerSourceType::camera, source);
    EXPECT_TRUE(ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::camera));
    auto picker = present(source);
    ASSERT_TRUE(source->isCapturing());
    ASSERT_TRUE(waitFor([&] { return source->preview() && source->preview()->image(); })) << "live frames show";
    EXPECT_EQ(source->takeButton()->titleForState(ui::stateNormal), "拍照");
    EXPECT_EQ(source->cancelButton()->titleForState(ui::stateNormal), "取消");

    source->takeButton()->sendActionsForControlEvents(ui::touchUpInside);
    ASSERT_EQ(recorder->picked, 1);
    ASSERT_TRUE(recorder->image);
    EXPECT_EQ(recorder->image->pixelWidth(), 64);
    EXPECT_EQ(recorder->image->pixel(10, 10), 0xFF3366CCu);

    root->dismissViewControllerAnimated(true);
    host->advance(1);
    EXPECT_FALSE(source->isCapturing());
    EXPECT_EQ(source->preview(), nullptr);
}

TEST_F(CameraTest, CancelReportsACancel) {
    auto source = std::make_shared<CameraSource>(kSolid);
    auto picker = present(source);
    ASSERT_TRUE(source->cancelButton());
    source->cancelButton()->sendActionsForControlEvents(ui::touchUpInside);
    EXPECT_EQ(recorder->cancelled, 1);
    EXPECT_EQ(recorder->picked, 0);
    picker.reset();
    root->dismissViewControllerAnimated(false);
    host->advance(1);
    EXPECT_FALSE(source->isCapturing());
}

TEST_F(CameraTest, APipelineErrorEndsThePageAsACancel) {
    core::LogCapture log;
    // A live source at 30 frames a second fails a third of a second in, after the page shows (an
    // unthrottled one can fail while it starts, which is a start that fails instead).
    auto source = std::make_shared<CameraSource>(
        "videotestsrc is-live=true pattern=solid-color foreground-color=0xff3366cc ! "
        "video/x-raw,width=64,height=48,framerate=30/1 ! identity error-after=10");
    auto picker = present(source);
    ASSERT_TRUE(waitFor([&] { return recorder->cancelled == 1; })) << "the error reports a cancel";
    EXPECT_FALSE(source->isCapturing());
    EXPECT_EQ(recorder->picked, 0);
    bool named = false;
    for (const auto& line : log.lines()) named = named || line.rfind("camera: stopped: ", 0) == 0;
    EXPECT_TRUE(named) << "one line names the reason";
}

// An unthrottled source that fails at its second frame fails while it starts or right after:
// either way the page ends as a cancel with the reason logged, never left waiting.
TEST_F(CameraTest, AnErrorWhileThePipelineStartsIsNotLost) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        core::LogCapture log;
        recorder = std::make_shared<Recorder>();
        auto source = std::make_shared<CameraSource>(std::string(kSolid) + " ! identity error-after=2");
        auto picker = present(source);
        ASSERT_TRUE(waitFor([&] { return recorder->cancelled == 1; })) << attempt;
        EXPECT_FALSE(source->isCapturing());
        ASSERT_FALSE(log.lines().empty());
        EXPECT_EQ(log.lines().back().rfind("camera: ", 0), 0u) << log.lines().back();
        root->dismissViewControllerAnimated(false);
        host->advance(1);
    }
}

} // namespace
} // namespace camera
