#include "platform/gfx/Image.h"

#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/ProcessInfo.h"
#include "platform/gfx/Codecs.h"
#include "platform/gfx/DecodedRows.h"
#include "platform/gfx/Orientation.h"

#include <png.h>
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace gfx {
namespace {

core::Error imageError(Image::ErrorCode code, std::string description) {
    return core::Error{Image::kErrorDomain, code, std::move(description), {}};
}

uint32_t premultiply(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    auto mul = [a](uint8_t c) { return static_cast<uint32_t>((c * a + 127) / 255); };
    return (static_cast<uint32_t>(a) << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

// libpng reports errors through a longjmp; the read state lives in this struct so that nothing
// with a destructor is skipped by the jump.
struct PngReader {
    std::string_view data;
    size_t offset = 0;
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (reader->offset + length > reader->data.size()) png_error(png, "truncated");
    std::memcpy(out, reader->data.data() + reader->offset, length);
    reader->offset += length;
}

void pngSilentWarning(png_structp, png_const_charp) {}
// Errors come back as values; libpng's default handler would also print them.
[[noreturn]] void pngSilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// The largest side any decoder accepts, whatever the pixel budget.
constexpr unsigned kMaxDecodedSide = 16384;

core::Error tooLargeError(PixelSize size) {
    return imageError(Image::tooLarge, "The picture of " + std::to_string(size.width) + " x " + std::to_string(size.height) +
                                           " pixels is larger than " + std::to_string(Image::kDecodePixelBudget) + " pixels.");
}

// Turns a row of straight RGBA bytes into premultiplied pixel words, in place.
void premultiplyRow(uint32_t* row, size_t width) {
    for (size_t x = 0; x < width; ++x) {
        uint8_t p[4];
        std::memcpy(p, row + x, 4);
        row[x] = premultiply(p[0], p[1], p[2], p[3]);
    }
}

// What the PNG decoder changes between setjmp and a possible longjmp, on the heap.
struct PngDecode {
    PngReader reader;
    PixelSize size;
    bool alpha = true;
    bool tooLarge = false;
    bool ok = false;
    std::unique_ptr<DecodedRows> rows;  // a picture read row by row
    std::vector<uint32_t> whole;        // an interlaced one: every pass revisits every row
    std::vector<uint32_t> firstRow;     // its first row, decoded before the whole is allocated
};

void readPngRows(png_structp png, PngDecode& d, PixelSize out) {
    const size_t width = static_cast<size_t>(d.size.width);
    d.rows = std::make_unique<DecodedRows>(d.size, out);
    for (int y = 0; y < d.size.height; ++y) {
        uint32_t* row = d.rows->nextRow();
        png_read_row(png, reinterpret_cast<png_bytep>(row), nullptr);
        premultiplyRow(row, width);
        d.rows->rowDone();
    }
}

void readInterlacedPng(png_structp png, PngDecode& d, int passes) {
    const size_t width = static_cast<size_t>(d.size.width);
    // The whole picture is needed from the first pass on; it is allocated once the first row has
    // been decoded, so that a stream cut after its header costs one row.
    // (Nothing with a destructor may live on this frame: libpng's errors jump over it.)
    d.firstRow.assign(width, 0);
    png_read_row(png, reinterpret_cast<png_bytep>(d.firstRow.data()), nullptr);
    d.whole.assign(width * static_cast<size_t>(d.size.height), 0);
    std::copy(d.firstRow.begin(), d.firstRow.end(), d.whole.begin());
    for (int pass = 0; pass < passes; ++pass)
        for (int y = pass == 0 ? 1 : 0; y < d.size.height; ++y)
            png_read_row(png, reinterpret_cast<png_bytep>(d.whole.data() + static_cast<size_t>(y) * width), nullptr);
    premultiplyRow(d.whole.data(), d.whole.size());
}

core::Expected<ImagePtr> decodePng(std::string_view bytes, double scale, Image::LargePicture large) {
    auto d = std::make_unique<PngDecode>();
    d->reader.data = bytes;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngSilentError, pngSilentWarning);
    if (!png) return imageError(Image::corruptData, "The PNG decoder could not start.");
    png_infop info = png_create_info_struct(png);
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &d->reader, pngRead);
        png_read_info(png, info);
        const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
        d->alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
        if (width == 0 || height == 0 || width > kMaxDecodedSide || height > kMaxDecodedSide) png_error(png, "bad size");
        d->size = {static_cast<int>(width), static_cast<int>(height)};
        const PixelSize out = large == Image::LargePicture::scaleDown ? sizeWithinPixelBudget(d->size, Image::kDecodePixelBudget) : d->size;
        const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
        // Checked before anything is allocated for the pixels. Interlaced rows come back in every
        // pass, so such a picture cannot be averaged down as it arrives.
        if (out.area() > Image::kDecodePixelBudget || (interlaced && out.area() != d->size.area())) {
            d->tooLarge = true;
            png_error(png, "too large");
        }
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
        const int passes = png_set_interlace_handling(png);
        png_read_update_info(png, info);
        if (interlaced) readInterlacedPng(png, *d, passes);
        else readPngRows(png, *d, out);
        d->ok = true;
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (d->tooLarge) return tooLargeError(d->size);
    if (!d->ok) return imageError(Image::corruptData, "The PNG data is damaged.");
    if (d->rows) {
        const PixelSize out = d->rows->outSize();
        return ImagePtr(std::make_shared<Image>(out.width, out.height, scale, d->rows->take(), d->alpha));
    }
    return ImagePtr(std::make_shared<Image>(d->size.width, d->size.height, scale, std::move(d->whole), d->alpha));
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpegFail(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }
void jpegSilent(j_common_ptr) {}
// A stream that ends early is given up (libjpeg would go on with grey rows to the declared size);
// other warnings are ignored.
void jpegGiveUpAtEnd(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) jpegFail(info);
}

// The smallest n/8 that keeps the shorter side at least `minimum` pixels (8/8 when none does).
unsigned reductionEighths(unsigned width, unsigned height, int minimum) {
    const unsigned shorter = std::min(width, height);
    if (minimum <= 0) return 8;
    for (unsigned n = 1; n < 8; ++n)
        if ((shorter * n + 7) / 8 >= static_cast<unsigned>(minimum)) return n;
    return 8;
}

// libjpeg's output size at n/8.
PixelSize jpegOutputSize(jpeg_decompress_struct& cinfo, unsigned eighths) {
    cinfo.scale_num = eighths;
    cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&cinfo);
    return {static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height)};
}

