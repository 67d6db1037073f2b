// Draws the app's pictures with our own gfx drawing and writes them, at 3x, into a resource
// folder. The build runs it, so the pictures are always reproducible from this source.
//
// Usage: quillora_asset_generator <output folder>

#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/Path.h"

#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr double kScale = 3;

// The palette of the app's shared look.
constexpr gfx::Color kPink = gfx::Color::rgb(255, 91, 120);
constexpr gfx::Color kBlue = gfx::Color::rgb(0, 183, 238);
constexpr gfx::Color kYellow = gfx::Color::rgb(250, 213, 77);
constexpr gfx::Color kLight = gfx::Color::rgb(245, 245, 245);
constexpr gfx::Color kLine = gfx::Color::rgb(229, 229, 229);

bool writePng(const gfx::BitmapContext& context, const std::string& path) {
    auto status = context.makeImage()->writePng(path);
    if (!status) std::cerr << path << ": " << status.error().description << "\n";
    return status.ok();
}

// JPEG at quality 92 through libjpeg; the picture is opaque, so the premultiplied pixels are
// already the straight colours.
bool writeJpeg(const gfx::BitmapContext& context, const std::string& path) {
    auto image = context.makeImage();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::cerr << path << ": cannot be written\n";
        return false;
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image->pixelWidth());
    info.image_height = static_cast<JDIMENSION>(image->pixelHeight());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(image->pixelWidth()) * 3);
    for (int y = 0; y < image->pixelHeight(); ++y) {
        for (int x = 0; x < image->pixelWidth(); ++x) {
            uint32_t p = image->pixel(x, y);
            row[static_cast<size_t>(x) * 3] = static_cast<JSAMPLE>((p >> 16) & 0xff);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>((p >> 8) & 0xff);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(p & 0xff);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

// The share picture's background, 360 x 640 points: a light page with a white card and a pink
// band behind the white texts of the picture (the texts themselves are drawn by the app).
bool shareBackground(const std::string& folder) {
    gfx::BitmapContext c({360, 640}, kScale);
    c.drawLinearGradient({kLight, gfx::Color::rgb(255, 236, 240)}, {0, 1}, {0, 0}, {0, 640});
    c.setFillColor(gfx::Color::whiteColor());
    c.fillPath(gfx::Path::roundedRect({30, 170, 300, 310}, 16));
    c.setFillColor(kPink);
    c.fillRect({30, 236, 300, 74});
    c.setFillColor(kYellow);
    c.fillPath(gfx::Path::roundedRect({150, 120, 60, 8}, 4));
    c.setStrokeColor(kLine);
    c.setLineWidth(1);
    c.strokePath(gfx::Path::roundedRect({30.5, 170.5, 299, 309}, 16));
    return writeJpeg(c, folder + "/shared_bg@3x.jpg");
}

// A round profile icon of 70 x 70 points: a white head and shoulders on the given colour; the
// girl's has longer hair behind the head.
bool profileIcon(const std::string& path, const gfx::Color& colour, bool longHair) {
    gfx::BitmapContext c({70, 70}, kScale);
    c.setFillColor(colour);
    c.fillPath(gfx::Path::ellipse({0, 0, 70, 70}));
    c.save();
    c.clip(gfx::Path::ellipse({0, 0, 70, 70}));
    c.setFillColor(gfx::Color::whiteColor());
    if (longHair) {
        c.setFillColor(gfx::Color::white(1, 0.6));
        c.fillPath(gfx::Path::roundedRect({20, 14, 30, 36}, 14));
        c.setFillColor(gfx::Color::whiteColor());
    }
    c.fillPath(gfx::Path::ellipse({24, 14, 22, 24}));
    c.fillPath(gfx::Path::ellipse({12, 42, 46, 40}));
    c.restore();
    return writePng(c, path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quillora_asset_generator <output folder>\n";
        return 2;
    }
    std::string folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    bool ok = shareBackground(folder);
    ok = profileIcon(folder + "/shared_icon_boy@3x.png", kBlue, false) && ok;
    ok = profileIcon(folder + "/shared_icon_girl@3x.png", kPink, true) && ok;
    return ok ? 0 : 1;
}
