#include "ui/Utility.h"

#include "platform/core/ProcessInfo.h"
#include "platform/core/TextConversions.h"
#include "platform/core/Utf16.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/Path.h"
#include "platform/gfx/TextLayout.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"

#include <algorithm>
#include <cmath>

#ifndef QUILLORA_STORE_HOST
#define QUILLORA_STORE_HOST "store.quillora.example"
#endif

namespace kit {

// A view lives in one place of the tree, so the header and the footer get an empty view each.
void Utility::setExtraCellLineHidden(ui::TableView& tableView) {
    for (bool footer : {true, false}) {
        auto view = core::make<ui::View>();
        view->setBackgroundColor(gfx::Color::clear());
        if (footer) tableView.setTableFooterView(view); else tableView.setTableHeaderView(view);
    }
}

namespace {

double keepLargest(double& kept, std::optional<double> height) {
    if (height && *height > kept) kept = *height;
    return kept;
}

std::string withId(std::string form, std::string_view id) {
    auto at = form.find("%@");
    if (at != std::string::npos) form.replace(at, 2, id);
    return form;
}

bool isNotched() {
    const auto& screen = ui::Screen::main();
    if (screen.idiom() == ui::UserInterfaceIdiom::pad) return false;
    auto px = screen.currentModeSize();
    const gfx::Size notched[] = {{1125, 2436}, {828, 1792}, {1242, 2688}};
    return std::any_of(std::begin(notched), std::end(notched),
                       [&](gfx::Size s) { return s.width == px.width && s.height == px.height; });
}

bool isCanvas(gfx::Size size) { return std::lround(size.width) >= 1 && std::lround(size.height) >= 1; }

void drawText(gfx::Context& context, std::string_view text, const gfx::Font& font, const gfx::Color& color,
              const gfx::Rect& rect) {
    gfx::TextLayout layout;
    layout.setText(std::string(text));
    layout.setFont(font);
    layout.setLineBreak(gfx::TextLayout::LineBreak::wordWrap);
    layout.setMaximumLines(0);
    layout.setWidth(rect.width());
    layout.setHeight(rect.height());
    layout.draw(context, rect.origin, color);
}

} // namespace

double Utility::getTabBarHeight(std::optional<double> tabBarHeight) {
    static double kept = 0;
    return keepLargest(kept, tabBarHeight);
}

double Utility::getNavBarHeight(std::optional<double> navigationBarHeight) {
    static double kept = 0;
    return keepLargest(kept, navigationBarHeight);
}

std::string Utility::getAppStoreURL(std::string_view appId) {
    auto v = core::ProcessInfo::operatingSystemVersion();
    // The version text is read as a single-precision number, so "10.3.1" counts as 10.3.
    std::string text = std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
    auto version = static_cast<float>(core::doubleValue(text));
    const std::string host = QUILLORA_STORE_HOST;
    if (version >= 11.0f) return withId("https://" + host + "/cn/app/id%@?mt=8&action=write-review", appId);
    if (version >= 6.0f)
        return withId("http://" + host +
                          "/WebObjects/MZStore.woa/wa/viewContentsUserReviews?id=%@&pageNumber=0&sortOrdering=2"
                          "&type=Purple+Software&mt=8",
                      appId);
    return withId("https://" + host + "/cn/app/id%@?mt=8", appId);
}

std::int32_t Utility::convertToByte(std::string_view text) {
    std::int32_t count = 0;
    for (char16_t unit : core::utf16::fromUtf8(text)) count += unit < 128 ? 1 : 2;
    return count;
}

std::int32_t Utility::convertToInt(std::string_view text) {
    // Each unit alone is "Chinese" exactly when it is not ASCII, so this counts like convertToByte.
    std::int32_t count = 0;
    for (char16_t unit : core::utf16::fromUtf8(text)) count += 1 + (unit < 128 ? 0 : 1);
    return count;
}

bool Utility::isChinese(std::string_view text) {
    if (text.empty()) return true;
    return std::any_of(text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 128; });
}

double Utility::k_Height_TabBarBottom() { return isNotched() ? 34 : 0; }
double Utility::k_status_bar_height() { return isNotched() ? 44 : 20; }

gfx::ImagePtr Utility::imageForToRectCenter(gfx::Size size, const gfx::ImagePtr& image) {
    if (!isCanvas(size)) return nullptr;
    gfx::BitmapContext context(size, 1);
    if (image) {
        double w = image->size().width * image->scale(), h = image->size().height * image->scale();
        context.drawImage(*image, {(size.width - w) / 2, (size.height - h) / 2, w, h});
    }
    return context.makeImage();
}

gfx::ImagePtr Utility::imageCompressWithSimple(const gfx::ImagePtr& image, gfx::Size size) {
    if (!isCanvas(size)) return nullptr;
    gfx::BitmapContext context(size, 1);
    if (image) context.drawImage(*image, {0, 0, size.width, size.height});
    return context.makeImage();
}

gfx::ImagePtr Utility::imageFromRect(const gfx::Rect& rect, const gfx::Color& from, const gfx::Color& to,
                                     bool corner) {
    if (rect.width() < 1) return std::make_shared<const gfx::Image>(0, 0, 1, std::vector<uint32_t>{});
    double w = 3 * rect.width(), h = 3 * rect.height();
    if (!isCanvas({w, h})) return nullptr;
    gfx::BitmapContext context({w, h}, 1);
    if (corner) context.clip(gfx::Path::roundedRect({rect.x(), rect.y(), w, h}, h / 2));
    context.drawLinearGradient({from, to}, {0, 1}, {0, 0}, {w, 0});
    return context.makeImage();
}

gfx::ImagePtr Utility::genShareImage(std::string_view text, std::string_view toneArea, std::string_view over,
                                     std::string_view tone, std::string_view comment, std::int64_t sex) {
    gfx::BitmapContext context({1080, 1920}, 1);
    if (auto bg = gfx::Image::named("shared_bg.jpg")) context.drawImage(*bg, {0, 0, 1080, 1920});
    if (auto icon = gfx::Image::named(sex == 1 ? "shared_icon_boy.png" : "shared_icon_girl.png"))
        context.drawImage(*icon, {136, 570, 210, 210});
    drawText(context, text, gfx::Font::boldSystemFont(60), gfx::Color::rgb(83, 83, 83), {380, 570, 490, 72});
    drawText(context, toneArea, gfx::Font::systemFont(44), gfx::Color::rgb(244, 98, 82), {380, 646, 490, 72});
    drawText(context, over, gfx::Font::systemFont(36), gfx::Color::whiteColor(), {380, 718, 332, 48});
    drawText(context, tone, gfx::Font::boldSystemFont(48), gfx::Color::whiteColor(), {183, 843, 644, 61});
    drawText(context, comment, gfx::Font::boldSystemFont(40), gfx::Color::rgb(74, 82, 97), {167, 1015, 692, 373});
    return context.makeImage();
}

} // namespace kit