// What the JPEG decoder changes between setjmp and a possible longjmp, on the heap.
struct JpegDecode {
    PixelSize size;
    bool tooLarge = false;
    bool ok = false;
    std::unique_ptr<DecodedRows> rows;
};

core::Expected<ImagePtr> decodeJpeg(std::string_view bytes, double scale, int minimumShorterSide, Image::LargePicture large) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.output_message = jpegSilent;
    err.mgr.emit_message = jpegGiveUpAtEnd;
    auto d = std::make_unique<JpegDecode>();
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        // Rows decode straight into the pixel words: BGRX bytes are 0xFFRRGGBB on a little-endian machine.
        cinfo.out_color_space = JCS_EXT_BGRX;
        unsigned eighths = reductionEighths(cinfo.image_width, cinfo.image_height, minimumShorterSide);
        PixelSize wanted = jpegOutputSize(cinfo, eighths);
        d->size = wanted;
        if (large == Image::LargePicture::scaleDown) {
            wanted = sizeWithinPixelBudget(wanted, Image::kDecodePixelBudget);
            // libjpeg's own reduction does most of the work: the smallest that is no smaller than wanted.
            for (unsigned n = 1; n < eighths; ++n) {
                const PixelSize at = jpegOutputSize(cinfo, n);
                if (at.width >= wanted.width && at.height >= wanted.height) {
                    eighths = n;
                    break;
                }
            }
        }
        if (wanted.area() > Image::kDecodePixelBudget) {
            d->tooLarge = true;
            longjmp(err.jump, 1);
        }
        const PixelSize decoded = jpegOutputSize(cinfo, eighths);
        if (decoded.width <= 0 || decoded.height <= 0 || decoded.width > static_cast<int>(kMaxDecodedSide) ||
            decoded.height > static_cast<int>(kMaxDecodedSide))
            longjmp(err.jump, 1);
        jpeg_start_decompress(&cinfo);
        d->rows = std::make_unique<DecodedRows>(decoded, wanted);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW r = reinterpret_cast<JSAMPROW>(d->rows->nextRow());
            jpeg_read_scanlines(&cinfo, &r, 1);
            d->rows->rowDone();
        }
        jpeg_finish_decompress(&cinfo);
        d->ok = true;
    }
    jpeg_destroy_decompress(&cinfo);
    if (d->tooLarge) return tooLargeError(d->size);
    if (!d->ok) return imageError(Image::corruptData, "The JPEG data is damaged.");
    PixelSize out = d->rows->outSize();
    std::vector<uint32_t> pixels = d->rows->take();
    if (int orientation = exifOrientation(bytes); orientation != 1) pixels = orientPixels(pixels, out.width, out.height, orientation);
    return ImagePtr(std::make_shared<Image>(out.width, out.height, scale, std::move(pixels), false));
}

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void pngFlush(png_structp) {}

} // namespace

