#include "platform/ui/TemplateImage.h"

#include <algorithm>
#include <cmath>

namespace ui {

gfx::ImagePtr TemplateImage::tinted(const gfx::ImagePtr& image, const gfx::Color& tint) {
    if (!image) return nullptr;
    auto channel = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    std::vector<uint32_t> pixels = image->pixels();
    for (auto& p : pixels) {
        // Premultiplied output: each colour channel scaled by the pixel's alpha and the tint's.
        double a = ((p >> 24) & 0xff) / 255.0 * tint.alpha;
        p = channel(a) << 24 | channel(tint.red * a) << 16 | channel(tint.green * a) << 8 | channel(tint.blue * a);
    }
    return std::make_shared<gfx::Image>(image->pixelWidth(), image->pixelHeight(), image->scale(), std::move(pixels));
}

} // namespace ui
