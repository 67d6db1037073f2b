#pragma once
// An immutable bitmap image: premultiplied ARGB pixels (one 32-bit word per pixel, 0xAARRGGBB in
// native byte order, rows packed) and a scale that says how many pixels make one point.
//
// Images are decoded from PNG (libpng) and JPEG (libjpeg-turbo) and encoded as PNG. Named images
// are looked up in the resource folder beside the program, or in a resource bundle folder
// ("<name>.bundle") inside it; a file "<name>@3x.png" is preferred and loads at scale 3, then
// "@2x", then the plain name at scale 1. Loaded named images are cached for the process.
//
// Images are shared as std::shared_ptr<const Image> and safe to read from any thread.

#include "platform/core/Error.h"
#include "platform/gfx/Size.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gfx {

class Image {
public:
    static constexpr const char* kErrorDomain = "gfx.Image";
    enum ErrorCode { unknownFormat = 1, corruptData = 2, unreadableFile = 3, encodeFailed = 4 };

    Image(int pixelWidth, int pixelHeight, double scale, std::vector<uint32_t> pixels);

    // Decodes PNG or JPEG bytes (told apart by their signature).
    static core::Expected<std::shared_ptr<const Image>> decode(std::string_view bytes, double scale = 1);
    static core::Expected<std::shared_ptr<const Image>> fromFile(const std::string& path, double scale = 1);
    // A named image of the program's resources (bundle empty) or of the resource bundle
    // "<bundle>.bundle" beside them; nullptr when there is none (the miss is logged once).
    static std::shared_ptr<const Image> named(std::string_view name, std::string_view bundle = {});

    int pixelWidth() const { return width_; }
    int pixelHeight() const { return height_; }
    double scale() const { return scale_; }
    // The size in points: pixels divided by the scale.
    Size size() const { return {width_ / scale_, height_ / scale_}; }
    const std::vector<uint32_t>& pixels() const { return pixels_; }
    uint32_t pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

    // PNG bytes of the image (straight alpha, 8 bits per channel).
    core::Expected<std::string> pngData() const;
    core::Status writePng(const std::string& path) const;

private:
    int width_;
    int height_;
    double scale_;
    std::vector<uint32_t> pixels_;
};

using ImagePtr = std::shared_ptr<const Image>;

} // namespace gfx
