#pragma once
// Test support: HEIC pictures made with libheif's own encoder (HEVC), independent of the
// platform's encoder, for the decoders' tests, benchmarks and seed corpora.

#include <cstdint>
#include <functional>
#include <string>

namespace gfx::testing {

// Straight (not premultiplied) RGBA bytes of pixel (x, y), as 0xRRGGBBAA.
using StraightRGBA = std::function<std::uint32_t(int x, int y)>;

// A HEIC picture of `width` × `height` stored pixels with an alpha plane when `alpha`, whose
// EXIF-style `orientation` (1-8) libheif writes as rotation and mirroring boxes. Empty when
// libheif cannot encode here.
std::string makeHeif(int width, int height, const StraightRGBA& pixel, bool alpha = false, int orientation = 1, int quality = 90);

} // namespace gfx::testing
