// GIF bytes through the frame compositor.
// Invariants: no crash or sanitizer report; every frame has the screen's size; past the pixel
// budget only one frame comes out.

#include "platform/core/testing/FuzzCheck.h"
#include "platform/gfx/Codecs.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// Screens up to the budget are decoded for real, onto a canvas of up to 60 MB that is filled and
// copied for each frame: under the sanitizers, with every target running side by side, one such
// input can outlast the run's time limit without anything being wrong. The code is the same for
// any screen size, so inputs that declare a screen between this and the budget are left out;
// smaller screens and those past the budget (refused before any canvas) are still tried.
constexpr std::uint64_t kFuzzedScreenPixels = 1u << 20;

std::uint64_t declaredScreenPixels(const std::uint8_t* data, std::size_t size) {
    if (size < 10) return 0;
    const std::uint64_t width = data[6] | data[7] << 8, height = data[8] | data[9] << 8;  // little-endian, after "GIF89a"
    return width * height;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t declared = declaredScreenPixels(data, size);
    if (declared > kFuzzedScreenPixels && declared <= gfx::Image::kDecodePixelBudget) return 0;
    auto gif = gfx::decodeGif(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!gif) return 0;
    FUZZ_CHECK(!gif->frames.empty());
    const auto& first = *gif->frames.front().image;
    const std::uint64_t screen = static_cast<std::uint64_t>(first.pixelWidth()) * first.pixelHeight();
    FUZZ_CHECK(gif->frames.size() == 1 || screen * gif->frames.size() <= gfx::kGifFramePixelBudget);
    for (const auto& frame : gif->frames)
        FUZZ_CHECK(frame.image->pixelWidth() == first.pixelWidth() && frame.image->pixelHeight() == first.pixelHeight());
    return 0;
}
