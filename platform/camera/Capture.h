#pragma once
// Live video frames from a GStreamer source (a camera through `v4l2src`, or any source element
// description) into an appsink, converted to the platform's image pixels. The newest frame is
// kept; each new frame and a pipeline error are reported on the main queue. GStreamer stays
// behind this class. Created and stopped on the main thread.

#include "platform/core/Error.h"
#include "platform/gfx/Image.h"

#include <functional>
#include <memory>
#include <string>

namespace camera {

class Capture {
public:
    static constexpr const char* kErrorDomain = "camera.Capture";
    // `source` is a pipeline description of the source part ("v4l2src", "videotestsrc ...").
    // Starts the pipeline and waits (3 s at most) until it plays; fails with the reason (no
    // device, busy, no permission, element missing) otherwise.
    static core::Expected<std::unique_ptr<Capture>> start(const std::string& source);
    ~Capture();

    // The newest frame, or null before the first.
    gfx::ImagePtr currentFrame() const;
    // Main-queue callbacks: a new frame arrived; the pipeline failed (it is stopped then).
    void setOnFrame(std::function<void(const gfx::ImagePtr&)> onFrame);
    void setOnError(std::function<void(const std::string& reason)> onError);
    // Stops the pipeline (also done by the destructor).
    void stop();
    bool isRunning() const;

    struct State;

private:
    explicit Capture(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

} // namespace camera
