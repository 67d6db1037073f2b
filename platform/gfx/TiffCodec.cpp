#include "platform/gfx/Codecs.h"
#include "platform/gfx/Orientation.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>

namespace gfx {
namespace {

core::Error tiffError(Image::ErrorCode code, std::string description) {
    return core::Error{Image::kErrorDomain, code, std::move(description), {}};
}

// libtiff reads and writes through these callbacks over a string held in memory.
struct Memory {
    std::string data;
    toff_t offset = 0;
};

tsize_t memRead(thandle_t h, tdata_t out, tsize_t size) {
    auto* m = static_cast<Memory*>(h);
    if (m->offset >= m->data.size()) return 0;
    size_t n = std::min<size_t>(static_cast<size_t>(size), m->data.size() - m->offset);
    std::memcpy(out, m->data.data() + m->offset, n);
    m->offset += n;
    return static_cast<tsize_t>(n);
}
tsize_t memWrite(thandle_t h, tdata_t in, tsize_t size) {
    auto* m = static_cast<Memory*>(h);
    size_t end = m->offset + static_cast<size_t>(size);
    if (end > m->data.size()) m->data.resize(end);
    std::memcpy(m->data.data() + m->offset, in, static_cast<size_t>(size));
    m->offset = end;
    return size;
}
toff_t memSeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(h);
    toff_t base = whence == SEEK_CUR ? m->offset : whence == SEEK_END ? m->data.size() : 0;
    m->offset = base + offset;
    return m->offset;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<Memory*>(h)->data.size(); }
int memMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void memUnmap(thandle_t, tdata_t, toff_t) {}

void silent(const char*, const char*, va_list) {}

TIFF* openMemory(Memory& m, const char* mode) {
    // libtiff reports problems through process-wide handlers; errors come back as values instead.
    TIFFSetErrorHandler(silent);
    TIFFSetWarningHandler(silent);
    return TIFFClientOpen("memory", mode, &m, memRead, memWrite, memSeek, memClose, memSize, memMap, memUnmap);
}

} // namespace

core::Expected<ImagePtr> decodeTiff(std::string_view bytes, double scale) {
    Memory m{std::string(bytes)};
    TIFF* tif = openMemory(m, "rm");
    if (!tif) return tiffError(Image::corruptData, "The TIFF data is damaged.");
    uint32_t w = 0, h = 0;
    uint16_t extra = 0, orientation = ORIENTATION_TOPLEFT;
    uint16_t* extraTypes = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    std::vector<uint32_t> raster;
    bool ok = w > 0 && h > 0 && w <= 16384 && h <= 16384;
    if (ok && static_cast<uint64_t>(w) * h > Image::kDecodePixelBudget) {
        TIFFClose(tif);
        return tiffError(Image::tooLarge, "The picture of " + std::to_string(w) + " x " + std::to_string(h) + " pixels is larger than " +
                                              std::to_string(Image::kDecodePixelBudget) + " pixels.");
    }
    if (ok) {
        // Read in stored order; the orientation is applied below, the same way as for JPEG.
        TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        raster.resize(static_cast<size_t>(w) * h);
        ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0) == 1;
    }
    TIFFClose(tif);
    if (!ok) return tiffError(Image::corruptData, "The TIFF data is damaged.");
    // libtiff gives premultiplied samples as R G B A bytes.
    for (uint32_t& p : raster)
        p = (TIFFGetA(p) << 24) | (TIFFGetR(p) << 16) | (TIFFGetG(p) << 8) | TIFFGetB(p);
    int width = static_cast<int>(w), height = static_cast<int>(h);
    if (orientation >= 2 && orientation <= 8) raster = orientPixels(raster, width, height, orientation);
    return ImagePtr(std::make_shared<Image>(width, height, scale, std::move(raster), extra > 0));
}

std::optional<std::uint64_t> tiffPixelCount(std::string_view bytes) {
    Memory m{std::string(bytes)};
    TIFF* tif = openMemory(m, "rm");
    if (!tif) return std::nullopt;
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFClose(tif);
    if (w == 0 || h == 0) return std::nullopt;
    return static_cast<std::uint64_t>(w) * h;
}

core::Expected<std::string> encodeTiff(const Image& image) {
    auto fail = [] { return tiffError(Image::encodeFailed, "The image could not be encoded as TIFF."); };
    const int w = image.pixelWidth(), h = image.pixelHeight();
    if (w <= 0 || h <= 0) return fail();
    Memory m;
    TIFF* tif = openMemory(m, "w");
    if (!tif) return fail();
    const uint16_t samples = image.hasAlpha() ? 4 : 3;
    const uint16_t associated = EXTRASAMPLE_ASSOCALPHA;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(h));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    if (samples == 4) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &associated);
    std::vector<uint8_t> row(static_cast<size_t>(w) * samples);
    bool ok = true;
    for (int y = 0; ok && y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t p = image.pixel(x, y);
            uint8_t* o = row.data() + static_cast<size_t>(x) * samples;
            o[0] = static_cast<uint8_t>(p >> 16);
            o[1] = static_cast<uint8_t>(p >> 8);
            o[2] = static_cast<uint8_t>(p);
            if (samples == 4) o[3] = static_cast<uint8_t>(p >> 24);
        }
        ok = TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) == 1;
    }
    TIFFClose(tif);
    if (!ok) return fail();
    return std::move(m.data);
}

} // namespace gfx
