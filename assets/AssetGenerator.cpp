// Draws the app's pictures with our own gfx drawing and writes them, at 3x, into a resource
// folder. The build runs it, so the pictures are always reproducible from this source.
//
// Usage: quillora_asset_generator <output folder>

#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/Path.h"

#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr double kScale = 3;

// The palette of the app's shared look.
constexpr gfx::Color kPink = gfx::Color::rgb(255, 91, 120);
constexpr gfx::Color kBlue = gfx::Color::rgb(0, 183, 238);
constexpr gfx::Color kYellow = gfx::Color::rgb(250, 213, 77);
constexpr gfx::Color kLight = gfx::Color::rgb(245, 245, 245);
constexpr gfx::Color kLine = gfx::Color::rgb(229, 229, 229);
constexpr gfx::Color kEmpty = gfx::Color::rgb(204, 204, 204);
constexpr gfx::Color kMid = gfx::Color::rgb(153, 153, 153);
constexpr gfx::Color kText = gfx::Color::rgb(51, 51, 51);
constexpr gfx::Color kBody = gfx::Color::rgb(102, 102, 102);

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

// A round profile picture of `side` points: a head and shoulders in `figure` on a `ground` circle,
// drawn on a 70-point grid and scaled to the side; the girl's has longer hair behind the head.
bool profileIcon(const std::string& path, double side, const gfx::Color& ground, const gfx::Color& figure,
                 bool longHair) {
    gfx::BitmapContext c({side, side}, kScale);
    c.scale(side / 70, side / 70);
    c.setFillColor(ground);
    c.fillPath(gfx::Path::ellipse({0, 0, 70, 70}));
    c.save();
    c.clip(gfx::Path::ellipse({0, 0, 70, 70}));
    if (longHair) {
        c.setFillColor(figure.withAlpha(0.6));
        c.fillPath(gfx::Path::roundedRect({20, 14, 30, 36}, 14));
    }
    c.setFillColor(figure);
    c.fillPath(gfx::Path::ellipse({24, 14, 22, 24}));
    c.fillPath(gfx::Path::ellipse({12, 42, 46, 40}));
    c.restore();
    return writePng(c, path);
}

// A stroked line through the points, with round ends and joins.
void strokeLine(gfx::BitmapContext& c, std::initializer_list<gfx::Point> points, const gfx::Color& colour,
                double width) {
    gfx::Path path;
    bool first = true;
    for (auto p : points) {
        if (first) path.moveTo(p); else path.lineTo(p);
        first = false;
    }
    c.setStrokeColor(colour);
    c.setLineWidth(width);
    c.setLineCap(gfx::Context::LineCap::round);
    c.setLineJoin(gfx::Context::LineJoin::round);
    c.strokePath(path);
}

// The empty-state picture, 140 x 140 points: an empty chat bubble with three quiet dots, in the
// light greys of the empty panel.
bool noData(const std::string& path) {
    gfx::BitmapContext c({140, 140}, kScale);
    c.setFillColor(kLine);
    c.fillPath(gfx::Path::ellipse({20, 112, 100, 14}));
    gfx::Path bubble = gfx::Path::roundedRect({22, 26, 96, 70}, 16);
    bubble.moveTo({44, 95});
    bubble.lineTo({38, 112});
    bubble.lineTo({62, 95});
    bubble.close();
    c.setFillColor(gfx::Color::whiteColor());
    c.fillPath(bubble);
    c.setStrokeColor(kEmpty);
    c.setLineWidth(3);
    c.setLineJoin(gfx::Context::LineJoin::round);
    c.strokePath(bubble);
    c.setFillColor(kEmpty);
    for (double x : {50.0, 70.0, 90.0}) c.fillPath(gfx::Path::ellipse({x - 5, 56, 10, 10}));
    return writePng(c, path);
}

// A right-pointing chevron of 6 x 11 points for rows that open something.
bool rightArrow(const std::string& path) {
    gfx::BitmapContext c({6, 11}, kScale);
    strokeLine(c, {{1, 1}, {5, 5.5}, {1, 10}}, kMid, 1.5);
    return writePng(c, path);
}

// The back button of the pages' own bar, 40 x 40 points: a left chevron in the title colour.
bool backButton(const std::string& path) {
    gfx::BitmapContext c({40, 40}, kScale);
    strokeLine(c, {{24, 11}, {15, 20}, {24, 29}}, kText, 2.5);
    return writePng(c, path);
}

