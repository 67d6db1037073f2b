#include "Modules/Common/ImageViewGlobals.h"

#include "platform/core/Files.h"
#include "platform/core/Log.h"

#include <optional>
#include <string>

namespace kit {

namespace {

// The bytes at the address, or nothing when there are none to read.
std::optional<std::string> contentOf(const net::URL& url) {
    if (!url.isFileURL()) {
        core::log("ri_load: only local files are read, not " + url.absoluteString());
        return std::nullopt;
    }
    auto bytes = core::files::read(url.path());
    if (!bytes || bytes->empty()) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

} // namespace

void Globals_ScaleFactor(ui::ImageView& view) {
    view.setContentMode(ui::ContentMode::scaleAspectFill);
    view.setClipsToBounds(true);
}

void setDefaultImage(ui::ImageView&) {}

void ri_load(ui::ImageView& view, const net::URL& url, std::int32_t type, const ImageLoadCompletion& completed) {
    Globals_ScaleFactor(view);
    gfx::ImagePtr image;
    if (auto content = contentOf(url)) {
        // Content that is not a picture shows nothing: the fallback stands only for a missing file.
        auto decoded = gfx::Image::decode(*content);
        if (decoded) image = *decoded;
        else core::log("ri_load: " + url.absoluteString() + ": " + decoded.error().description);
    } else if (type == 0) {
        image = gfx::Image::named(kHeadDefaultImageName);
    }
    view.setImage(image);
    if (completed) completed(view.image());
}

void ri_load(ui::ImageView& view, const net::URL& url, std::int32_t type) { ri_load(view, url, type, nullptr); }

} // namespace kit
