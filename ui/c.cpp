#include "ui/c.h"

#include "platform/core/Log.h"
#include "platform/core/TextConversions.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <mutex>

namespace kit {
namespace {

// The values made on first use. A mutex rather than one-time flags, so that a test can start
// again from a new window.
struct Shared {
    std::mutex mutex;
    std::shared_ptr<ui::Window> window;
    std::optional<gfx::Font> fonts[5];
};

Shared& shared() {
    static Shared* s = new Shared; // kept for the life of the process, like the window it holds
    return *s;
}

enum FontSlot { bold48, bold44, regular44, regular40, regular36 };

gfx::Font font(FontSlot slot, double designSize, gfx::Font::Weight weight) {
    {
        std::lock_guard lock(shared().mutex);
        if (auto& f = shared().fonts[slot]) return *f;
    }
    // Read outside the lock: shortSide() takes it too.
    double size = designSize * c::shortSide() / 1080;
    std::lock_guard lock(shared().mutex);
    auto& f = shared().fonts[slot];
    if (!f) f = gfx::Font{gfx::Font::systemFont(size).family, size, weight};
    return *f;
}

bool isHexDigit(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

bool isBusy(std::optional<int> state) { return state && *state != 1 && *state != 5; }

} // namespace

std::shared_ptr<ui::Window> c::window() {
    std::lock_guard lock(shared().mutex);
    // Only a window that exists is kept: asked before launch made one, the next use tries again.
    if (!shared().window) shared().window = ui::Application::shared().keyWindow();
    return shared().window;
}

double c::shortSide() {
    auto w = window();
    if (!w) return 0;
    auto size = w->frame().size;
    return size.height < size.width ? size.height : size.width;
}

double c::longSide() {
    auto w = window();
    if (!w) return 0;
    auto size = w->frame().size;
    return size.height < size.width ? size.width : size.height;
}

gfx::Font c::fontBold48() { return font(bold48, 48, gfx::Font::Weight::bold); }
gfx::Font c::fontBold44() { return font(bold44, 44, gfx::Font::Weight::bold); }
gfx::Font c::font44() { return font(regular44, 44, gfx::Font::Weight::regular); }
gfx::Font c::font40() { return font(regular40, 40, gfx::Font::Weight::regular); }
gfx::Font c::font36() { return font(regular36, 36, gfx::Font::Weight::regular); }

std::int64_t c::hexToInt(std::string_view text) {
    // Unsigned arithmetic: a long text wraps around instead of overflowing.
    std::uint64_t value = 0;
    for (char ch : text) {
        auto byte = static_cast<unsigned char>(ch);
        if (byte >= 'a' && byte <= 'z') byte = static_cast<unsigned char>(byte - 'a' + 'A');
        value = value * 16 + static_cast<std::uint64_t>(static_cast<std::int64_t>(byte >= 65 ? byte - 55 : byte - 48));
    }
    return static_cast<std::int64_t>(value);
}

gfx::Color c::colorFromHex(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '#') digits.remove_prefix(1);
    if (digits.size() != 6 || !std::all_of(digits.begin(), digits.end(), isHexDigit)) {
        core::log("Colour text \"" + core::logValue(text) + "\" is not six hexadecimal digits; using the fallback colour");
        return fallbackColor();
    }
    auto part = [&](size_t at) { return static_cast<double>(hexToInt(digits.substr(at, 2))) / 255.0; };
    return {part(0), part(2), part(4), 1};
}

bool c::isRefreshIdle(const RefreshStates* scrollView) {
    if (!scrollView) return true;
    if (isBusy(scrollView->footer)) return false;
    return !isBusy(scrollView->header);
}

std::optional<core::Value> c::valueAtKeyPath(const core::Dictionary& dictionary, const std::vector<std::string>& keys) {
    core::Value current(dictionary);
    for (const auto& key : keys) {
        const core::Value* found = current.dictionary()->find(key);
        if (!found) return std::nullopt;
        if (found->isDictionary()) {
            current = *found;
            continue;
        }
        if (found->isNumber() || found->isBool()) return core::Value(core::description(*found));
        return *found;
    }
    return current;
}

void c::resetForTesting() {
    std::lock_guard lock(shared().mutex);
    shared().window.reset();
    for (auto& f : shared().fonts) f.reset();
}

} // namespace kit