// The search bar's magnifier, 19 x 21 points, in the bar's text colour.
bool searchIcon(const std::string& path) {
    gfx::BitmapContext c({19, 21}, kScale);
    c.setStrokeColor(kBody);
    c.setLineWidth(2);
    c.strokePath(gfx::Path::ellipse({2, 3, 12, 12}));
    strokeLine(c, {{12.5, 13.5}, {17, 18}}, kBody, 2.5);
    return writePng(c, path);
}

// The answer row's copy button, two overlapping rounded sheets in the highlight pink. The row
// centres it unscaled on a 120-point canvas at scale 1, so its pixel size is its size on screen:
// 7 points at 3x give 21 points, half the button on a phone.
bool copyIcon(const std::string& path) {
    gfx::BitmapContext c({7, 7}, kScale);
    c.setStrokeColor(kPink);
    c.setLineWidth(0.6);
    c.strokePath(gfx::Path::roundedRect({0.4, 0.4, 4.2, 4.2}, 0.8));
    gfx::Path front = gfx::Path::roundedRect({2.4, 2.4, 4.2, 4.2}, 0.8);
    c.setFillColor(gfx::Color::whiteColor());
    c.fillPath(front);
    c.strokePath(front);
    return writePng(c, path);
}

// The search history's row icon, 14 x 14 points: a clock face in the history rows' light grey.
bool historyIcon(const std::string& path) {
    gfx::BitmapContext c({14, 14}, kScale);
    c.setStrokeColor(kEmpty);
    c.setLineWidth(1.2);
    c.strokePath(gfx::Path::ellipse({1, 1, 12, 12}));
    strokeLine(c, {{7, 3.8}, {7, 7}, {9.4, 8.6}}, kEmpty, 1.2);
    return writePng(c, path);
}

// The history row's arrow, 20 x 20 points: a small chevron in the middle, in the same grey.
bool historyArrow(const std::string& path) {
    gfx::BitmapContext c({20, 20}, kScale);
    strokeLine(c, {{8.5, 6}, {12.5, 10}, {8.5, 14}}, kEmpty, 1.4);
    return writePng(c, path);
}

// The home page's top banner, 998 x 89 pixels (its design size; the page stretches it over its
// 998u x 89u frame): a capsule fading from a light pink to a light yellow, two chat bubbles on the
// left and a row of small hearts on the right, in white.
bool homeBanner(const std::string& path) {
    const double w = 998.0 / kScale, h = 89.0 / kScale;
    gfx::BitmapContext c({w, h}, kScale);
    const gfx::Path capsule = gfx::Path::roundedRect({0, 0, w, h}, h / 2);
    c.save();
    c.clip(capsule);
    c.drawLinearGradient({gfx::Color::rgb(255, 214, 222), gfx::Color::rgb(254, 240, 196)}, {0, 1}, {0, 0}, {w, 0});
    c.restore();
    c.setFillColor(gfx::Color::white(1, 0.9));
    // Two overlapping bubbles, each with its tail.
    for (auto [x, y, bw] : {std::tuple{14.0, 6.0, 22.0}, std::tuple{28.0, 11.0, 18.0}}) {
        const double bh = bw * 0.6;
        gfx::Path bubble = gfx::Path::roundedRect({x, y, bw, bh}, bh / 2);
        bubble.moveTo({x + bw * 0.25, y + bh - 1});
        bubble.lineTo({x + bw * 0.18, y + bh + 3});
        bubble.lineTo({x + bw * 0.45, y + bh - 1});
        bubble.close();
        c.fillPath(bubble);
    }
    c.setFillColor(kPink.withAlpha(0.55));
    for (double x : {20.0, 25.0, 30.0}) c.fillPath(gfx::Path::ellipse({x - 1, 12, 2, 2}));
    // Hearts growing towards the right end.
    const double sizes[] = {4, 5.5, 7};
    double x = w - 52;
    for (double size : sizes) {
        const double top = h / 2 - size / 2;
        gfx::Path heart;
        heart.moveTo({x + size / 2, top + size});
        heart.curveTo({x - size * 0.1, top + size * 0.55}, {x + size * 0.05, top - size * 0.1}, {x + size / 2, top + size * 0.28});
        heart.curveTo({x + size * 0.95, top - size * 0.1}, {x + size * 1.1, top + size * 0.55}, {x + size / 2, top + size});
        heart.close();
        c.setFillColor(gfx::Color::white(1, 0.95));
        c.fillPath(heart);
        x += size + 6;
    }
    return writePng(c, path);
}

