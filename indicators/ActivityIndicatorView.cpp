#include "indicators/ActivityIndicatorView.h"

#include <algorithm>
#include <cmath>

namespace indicators {
namespace {

struct Defaults {
    ActivityIndicatorType type = ActivityIndicatorType::ballSpinFadeLoader;
    gfx::Color color = gfx::Color::whiteColor();
    gfx::Color textColor = gfx::Color::whiteColor();
    double padding = 0;
    gfx::Size blockerSize{60, 60};
    long displayTimeThreshold = 0;
    long minimumDisplayTime = 0;
    std::optional<std::string> blockerMessage;
    double messageSpacing = 8;
    gfx::Font messageFont = gfx::Font::boldSystemFont(20);
    gfx::Color blockerBackgroundColor = gfx::Color::black().withAlpha(0.5);
    ActivityIndicatorView::FadeInHandler fadeIn = [](const std::shared_ptr<ui::View>& view) {
        view->setAlpha(0);
        ui::View::animate(0.25, [&] { view->setAlpha(1); });
    };
    ActivityIndicatorView::FadeOutHandler fadeOut = [](const std::shared_ptr<ui::View>& view,
                                                       std::function<void()> completion) {
        ui::View::animate(0.25, [&] { view->setAlpha(0); }, [completion = std::move(completion)](bool finished) {
            if (finished && completion) completion();
        });
    };
};

// Built once, also when several threads ask first; later use belongs on the main thread.
Defaults& defaults() {
    static Defaults* d = new Defaults; // kept for the life of the process
    return *d;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; };
        return lower(x) == lower(y);
    });
}

} // namespace

std::shared_ptr<ActivityIndicatorView> ActivityIndicatorView::initIndicatorView(gfx::Rect frame,
                                                                                std::optional<ActivityIndicatorType> type,
                                                                                std::optional<gfx::Color> color,
                                                                                std::optional<double> padding) {
    return core::make<ActivityIndicatorView>(frame, type, color, padding);
}

ActivityIndicatorView::ActivityIndicatorView(gfx::Rect frame, std::optional<ActivityIndicatorType> type,
                                             std::optional<gfx::Color> color, std::optional<double> padding)
    : View(frame),
      type_(type.value_or(defaultType())),
      color_(color.value_or(defaultColor())),
      padding_(padding.value_or(defaultPadding())) {}

void ActivityIndicatorView::init() {
    View::init();
    setHidden(true);
}

std::string ActivityIndicatorView::typeName() const { return std::string(caseName(type_)); }

void ActivityIndicatorView::setTypeName(std::string_view name) {
    for (auto type : allIndicatorTypes()) {
        if (equalsIgnoringCase(caseName(type), name)) {
            type_ = type;
            return;
        }
    }
}

void ActivityIndicatorView::setBounds(const gfx::Rect& r) {
    gfx::Rect old = bounds();
    View::setBounds(r);
    if (bounds() != old && isAnimating_) layoutAnimation();
}

void ActivityIndicatorView::startIndicator() {
    setHidden(false);
    isAnimating_ = true;
    layer()->setSpeed(1);
    layoutAnimation();
}

void ActivityIndicatorView::stopIndicator() {
    setHidden(true);
    isAnimating_ = false;
    layer()->setSublayers({});
}

void ActivityIndicatorView::layoutAnimation() {
    auto animation = makeIndicatorAnimation(type_);
    gfx::Rect f = frame();
    double side = std::min(std::fabs(f.width() - 2 * padding_), std::fabs(f.height() - 2 * padding_));
    layer()->setSublayers({});
    animation->buildAnimation(*layer(), {side, side}, color_);
}

ActivityIndicatorType ActivityIndicatorView::defaultType() { return defaults().type; }
void ActivityIndicatorView::setDefaultType(ActivityIndicatorType type) { defaults().type = type; }
gfx::Color ActivityIndicatorView::defaultColor() { return defaults().color; }
void ActivityIndicatorView::setDefaultColor(const gfx::Color& color) { defaults().color = color; }
gfx::Color ActivityIndicatorView::defaultTextColor() { return defaults().textColor; }
void ActivityIndicatorView::setDefaultTextColor(const gfx::Color& color) { defaults().textColor = color; }
double ActivityIndicatorView::defaultPadding() { return defaults().padding; }
void ActivityIndicatorView::setDefaultPadding(double padding) { defaults().padding = padding; }
gfx::Size ActivityIndicatorView::defaultBlockerSize() { return defaults().blockerSize; }
void ActivityIndicatorView::setDefaultBlockerSize(gfx::Size size) { defaults().blockerSize = size; }
long ActivityIndicatorView::defaultDisplayTimeThreshold() { return defaults().displayTimeThreshold; }
void ActivityIndicatorView::setDefaultDisplayTimeThreshold(long ms) { defaults().displayTimeThreshold = ms; }
long ActivityIndicatorView::defaultMinimumDisplayTime() { return defaults().minimumDisplayTime; }
void ActivityIndicatorView::setDefaultMinimumDisplayTime(long ms) { defaults().minimumDisplayTime = ms; }
std::optional<std::string> ActivityIndicatorView::defaultBlockerMessage() { return defaults().blockerMessage; }
void ActivityIndicatorView::setDefaultBlockerMessage(std::optional<std::string> message) {
    defaults().blockerMessage = std::move(message);
}
double ActivityIndicatorView::defaultMessageSpacing() { return defaults().messageSpacing; }
void ActivityIndicatorView::setDefaultMessageSpacing(double spacing) { defaults().messageSpacing = spacing; }
gfx::Font ActivityIndicatorView::defaultMessageFont() { return defaults().messageFont; }
void ActivityIndicatorView::setDefaultMessageFont(gfx::Font font) { defaults().messageFont = std::move(font); }
gfx::Color ActivityIndicatorView::defaultBlockerBackgroundColor() { return defaults().blockerBackgroundColor; }
void ActivityIndicatorView::setDefaultBlockerBackgroundColor(const gfx::Color& color) {
    defaults().blockerBackgroundColor = color;
}
ActivityIndicatorView::FadeInHandler ActivityIndicatorView::defaultFadeInAnimation() { return defaults().fadeIn; }
void ActivityIndicatorView::setDefaultFadeInAnimation(FadeInHandler handler) { defaults().fadeIn = std::move(handler); }
ActivityIndicatorView::FadeOutHandler ActivityIndicatorView::defaultFadeOutAnimation() { return defaults().fadeOut; }
void ActivityIndicatorView::setDefaultFadeOutAnimation(FadeOutHandler handler) {
    defaults().fadeOut = std::move(handler);
}

} // namespace indicators
