#include "platform/gfx/Orientation.h"

#include <utility>

namespace gfx {
namespace {

struct Reader {
    std::string_view data;
    bool little = false;
    bool in(size_t offset, size_t length) const { return offset <= data.size() && length <= data.size() - offset; }
    uint16_t u16(size_t at) const {
        auto b0 = static_cast<uint8_t>(data[at]), b1 = static_cast<uint8_t>(data[at + 1]);
        return little ? static_cast<uint16_t>(b0 | b1 << 8) : static_cast<uint16_t>(b0 << 8 | b1);
    }
    uint32_t u32(size_t at) const {
        uint32_t a = u16(at), b = u16(at + 2);
        return little ? (b << 16 | a) : (a << 16 | b);
    }
};

} // namespace

int tiffOrientation(std::string_view tiff) {
    if (tiff.size() < 8) return 1;
    Reader r{tiff};
    if (tiff.substr(0, 2) == "II") r.little = true;
    else if (tiff.substr(0, 2) != "MM") return 1;
    if (r.u16(2) != 42) return 1;
    size_t ifd = r.u32(4);
    if (!r.in(ifd, 2)) return 1;
    size_t count = r.u16(ifd);
    for (size_t i = 0; i < count; ++i) {
        size_t entry = ifd + 2 + i * 12;
        if (!r.in(entry, 12)) return 1;
        if (r.u16(entry) != 0x0112) continue;
        // A SHORT value sits in the first two bytes of the value field.
        if (r.u16(entry + 2) != 3 || r.u32(entry + 4) < 1) return 1;
        int value = r.u16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

int exifOrientation(std::string_view bytes) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    if (bytes.size() >= 4 && (bytes.substr(0, 4) == std::string_view("II*\0", 4) || bytes.substr(0, 4) == std::string_view("MM\0*", 4)))
        return tiffOrientation(bytes);
    if (bytes.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return 1;
    size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (byte(at) != 0xFF) return 1;
        uint8_t marker = byte(at + 1);
        if (marker == 0xFF) { ++at; continue; }  // fill byte
        if (marker == 0xD9 || marker == 0xDA) return 1;  // end of image or start of scan: no EXIF before it
        size_t length = static_cast<size_t>(byte(at + 2) << 8 | byte(at + 3));
        if (length < 2 || at + 2 + length > bytes.size()) return 1;
        std::string_view body = bytes.substr(at + 4, length - 2);
        if (marker == 0xE1 && body.size() >= 6 && body.substr(0, 6) == std::string_view("Exif\0\0", 6))
            return tiffOrientation(body.substr(6));
        at += 2 + length;
    }
    return 1;
}

std::vector<uint32_t> orientPixels(const std::vector<uint32_t>& pixels, int& width, int& height, int orientation) {
    const int w = width, h = height;
    if (orientation < 2 || orientation > 8) return pixels;
    const bool swap = orientation >= 5;
    const int outW = swap ? h : w, outH = swap ? w : h;
    std::vector<uint32_t> out(static_cast<size_t>(outW) * outH);
    for (int dy = 0; dy < outH; ++dy) {
        for (int dx = 0; dx < outW; ++dx) {
            int sx = dx, sy = dy;
            switch (orientation) {
            case 2: sx = w - 1 - dx; break;
            case 3: sx = w - 1 - dx; sy = h - 1 - dy; break;
            case 4: sy = h - 1 - dy; break;
            case 5: sx = dy; sy = dx; break;
            case 6: sx = dy; sy = h - 1 - dx; break;
            case 7: sx = w - 1 - dy; sy = h - 1 - dx; break;
            case 8: sx = w - 1 - dy; sy = dx; break;
            default: break;
            }
            out[static_cast<size_t>(dy) * outW + dx] = pixels[static_cast<size_t>(sy) * w + sx];
        }
    }
    width = outW;
    height = outH;
    return out;
}

} // namespace gfx