// The history header's delete button, 20 x 20 points: a bin in the history's grey. The header
// centres it unscaled on a 100-point canvas that it stretches over the 100u button, so the bin
// takes 60u of the button.
bool historyDelete(const std::string& path) {
    gfx::BitmapContext c({20, 20}, kScale);
    strokeLine(c, {{3.5, 5}, {16.5, 5}}, kMid, 1.4);
    strokeLine(c, {{8, 5}, {8.6, 2.8}, {11.4, 2.8}, {12, 5}}, kMid, 1.2);
    strokeLine(c, {{5, 7}, {5.8, 17}, {14.2, 17}, {15, 7}}, kMid, 1.4);
    strokeLine(c, {{8.4, 9}, {8.6, 14.5}}, kMid, 1.1);
    strokeLine(c, {{11.6, 9}, {11.4, 14.5}}, kMid, 1.1);
    return writePng(c, path);
}

// Glyphs for the bar buttons, 8 points square at 3x. The pages centre them unscaled on a
// 120-point canvas at scale 1, so 24 pixels show as 24 points: the side-menu button's three lines
// and the profile page's "more" dots, in the title colour.
bool menuGlyph(const std::string& path) {
    gfx::BitmapContext c({8, 8}, kScale);
    for (double y : {1.5, 4.0, 6.5}) strokeLine(c, {{0.8, y}, {7.2, y}}, kText, 0.8);
    return writePng(c, path);
}

bool moreGlyph(const std::string& path) {
    gfx::BitmapContext c({8, 8}, kScale);
    c.setFillColor(kText);
    for (double x : {1.2, 4.0, 6.8}) c.fillPath(gfx::Path::ellipse({x - 0.9, 3.1, 1.8, 1.8}));
    return writePng(c, path);
}

// The script-bridge page's back chevron, 30 points square (its image view's size), white on
// nothing: the presenter gives the bar a dark colour.
bool returnChevron(const std::string& path) {
    gfx::BitmapContext c({30, 30}, kScale);
    strokeLine(c, {{18.5, 7.5}, {11, 15}, {18.5, 22.5}}, gfx::Color::whiteColor(), 2.2);
    return writePng(c, path);
}

// The side menu's row icons, 14 x 14 points (40u on a 3x phone), outlined in the title colour:
// a house, a heart and an information circle.
enum class MenuIcon { home, like, about };
bool menuIcon(const std::string& path, MenuIcon kind) {
    gfx::BitmapContext c({14, 14}, kScale);
    switch (kind) {
    case MenuIcon::home:
        strokeLine(c, {{1.5, 7}, {7, 2}, {12.5, 7}}, kText, 1.2);
        strokeLine(c, {{3.2, 5.8}, {3.2, 12.4}, {10.8, 12.4}, {10.8, 5.8}}, kText, 1.2);
        strokeLine(c, {{5.9, 12.4}, {5.9, 9}, {8.1, 9}, {8.1, 12.4}}, kText, 1.1);
        break;
    case MenuIcon::like: {
        gfx::Path heart;
        heart.moveTo({7, 12.2});
        heart.curveTo({0.6, 7.8}, {1.4, 2}, {7, 4.4});
        heart.curveTo({12.6, 2}, {13.4, 7.8}, {7, 12.2});
        heart.close();
        c.setStrokeColor(kText);
        c.setLineWidth(1.2);
        c.setLineJoin(gfx::Context::LineJoin::round);
        c.strokePath(heart);
        break;
    }
    case MenuIcon::about:
        c.setStrokeColor(kText);
        c.setLineWidth(1.2);
        c.strokePath(gfx::Path::ellipse({1.5, 1.5, 11, 11}));
        c.setFillColor(kText);
        c.fillPath(gfx::Path::ellipse({6.3, 3.8, 1.4, 1.4}));
        strokeLine(c, {{7, 6.6}, {7, 10.2}}, kText, 1.2);
        break;
    }
    return writePng(c, path);
}

// The HUD's icons, 30 x 30 points, in white (for the dark panel) or near-black ("_dark", for the
// light panels): a circle with an "i", a tick or a cross.
enum class HudIcon { info, success, failure };
bool hudIcon(const std::string& path, HudIcon kind, const gfx::Color& colour) {
    gfx::BitmapContext c({30, 30}, kScale);
    c.setStrokeColor(colour);
    c.setLineWidth(2);
    c.strokePath(gfx::Path::ellipse({2, 2, 26, 26}));
    switch (kind) {
    case HudIcon::info:
        c.setFillColor(colour);
        c.fillPath(gfx::Path::ellipse({13.5, 7.5, 3, 3}));
        strokeLine(c, {{15, 13.5}, {15, 22}}, colour, 2.5);
        break;
    case HudIcon::success:
        strokeLine(c, {{9, 15.5}, {13.5, 20}, {21.5, 11}}, colour, 2.5);
        break;
    case HudIcon::failure:
        strokeLine(c, {{10.5, 10.5}, {19.5, 19.5}}, colour, 2.5);
        strokeLine(c, {{19.5, 10.5}, {10.5, 19.5}}, colour, 2.5);
        break;
    }
    return writePng(c, path);
}

