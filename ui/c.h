#pragma once
// The app's shared look: the key window and its sides, the fonts that scale with the screen, the
// fixed palette, colours from the service's hexadecimal texts, and two lookups the service client
// relies on (the refresh-idle test and a value by a path of keys).
//
// The window is taken from the application when it is first asked for; each font reads the
// window's short side when it is first used and keeps that size for the life of the process, so
// the window must exist before any font is asked for. The first use of each value is safe from
// any thread; everything else here belongs on the main thread like all view code.
#include "platform/core/Value.h"
#include "platform/gfx/Color.h"
#include "platform/gfx/Font.h"
#include "ui/RefreshStates.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {
class Window;
}

namespace kit {

class c {
public:
    // The application's key window, taken on first use and kept.
    static std::shared_ptr<ui::Window> window();
    // The smaller and the larger side of the window's frame (0 without a window).
    static double shortSide();
    static double longSide();
    // One design pixel of a 1080-wide screen, in points: shortSide / 1080.
    static double unit() { return shortSide() / 1080; }

    // System fonts whose size is design pixels of a 1080-wide screen times shortSide / 1080.
    static gfx::Font fontBold48();
    static gfx::Font fontBold44();
    static gfx::Font font44();
    static gfx::Font font40();
    static gfx::Font font36();

    static constexpr gfx::Color color333333() { return gfx::Color::rgb(51, 51, 51); }
    static constexpr gfx::Color color4D4D4D() { return gfx::Color::rgb(77, 77, 77); }
    static constexpr gfx::Color color666666() { return gfx::Color::rgb(102, 102, 102); }
    static constexpr gfx::Color color999999() { return gfx::Color::rgb(153, 153, 153); }
    static constexpr gfx::Color colorFFFFFF() { return gfx::Color::rgb(255, 255, 255); }
    static constexpr gfx::Color colorFF5B78() { return gfx::Color::rgb(255, 91, 120); }
    static constexpr gfx::Color color13B5B1() { return gfx::Color::rgb(19, 181, 177); }
    static constexpr gfx::Color color00B7EE() { return gfx::Color::rgb(0, 183, 238); }
    static constexpr gfx::Color colorCCCCCC() { return gfx::Color::rgb(204, 204, 204); }
    static constexpr gfx::Color colorF5F5F5() { return gfx::Color::rgb(245, 245, 245); }
    static constexpr gfx::Color colorE5E5E5() { return gfx::Color::rgb(229, 229, 229); }
    static constexpr gfx::Color color666666Alpha02() { return gfx::Color::rgb(102, 102, 102, 0.2); }
    static constexpr gfx::Color colorFAD54D() { return gfx::Color::rgb(250, 213, 77); }

    // The colour a text that is not six hexadecimal digits gives: the palette's mid grey, so a
    // bad colour from the service shows as a plain tag instead of stopping the app.
    static constexpr gfx::Color fallbackColor() { return color999999(); }

    // Upper-cases the text, then for each UTF-8 byte b: value = value * 16 + (b >= 'A' ? b - 55
    // : b - 48). Nothing is validated; the callers pass two hexadecimal characters.
    static std::int64_t hexToInt(std::string_view text);
    // Red, green and blue from six hexadecimal digits, with or without a leading "#"; any other
    // text gives fallbackColor().
    static gfx::Color colorFromHex(std::string_view text);

    // Whether no pull-to-refresh control of a scroll view is busy. A missing scroll view, or one
    // without controls, is idle. The footer is asked first; idle (1) and no-more-data (5) count
    // as not busy.
    static bool isRefreshIdle(const RefreshStates* scrollView);

    // Walks the keys from `dictionary`: a dictionary found under a key is searched for the next
    // key (and is the result after the last); any other value ends the walk at once and is the
    // result, a number (or boolean) as its text form. A missing key gives nothing; an empty path
    // gives the dictionary itself.
    // The markup that shows searched words in the highlight colour. The caller marks each found
    // word as ":-:rrrr<word>:-:" (having written every ":" of its text as "：："); every piece
    // between ":-:" becomes one markup segment of size 36, the pieces that start with "rrrr" in
    // FF5B78 (without those four characters), the others in 999999. Text that itself holds the
    // markup's separators does not come through intact; KeywordHighlighter builds the same
    // highlighted text straight from the search matches.
    static std::string highlightMarkup(std::string_view text);

    static std::optional<core::Value> valueAtKeyPath(const core::Dictionary& dictionary,
                                                     const std::vector<std::string>& keys);

    // Forgets the window and the fonts made from it, so that a test can start from a new window.
    static void resetForTesting();
};

} // namespace kit