Image::Image(int pixelWidth, int pixelHeight, double scale, std::vector<uint32_t> pixels, bool hasAlpha)
    : width_(pixelWidth), height_(pixelHeight), scale_(scale > 0 ? scale : 1), pixels_(std::move(pixels)), hasAlpha_(hasAlpha) {
    pixels_.resize(static_cast<size_t>(std::max(0, width_)) * std::max(0, height_));
}

Image::Image(const Image& other)
    : width_(other.width_), height_(other.height_), scale_(other.scale_), pixels_(other.pixels_), hasAlpha_(other.hasAlpha_),
      images_(other.images_), duration_(other.duration_), loopCount_(other.loopCount()), flipsForRTL_(other.flipsForRTL_),
      renderingMode_(other.renderingMode_) {}

std::shared_ptr<const Image> Image::imageFlippedForRightToLeftLayoutDirection() const {
    auto copy = std::make_shared<Image>(*this);
    copy->flipsForRTL_ = true;
    return copy;
}

std::shared_ptr<const Image> Image::imageWithRenderingMode(ImageRenderingMode mode) const {
    auto copy = std::make_shared<Image>(*this);
    copy->renderingMode_ = mode;
    return copy;
}

Image& Image::operator=(const Image& other) {
    if (this == &other) return *this;
    width_ = other.width_;
    height_ = other.height_;
    scale_ = other.scale_;
    pixels_ = other.pixels_;
    hasAlpha_ = other.hasAlpha_;
    images_ = other.images_;
    duration_ = other.duration_;
    flipsForRTL_ = other.flipsForRTL_;
    renderingMode_ = other.renderingMode_;
    loopCount_.store(other.loopCount(), std::memory_order_relaxed);
    return *this;
}

ImagePtr Image::animated(std::vector<ImagePtr> images, double duration) {
    if (images.empty() || !images.front()) return nullptr;
    const Image& first = *images.front();
    auto image = std::make_shared<Image>(first.width_, first.height_, first.scale_, first.pixels_, first.hasAlpha_);
    image->images_ = std::move(images);
    image->duration_ = duration;
    return image;
}

namespace {

enum class Format { png, jpeg, gif, tiff, unknown };

Format formatOf(std::string_view bytes) {
    static constexpr unsigned char pngSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), pngSig, 8) == 0) return Format::png;
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xff && static_cast<unsigned char>(bytes[1]) == 0xd8 &&
        static_cast<unsigned char>(bytes[2]) == 0xff)
        return Format::jpeg;
    if (bytes.size() >= 6 && (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a")) return Format::gif;
    if (bytes.size() >= 4 && (bytes.substr(0, 4) == std::string_view("II*\0", 4) || bytes.substr(0, 4) == std::string_view("MM\0*", 4)))
        return Format::tiff;
    return Format::unknown;
}

uint32_t bigEndian32(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

std::optional<uint64_t> jpegPixelCount(std::string_view bytes) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.output_message = jpegSilent;
    volatile uint64_t count = 0;
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK) count = static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height;
    }
    jpeg_destroy_decompress(&cinfo);
    if (count == 0) return std::nullopt;
    return count;
}

} // namespace

core::Expected<ImagePtr> Image::decode(std::string_view bytes, double scale, LargePicture large) {
    switch (formatOf(bytes)) {
    case Format::png: return decodePng(bytes, scale, large);
    case Format::jpeg: return decodeJpeg(bytes, scale, 0, large);
    case Format::gif: {
        // A still: the first frame.
        auto gif = decodeGif(bytes, scale);
        if (!gif) return gif.error();
        return gif->frames.front().image;
    }
    case Format::tiff: return decodeTiff(bytes, scale);
    case Format::unknown: break;
    }
    return imageError(unknownFormat, "The data is not a PNG, JPEG, GIF or TIFF picture.");
}

std::optional<uint64_t> Image::declaredPixelCount(std::string_view bytes) {
    switch (formatOf(bytes)) {
    case Format::png:
        // The signature, then the IHDR chunk: length, type, width and height.
        if (bytes.size() < 24 || bytes.substr(12, 4) != "IHDR") return std::nullopt;
        return static_cast<uint64_t>(bigEndian32(bytes, 16)) * bigEndian32(bytes, 20);
    case Format::jpeg: return jpegPixelCount(bytes);
    case Format::gif:
        // The logical screen, little-endian.
        if (bytes.size() < 10) return std::nullopt;
        return static_cast<uint64_t>(static_cast<unsigned char>(bytes[6]) | static_cast<unsigned char>(bytes[7]) << 8) *
               static_cast<uint64_t>(static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8);
    case Format::tiff: return tiffPixelCount(bytes);
    case Format::unknown: break;
    }
    return std::nullopt;
}

