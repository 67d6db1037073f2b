#include "platform/camera/Capture.h"

#include "platform/dispatch/Queue.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <mutex>

namespace camera {

struct Capture::State {
    GstElement* pipeline = nullptr;
    mutable std::mutex mutex;
    gfx::ImagePtr frame;
    std::string firstError;  // the first error the bus reported, under the mutex
    bool running = false;
    std::function<void(const gfx::ImagePtr&)> onFrame;
    std::function<void(const std::string&)> onError;

    void stop() {
        if (!pipeline) return;
        GstBus* bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        pipeline = nullptr;
        running = false;
    }
};

namespace {

core::Error failure(std::string reason) { return core::Error{Capture::kErrorDomain, 1, std::move(reason), {}}; }

// BGRx words in native (little-endian) order read 0x??RRGGBB: only the alpha byte needs setting.
gfx::ImagePtr imageOf(GstSample* sample) {
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!caps || !buffer) return nullptr;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int width = 0, height = 0;
    if (!gst_structure_get_int(s, "width", &width) || !gst_structure_get_int(s, "height", &height) || width <= 0 || height <= 0)
        return nullptr;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return nullptr;
    const size_t stride = map.size / static_cast<size_t>(height);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    if (stride >= static_cast<size_t>(width) * 4) {
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(map.data + y * stride);
            for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = row[x] | 0xFF000000u;
        }
    }
    gst_buffer_unmap(buffer, &map);
    return std::make_shared<const gfx::Image>(width, height, 1.0, std::move(pixels));
}

GstFlowReturn onSample(GstAppSink* sink, gpointer data) {
    auto* weak = static_cast<std::weak_ptr<Capture::State>*>(data);
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample) return GST_FLOW_OK;
    gfx::ImagePtr image = imageOf(sample);
    gst_sample_unref(sample);
    auto state = weak->lock();
    if (!state || !image) return GST_FLOW_OK;
    {
        std::lock_guard lock(state->mutex);
        state->frame = image;
    }
    dispatch::Queue::main()->async([w = *weak, image] {
        auto s = w.lock();
        if (s && s->running && s->onFrame) s->onFrame(image);
    });
    return GST_FLOW_OK;
}

// Installed before the pipeline starts, so an error raised while it starts (or at once after,
// when the source runs ahead of the clock) is never left unread on the bus. The main queue's
// step runs after start() has returned: a capture that started stops and reports it; one that
// failed to start has already stopped and takes the reason from firstError.
GstBusSyncReply onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) return GST_BUS_PASS;
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string reason = error ? error->message : "unknown error";
    if (error) g_error_free(error);
    auto weak = *static_cast<std::weak_ptr<Capture::State>*>(data);
    if (auto state = weak.lock()) {
        std::lock_guard lock(state->mutex);
        if (state->firstError.empty()) state->firstError = reason;
    }
    dispatch::Queue::main()->async([weak, reason] {
        auto s = weak.lock();
        if (!s || !s->running) return;
        s->stop();
        if (s->onError) s->onError(reason);
    });
    return GST_BUS_DROP;
}

} // namespace

core::Expected<std::unique_ptr<Capture>> Capture::start(const std::string& source) {
    GError* initError = nullptr;
    if (!gst_init_check(nullptr, nullptr, &initError)) {
        std::string reason = initError ? initError->message : "GStreamer does not start";
        if (initError) g_error_free(initError);
        return failure(reason);
    }
    const std::string description =
        source + " ! videoconvert ! video/x-raw,format=BGRx ! appsink name=sink max-buffers=1 drop=true sync=false";
    GError* parseError = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &parseError);
    if (parseError) {
        std::string reason = parseError->message;
        g_error_free(parseError);
        if (pipeline) gst_object_unref(pipeline);
        return failure(reason);
    }
    auto state = std::make_shared<State>();
    state->pipeline = pipeline;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &onSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new std::weak_ptr<State>(state),
                               [](gpointer p) { delete static_cast<std::weak_ptr<State>*>(p); });
    gst_object_unref(sink);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, &onBusMessage, new std::weak_ptr<State>(state),
                             [](gpointer p) { delete static_cast<std::weak_ptr<State>*>(p); });
    gst_object_unref(bus);

    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ||
        gst_element_get_state(pipeline, nullptr, nullptr, 3 * GST_SECOND) == GST_STATE_CHANGE_FAILURE) {
        state->stop();
        std::lock_guard lock(state->mutex);
        return failure(state->firstError.empty() ? "the pipeline did not start" : state->firstError);
    }
    state->running = true;
    return std::unique_ptr<Capture>(new Capture(std::move(state)));
}

Capture::Capture(std::shared_ptr<State> state) : state_(std::move(state)) {}
Capture::~Capture() { stop(); }

gfx::ImagePtr Capture::currentFrame() const {
    std::lock_guard lock(state_->mutex);
    return state_->frame;
}

void Capture::setOnFrame(std::function<void(const gfx::ImagePtr&)> onFrame) { state_->onFrame = std::move(onFrame); }
void Capture::setOnError(std::function<void(const std::string&)> onError) { state_->onError = std::move(onError); }
void Capture::stop() { state_->stop(); }
bool Capture::isRunning() const { return state_->running; }

} // namespace camera