enum class Arrow { up, down, left, right };

// The input toolbar's previous and next arrows, 24 x 24 points: a chevron in the system blue,
// pointing up and down (and left and right for older systems).
bool keyboardArrow(const std::string& path, Arrow direction) {
    gfx::BitmapContext c({24, 24}, kScale);
    const gfx::Color blue = gfx::Color::rgb(0, 122, 255);
    switch (direction) {
    case Arrow::up: strokeLine(c, {{5, 16}, {12, 9}, {19, 16}}, blue, 2.5); break;
    case Arrow::down: strokeLine(c, {{5, 8}, {12, 15}, {19, 8}}, blue, 2.5); break;
    case Arrow::left: strokeLine(c, {{16, 5}, {9, 12}, {16, 19}}, blue, 2.5); break;
    case Arrow::right: strokeLine(c, {{8, 5}, {15, 12}, {8, 19}}, blue, 2.5); break;
    }
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
    ok = profileIcon(folder + "/shared_icon_boy@3x.png", 70, kBlue, gfx::Color::whiteColor(), false) && ok;
    ok = profileIcon(folder + "/shared_icon_girl@3x.png", 70, kPink, gfx::Color::whiteColor(), true) && ok;
    ok = noData(folder + "/common_no_data@3x.png") && ok;
    ok = rightArrow(folder + "/tcommon_icon_right_arrow@3x.png") && ok;
    ok = backButton(folder + "/common_btn_back@3x.png") && ok;
    ok = searchIcon(folder + "/common_btn_search@3x.png") && ok;
    ok = copyIcon(folder + "/main_btn_copy@3x.png") && ok;
    ok = historyIcon(folder + "/discover_search_history@3x.png") && ok;
    ok = historyArrow(folder + "/discover_search_history_right_arrow@3x.png") && ok;
    ok = homeBanner(folder + "/main_img_bg@3x.png") && ok;
    ok = historyDelete(folder + "/discover_search_history_del@3x.png") && ok;
    ok = menuGlyph(folder + "/common_btn_left_slide@3x.png") && ok;
    ok = moreGlyph(folder + "/tpersonal_right_btn_more@3x.png") && ok;
    ok = returnChevron(folder + "/NavButtonReturn_icon@3x.png") && ok;
    ok = menuIcon(folder + "/common_home@3x.png", MenuIcon::home) && ok;
    ok = menuIcon(folder + "/common_like@3x.png", MenuIcon::like) && ok;
    ok = menuIcon(folder + "/common_aboutus@3x.png", MenuIcon::about) && ok;
    // The default profile picture, 150u on a 3x phone: a neutral figure on a light circle.
    ok = profileIcon(folder + "/common_img_head_default@3x.png", 50, kLine, kEmpty, false) && ok;
    const std::string hud = folder + "/HUDProgressIndicator.bundle";
    std::filesystem::create_directories(hud, error);
    const gfx::Color dark = gfx::Color::rgb(0, 0, 0);
    for (auto [kind, name] : {std::pair{HudIcon::info, "hud_info"}, std::pair{HudIcon::success, "hud_success"},
                              std::pair{HudIcon::failure, "hud_failure"}}) {
        ok = hudIcon(hud + "/" + name + "@3x.png", kind, gfx::Color::whiteColor()) && ok;
        ok = hudIcon(hud + "/" + name + "_dark@3x.png", kind, dark) && ok;
    }
    // The image the HUD's icon view holds before its first show, from the program's resources.
    ok = hudIcon(folder + "/hud_info@3x.png", HudIcon::info, dark) && ok;
    const std::string arrows = folder + "/KBKeyboardManager.bundle";
    std::filesystem::create_directories(arrows, error);
    for (auto [direction, name] : {std::pair{Arrow::up, "KBButtonBarArrowUp"}, std::pair{Arrow::down, "KBButtonBarArrowDown"},
                                   std::pair{Arrow::left, "KBButtonBarArrowLeft"}, std::pair{Arrow::right, "KBButtonBarArrowRight"}})
        ok = keyboardArrow(arrows + "/" + name + "@3x.png", direction) && ok;
    return ok ? 0 : 1;
}
