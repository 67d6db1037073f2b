// GIF bytes through the frame compositor.
// Invariants: no crash or sanitizer report; every frame has the screen's size; past the pixel
// budget only one frame comes out.

#include "platform/core/testing/FuzzCheck.h"
#include "platform/gfx/Codecs.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