core::Expected<ImagePtr> Image::decodeReduced(std::string_view bytes, int minimumShorterSide, double scale) {
    if (formatOf(bytes) == Format::jpeg) return decodeJpeg(bytes, scale, minimumShorterSide, LargePicture::scaleDown);
    return decode(bytes, scale, LargePicture::scaleDown);
}

core::Expected<ImagePtr> Image::fromFileReduced(const std::string& path, int minimumShorterSide, double scale) {
    auto bytes = core::files::read(path);
    if (!bytes) return imageError(unreadableFile, "The image file could not be read.");
    return decodeReduced(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), minimumShorterSide, scale);
}

core::Expected<ImagePtr> Image::fromFile(const std::string& path, double scale) {
    auto bytes = core::files::read(path);
    if (!bytes) return imageError(unreadableFile, "The image file could not be read.");
    return decode(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), scale);
}

ImagePtr Image::named(std::string_view name, std::string_view bundle) {
    static std::mutex mutex;
    static std::map<std::string, ImagePtr> cache;
    std::string folder = core::Bundle::resourcePath();
    if (!bundle.empty()) folder += "/" + std::string(bundle) + ".bundle";
    std::string base(name), ext = ".png";
    if (auto dot = base.rfind('.'); dot != std::string::npos && dot > 0) {
        ext = base.substr(dot);
        base.resize(dot);
    }
    std::string key = folder + "/" + base + ext;
    std::lock_guard lock(mutex);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    const std::pair<const char*, double> variants[] = {{"@3x", 3}, {"@2x", 2}, {"", 1}};
    ImagePtr found;
    for (const auto& [suffix, scale] : variants) {
        std::string path = folder + "/" + base + suffix + ext;
        if (!core::files::exists(path)) continue;
        auto image = fromFile(path, scale);
        if (image) found = *image;
        else core::log("Image " + path + ": " + image.error().description);
        break;
    }
    if (!found) core::log("No image named " + std::string(name) + " in " + folder);
    cache[key] = found;
    return found;
}

core::Expected<std::string> Image::pngData() const {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngSilentError, pngSilentWarning);
    if (!png) return imageError(encodeFailed, "The PNG encoder could not start.");
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t>* volatile row = new std::vector<uint8_t>(static_cast<size_t>(width_) * 4);
    volatile bool ok = false;  // set between setjmp and a possible longjmp
    if (info && width_ > 0 && height_ > 0 && setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &out, pngWrite, pngFlush);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width_), static_cast<png_uint_32>(height_), 8,
                     PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                uint32_t p = pixel(x, y);
                uint32_t a = p >> 24;
                auto unmul = [a](uint32_t c) { return static_cast<uint8_t>(a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
                uint8_t* o = row->data() + x * 4;
                o[0] = unmul((p >> 16) & 0xff);
                o[1] = unmul((p >> 8) & 0xff);
                o[2] = unmul(p & 0xff);
                o[3] = static_cast<uint8_t>(a);
            }
            png_write_row(png, row->data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    delete row;
    if (!ok) return imageError(encodeFailed, "The image could not be encoded as PNG.");
    return out;
}

core::Expected<std::string> Image::jpegData(double quality) const {
    if (width_ <= 0 || height_ <= 0) return imageError(encodeFailed, "The image could not be encoded as JPEG.");
    jpeg_compress_struct c;
    JpegError err;
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.output_message = jpegSilent;
    // The destination lives on the heap: locals changed between setjmp and longjmp are unreliable.
    struct Destination {
        unsigned char* bytes = nullptr;
        unsigned long size = 0;
    };
    auto* dest = new Destination;
    volatile bool ok = false;
    jpeg_create_compress(&c);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_dest(&c, &dest->bytes, &dest->size);
        c.image_width = static_cast<JDIMENSION>(width_);
        c.image_height = static_cast<JDIMENSION>(height_);
        // Premultiplied pixels over black are the pixel words themselves, read as BGRX.
        c.input_components = 4;
        c.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, std::clamp(static_cast<int>(quality * 100 + 0.5), 1, 100), TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            auto* row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(pixels_.data() + static_cast<size_t>(c.next_scanline) * width_));
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        ok = true;
    }
    jpeg_destroy_compress(&c);
    std::string bytes = ok && dest->bytes ? std::string(reinterpret_cast<char*>(dest->bytes), dest->size) : std::string();
    free(dest->bytes);
    delete dest;
    if (!ok) return imageError(encodeFailed, "The image could not be encoded as JPEG.");
    return bytes;
}

core::Status Image::writePng(const std::string& path) const {
    auto data = pngData();
    if (!data) return data.error();
    return core::files::writeAtomically(path, *data);
}

} // namespace gfx
