#include "platform/gfx/Image.h"

#include "platform/core/Files.h"
#include "platform/core/Log.h"
#include "platform/core/ProcessInfo.h"
#include "platform/gfx/Codecs.h"
#include "platform/gfx/Orientation.h"

#include <png.h>
#include <jpeglib.h>

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

core::Expected<ImagePtr> decodePng(std::string_view bytes, double scale) {
    PngReader reader{bytes};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngSilentError, pngSilentWarning);
    if (!png) return imageError(Image::corruptData, "The PNG decoder could not start.");
    png_infop info = png_create_info_struct(png);
    std::vector<uint32_t>* pixels = new std::vector<uint32_t>();
    std::vector<png_bytep>* rows = new std::vector<png_bytep>();
    std::vector<uint8_t>* buffer = new std::vector<uint8_t>();
    png_uint_32 width = 0, height = 0;
    bool ok = false, alpha = true;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &reader, pngRead);
        png_read_info(png, info);
        width = png_get_image_width(png, info);
        height = png_get_image_height(png, info);
        alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
        if (width == 0 || height == 0 || width > 16384 || height > 16384) png_error(png, "bad size");
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
        (void)png_set_interlace_handling(png);
        png_read_update_info(png, info);
        buffer->resize(static_cast<size_t>(width) * height * 4);
        rows->resize(height);
        for (png_uint_32 y = 0; y < height; ++y) (*rows)[y] = buffer->data() + static_cast<size_t>(y) * width * 4;
        png_read_image(png, rows->data());
        pixels->resize(static_cast<size_t>(width) * height);
        for (size_t i = 0; i < pixels->size(); ++i) {
            const uint8_t* p = buffer->data() + i * 4;
            (*pixels)[i] = premultiply(p[0], p[1], p[2], p[3]);
        }
        ok = true;
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    std::vector<uint32_t> result = std::move(*pixels);
    delete pixels;
    delete rows;
    delete buffer;
    if (!ok) return imageError(Image::corruptData, "The PNG data is damaged.");
    return ImagePtr(std::make_shared<Image>(static_cast<int>(width), static_cast<int>(height), scale, std::move(result), alpha));
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpegFail(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }
void jpegSilent(j_common_ptr) {}

// The smallest n/8 that keeps the shorter side at least `minimum` pixels (8/8 when none does).
unsigned reductionEighths(unsigned width, unsigned height, int minimum) {
    const unsigned shorter = std::min(width, height);
    if (minimum <= 0) return 8;
    for (unsigned n = 1; n < 8; ++n)
        if ((shorter * n + 7) / 8 >= static_cast<unsigned>(minimum)) return n;
    return 8;
}

core::Expected<ImagePtr> decodeJpeg(std::string_view bytes, double scale, int minimumShorterSide = 0) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.output_message = jpegSilent;
    // Rows decode straight into the pixel words: BGRX bytes are 0xFFRRGGBB on a little-endian machine.
    std::vector<uint32_t>* pixels = new std::vector<uint32_t>();
    int width = 0, height = 0;
    bool ok = false;
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRX;
        cinfo.scale_num = reductionEighths(cinfo.image_width, cinfo.image_height, minimumShorterSide);
        cinfo.scale_denom = 8;
        jpeg_start_decompress(&cinfo);
        width = static_cast<int>(cinfo.output_width);
        height = static_cast<int>(cinfo.output_height);
        if (width <= 0 || height <= 0 || width > 16384 || height > 16384) longjmp(err.jump, 1);
        pixels->resize(static_cast<size_t>(width) * height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW r = reinterpret_cast<JSAMPROW>(pixels->data() + static_cast<size_t>(cinfo.output_scanline) * width);
            jpeg_read_scanlines(&cinfo, &r, 1);
        }
        jpeg_finish_decompress(&cinfo);
        ok = true;
    }
    jpeg_destroy_decompress(&cinfo);
    std::vector<uint32_t> result = std::move(*pixels);
    delete pixels;
    if (!ok) return imageError(Image::corruptData, "The JPEG data is damaged.");
    if (int orientation = exifOrientation(bytes); orientation != 1) result = orientPixels(result, width, height, orientation);
    return ImagePtr(std::make_shared<Image>(width, height, scale, std::move(result), false));
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

core::Expected<ImagePtr> Image::decode(std::string_view bytes, double scale) {
    static constexpr unsigned char pngSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), pngSig, 8) == 0) return decodePng(bytes, scale);
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xff &&
        static_cast<unsigned char>(bytes[1]) == 0xd8 && static_cast<unsigned char>(bytes[2]) == 0xff)
        return decodeJpeg(bytes, scale);
    if (bytes.size() >= 6 && (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a")) {
        // A still: the first frame.
        auto gif = decodeGif(bytes, scale);
        if (!gif) return gif.error();
        return gif->frames.front().image;
    }
    if (bytes.size() >= 4 && (bytes.substr(0, 4) == std::string_view("II*\0", 4) || bytes.substr(0, 4) == std::string_view("MM\0*", 4)))
        return decodeTiff(bytes, scale);
    return imageError(unknownFormat, "The data is not a PNG, JPEG, GIF or TIFF picture.");
}

core::Expected<ImagePtr> Image::decodeReduced(std::string_view bytes, int minimumShorterSide, double scale) {
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xff && static_cast<unsigned char>(bytes[1]) == 0xd8 &&
        static_cast<unsigned char>(bytes[2]) == 0xff)
        return decodeJpeg(bytes, scale, minimumShorterSide);
    return decode(bytes, scale);
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
