// Cost of a new profile picture from a 4032 x 3024 photo: decode the JPEG (with its orientation
// check and the large-photo reduction rule), show it in the cropper, zoom 2 and crop to 600 x 600,
// encode the PNG. Measured in the same run against the bare libraries doing the same work: libjpeg
// decoding straight into the same pixel words, Cairo scaling the same region into a 600 x 600
// surface with the same filter, libpng encoding the same straight-alpha rows. The counter
// ratio_to_bare is ours over bare.

#include "Commons/ImageEdit/ImageEditView.h"
#include "platform/gfx/Image.h"
#include "platform/ui/Screen.h"

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <jpeglib.h>
#include <png.h>

#include <chrono>
#include <csetjmp>
#include <cstdio>

namespace {

constexpr int kWidth = 4032, kHeight = 3024, kCrop = 600;
constexpr double kViewport = 300;  // the cropper's viewport in points

const std::string& photoJpeg() {
    static const std::string jpeg = [] {
        std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                pixels[size_t(y) * kWidth + x] = 0xFF000000u | (uint32_t(x * 255 / kWidth) << 16) |
                                                 (uint32_t(y * 255 / kHeight) << 8) | uint32_t((x ^ y) & 0xff);
        return *gfx::Image(kWidth, kHeight, 1, std::move(pixels)).jpegData(0.9);
    }();
    return jpeg;
}

double bareSeconds = 0;  // per crop, from the bare benchmark of this run

struct BareJpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

std::vector<uint32_t> bareDecode(const std::string& bytes, int& width, int& height) {
    jpeg_decompress_struct cinfo;
    BareJpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = [](j_common_ptr info) { longjmp(reinterpret_cast<BareJpegError*>(info->err)->jump, 1); };
    std::vector<uint32_t> pixels;
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.jump) == 0) {
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&cinfo);
        width = int(cinfo.output_width);
        height = int(cinfo.output_height);
        pixels.resize(size_t(width) * height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW r = reinterpret_cast<JSAMPROW>(pixels.data() + size_t(cinfo.output_scanline) * width);
            jpeg_read_scanlines(&cinfo, &r, 1);
        }
        jpeg_finish_decompress(&cinfo);
    }
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

void pngAppend(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

std::string bareEncode(const uint32_t* pixels, int width, int height, int stride) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> row(size_t(width) * 4);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &out, pngAppend, [](png_structp) {});
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            const uint32_t* line = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) + size_t(y) * stride);
            for (int x = 0; x < width; ++x) {
                const uint32_t p = line[x], a = p >> 24;
                auto unmul = [a](uint32_t c) { return uint8_t(a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
                uint8_t* o = row.data() + x * 4;
                o[0] = unmul((p >> 16) & 0xff);
                o[1] = unmul((p >> 8) & 0xff);
                o[2] = unmul(p & 0xff);
                o[3] = uint8_t(a);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

// The same region as the cropper at zoom 2 about the centre of a wide picture that starts at its
// right end: the picture is 400 x 300 points on screen at zoom 1, 800 x 600 at zoom 2.
void BM_BareLibraries(benchmark::State& state) {
    const std::string& jpeg = photoJpeg();
    double total = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        int w = 0, h = 0;
        std::vector<uint32_t> pixels = bareDecode(jpeg, w, h);
        cairo_surface_t* source = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.data()),
                                                                      CAIRO_FORMAT_ARGB32, w, h, w * 4);
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kCrop, kCrop);
        cairo_t* cr = cairo_create(target);
        const double shown = kViewport * w / h * 2, offsetX = (shown - kViewport) / 2 + 50, offsetY = kViewport / 2;
        const double k = kCrop / kViewport;
        cairo_translate(cr, -offsetX * k, -offsetY * k);
        cairo_scale(cr, shown * k / w, kViewport * 2 * k / h);
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_rectangle(cr, 0, 0, w, h);
        cairo_clip(cr);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(target);
        std::string png = bareEncode(reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(target)), kCrop, kCrop,
                                     cairo_image_surface_get_stride(target));
        bytes = png.size();
        cairo_surface_destroy(target);
        cairo_surface_destroy(source);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    bareSeconds = total / double(state.iterations());
    state.counters["crop_ms"] = bareSeconds * 1000;
    state.counters["png_bytes"] = double(bytes);
}
BENCHMARK(BM_BareLibraries)->Unit(benchmark::kMillisecond);

void BM_HeadCrop(benchmark::State& state) {
    ui::Screen::main().setProfile(ui::DeviceProfile::phone());
    const std::string& jpeg = photoJpeg();
    auto edit = core::make<kit::ImageEditView>(gfx::Rect{0, 0, kViewport + 6, kViewport + 6});
    double total = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        auto photo = gfx::Image::decodeReduced(jpeg, 3000);
        edit->setEditImage(*photo);
        edit->scrollView()->setZoomScale(2);
        auto png = edit->croppedImage()->pngData();
        bytes = png->size();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double perCrop = total / double(state.iterations());
    state.counters["crop_ms"] = perCrop * 1000;
    state.counters["png_bytes"] = double(bytes);
    if (bareSeconds > 0) state.counters["ratio_to_bare"] = perCrop / bareSeconds;
}
BENCHMARK(BM_HeadCrop)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
