#include "platform/gfx/testing/LargePictures.h"

#include <png.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace gfx::testkit {
namespace {

void appendPng(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void flushNothing(png_structp) {}

} // namespace

std::string largePng(int width, int height, PngLayout layout) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) throw std::runtime_error("largePng");
    png_set_write_fn(png, &out, appendPng, flushNothing);
    png_set_compression_level(png, 9);
    const bool alpha = layout == PngLayout::greyWithAlpha;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY,
                 layout == PngLayout::interlacedGrey ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(width) * (alpha ? 2 : 1), 0x80);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

const std::string& giantPng() {
    static const std::string png = largePng(16384, 16384);
    return png;
}

std::string solidJpeg(int width, int height, unsigned char r, unsigned char g, unsigned char b, int quality) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &bytes, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
    for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
        row[x * 3] = r;
        row[x * 3 + 1] = g;
        row[x * 3 + 2] = b;
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&c, &line, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string out(reinterpret_cast<char*>(bytes), size);
    std::free(bytes);
    return out;
}

} // namespace gfx::testkit
