#pragma once
// The camera as an image picker's source: a capture page with the live frames and two buttons,
// "拍照" (the current frame becomes the picked original image) and "取消". The source is
// available when its pipeline starts (no device, a busy one or no permission is logged with its
// reason and counts as not available); a pipeline error while the page shows ends it as a cancel,
// and the picker's dismissal stops the pipeline. Main thread only.

#include "platform/camera/Capture.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/ImageView.h"

#include <memory>
#include <string>

namespace camera {

class CameraSource : public ui::ImagePickerSource, public std::enable_shared_from_this<CameraSource> {
public:
    static constexpr const char* kTakeTitle = "拍照";
    static constexpr const char* kCancelTitle = "取消";

    // `source`: the GStreamer source element description; a camera is "v4l2src".
    explicit CameraSource(std::string source = "v4l2src") : source_(std::move(source)) {}

    bool isAvailable() override;
    void begin(const std::shared_ptr<ui::ImagePickerController>& picker) override;
    void end(ui::ImagePickerController& picker) override;

    // The capture page's parts while it shows (null otherwise).
    const std::shared_ptr<ui::ImageView>& preview() const { return preview_; }
    const std::shared_ptr<ui::Button>& takeButton() const { return take_; }
    const std::shared_ptr<ui::Button>& cancelButton() const { return cancel_; }
    bool isCapturing() const { return capture_ && capture_->isRunning(); }

private:
    void take();
    void cancel();
    void close();

    std::string source_;
    std::unique_ptr<Capture> capture_;
    std::weak_ptr<ui::ImagePickerController> picker_;
    std::shared_ptr<ui::ImageView> preview_;
    std::shared_ptr<ui::Button> take_;
    std::shared_ptr<ui::Button> cancel_;
};

} // namespace camera
