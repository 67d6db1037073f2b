#pragma once
// Small class-level operations of the app kit: bar heights, the notched-screen insets, the store
// links of the rating prompt, image helpers (centring, scaling, gradients, the share picture) and
// text measures. Nothing here reports a failure: an image that cannot be made is null, a missing
// text counts 0. Main thread, like the views that use them.
#include "platform/gfx/Color.h"
#include "platform/gfx/Image.h"
#include "platform/gfx/Rect.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ui {
class TableView;
}

namespace kit {

class Utility {
public:
    // The largest tab-bar (navigation-bar) height seen so far, 0 at first. The argument is the
    // height of the bar of the controller's tab-bar (navigation) controller, absent when the
    // controller has none; a smaller height never lowers the kept one.
    static double getTabBarHeight(std::optional<double> tabBarHeight);
    static double getNavBarHeight(std::optional<double> navigationBarHeight);

    // The store link for the app with this store id, chosen by the system version: the review
    // form from 11, the review list from 6, else the app's page.
    static std::string getAppStoreURL(std::string_view appId);

    // Display widths: 1 per UTF-16 unit below 128, 2 for every other unit.
    static std::int32_t convertToByte(std::string_view text);
    static std::int32_t convertToInt(std::string_view text);
    // True for the empty text and for any text that is not pure ASCII.
    static bool isChinese(std::string_view text);

    // Bottom inset and status-bar height: 34 and 44 on a notched phone (a main screen of 1125 x
    // 2436, 828 x 1792 or 1242 x 2688 pixels that is not a pad), else 0 and 20.
    static double k_Height_TabBarBottom();
    static double k_status_bar_height();

    // The image drawn at its pixel size, centred in a canvas of `size` at scale 1 (cropped evenly
    // when larger). Null for an empty canvas.
    static gfx::ImagePtr imageForToRectCenter(gfx::Size size, const gfx::ImagePtr& image);
    // The image stretched to `size` at scale 1.
    static gfx::ImagePtr imageCompressWithSimple(const gfx::ImagePtr& image, gfx::Size size);
    // A horizontal gradient from `from` to `to` over three times the rect's size, clipped to a
    // capsule (radius: half the height) when `corner` is set (the default). A rect narrower than
    // one point gives an empty image.
    static gfx::ImagePtr imageFromRect(const gfx::Rect& rect, const gfx::Color& from, const gfx::Color& to,
                                       bool corner = true);
    // The 1080 x 1920 share picture: background, the boy's icon for sex 1 (else the girl's) and
    // five texts in their fixed places.
    static gfx::ImagePtr genShareImage(std::string_view text, std::string_view toneArea, std::string_view over,
                                       std::string_view tone, std::string_view comment, std::int64_t sex);

    // A clear, empty view becomes the table's header and footer, so that no separator lines show
    // below the last row.
    static void setExtraCellLineHidden(ui::TableView& tableView);

    static bool isSimulator() { return false; }
    // The desktop has no shared audio session to route; there is nothing to reset.
    static bool resetSession() { return true; }
};

} // namespace kit
