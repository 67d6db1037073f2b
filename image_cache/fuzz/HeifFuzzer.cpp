// HEIC bytes through libheif to an upright picture.
// Invariants: no crash or sanitizer report; a picture that comes out has a size within the
// budgets and as many pixels as its size says.

#include "platform/core/testing/FuzzCheck.h"
#include "platform/gfx/Codecs.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto image = gfx::decodeHeif(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!image) return 0;
    const auto& picture = **image;
    const std::uint64_t width = static_cast<std::uint64_t>(picture.pixelWidth()), height = static_cast<std::uint64_t>(picture.pixelHeight());
    FUZZ_CHECK(width > 0 && height > 0 && width <= gfx::kHeifMaximumSide && height <= gfx::kHeifMaximumSide);
    FUZZ_CHECK(width * height <= gfx::kHeifPixelBudget);
    FUZZ_CHECK(picture.pixels().size() == width * height);
    return 0;
}
