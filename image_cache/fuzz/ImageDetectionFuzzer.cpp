// Downloaded bytes of any kind through format detection, the EXIF reader and every coder.
// Invariants: no crash or sanitizer report; the orientation is 1-8; a decoded image has one pixel
// word per pixel and an animated one has frames of its own size.

#include "image_cache/RIImageCoders.h"
#include "platform/core/testing/FuzzCheck.h"
#include "platform/gfx/Orientation.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    (void)image_cache::ri_imageFormatForImageData(bytes);
    int orientation = gfx::exifOrientation(bytes);
    FUZZ_CHECK(orientation >= 1 && orientation <= 8);
    static const auto manager = [] {
        auto m = std::make_shared<image_cache::RIImageCodersManager>();
        m->addCoder(image_cache::RIImageGIFCoder::sharedCoder());
        return m;
    }();
    auto image = manager->decodedImageWithData(bytes);
    if (!image) return 0;
    FUZZ_CHECK(image->pixels().size() == static_cast<size_t>(image->pixelWidth()) * image->pixelHeight());
    for (const auto& frame : image->images())
        FUZZ_CHECK(frame->pixelWidth() == image->pixelWidth() && frame->pixelHeight() == image->pixelHeight());
    return 0;
}
