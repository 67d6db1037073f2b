#include "platform/ui/Keyboard.h"

#include "platform/core/NotificationCenter.h"
#include "platform/ui/InputAccessory.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ui {
namespace {

core::Value rectValue(const gfx::Rect& r) { return core::Array{r.x(), r.y(), r.width(), r.height()}; }

constexpr gfx::Color kKeysColor = gfx::Color::rgb(209, 212, 217);
constexpr gfx::Color kDarkKeysColor = gfx::Color::rgb(43, 43, 45);

// The strip that shows the keyboard: the accessory on top, the keys' panel below.
class KeyboardView : public View {
public:
    using View::View;
    std::optional<std::string> dumpText() const override { return std::string("keyboard"); }
};

// The accessory of the focused view: its own, else that of the nearest input around it that has
// one (a search bar's field takes the bar's).
std::shared_ptr<View> accessoryFor(const std::shared_ptr<View>& focused) {
    for (auto v = focused; v; v = v->superview())
        if (auto* host = v->inputAccessoryHost(); host && host->inputAccessoryView())
            return host->inputAccessoryView();
    return nullptr;
}

} // namespace

Keyboard& Keyboard::shared() {
    static Keyboard keyboard;
    return keyboard;
}

TextInput* Keyboard::focusedInput() const {
    auto view = focused_.lock();
    return view ? dynamic_cast<TextInput*>(view.get()) : nullptr;
}

gfx::Rect Keyboard::frame() const {
    if (visible_) return frame_;
    gfx::Rect screen = Screen::main().bounds();
    return {0, screen.height(), screen.width(), 0};
}

void Keyboard::setSimulatesOnScreenKeyboard(bool simulates) {
    simulated_ = simulates;
    height_ = simulates ? onScreenHeight(Screen::main().idiom()) : 0;
    reloadInputViews();
}

Keyboard::FocusChange::FocusChange() { ++Keyboard::shared().holds_; }
Keyboard::FocusChange::~FocusChange() {
    auto& keyboard = Keyboard::shared();
    if (--keyboard.holds_ == 0) keyboard.update();
}

void Keyboard::reloadInputViews() { update(); }

const std::shared_ptr<View>& Keyboard::keyboardView() {
    if (!keyboardView_) {
        keyboardView_ = core::make<KeyboardView>(frame());
        keyboardView_->setBackgroundColor(kKeysColor);
    }
    return keyboardView_;
}

void Keyboard::keepOnTop(View& window) {
    if (!keyboardView_ || keyboardView_->superview().get() != &window) return;
    if (window.subviews().back() != keyboardView_) window.bringSubviewToFront(keyboardView_);
}

void Keyboard::update() {
    if (holds_ > 0) return;
    auto view = focused_.lock();
    bool show = view && dynamic_cast<TextInput*>(view.get());
    auto accessory = show ? accessoryFor(view) : nullptr;
    gfx::Rect screen = Screen::main().bounds();
    double h = show ? height_ + (accessory ? accessory->frame().height() : 0) : 0;
    gfx::Rect end{0, screen.height() - h, screen.width(), h};
    bool moves = show != visible_ || (show && end != frame_);
    if (show) {
        place(accessory);
        auto& kv = keyboardView();
        auto* host = view->inputAccessoryHost();
        kv->setBackgroundColor(host && host->keyboardAppearance() == KeyboardAppearance::dark ? kDarkKeysColor : kKeysColor);
        if (auto window = view->window(); window && kv->superview() != window) {
            kv->setFrame(frame());
            window->addSubview(kv);
        }
    }
    if (!moves) return;
    post(show, end);
    auto kv = keyboardView();
    View::animate(kAnimationDuration, 0, animationBeginFromCurrentState, [&] { kv->setFrame(show ? end : frame()); },
                  [kv](bool) {
                      if (!Keyboard::shared().visible_) kv->removeFromSuperview();
                  });
}

void Keyboard::place(const std::shared_ptr<View>& accessory) {
    auto& kv = keyboardView();
    auto old = accessory_.lock();
    if (old && old != accessory && old->superview() == kv) old->removeFromSuperview();
    accessory_ = accessory;
    if (!accessory) return;
    double w = Screen::main().bounds().width();
    accessory->setFrame({0, 0, w, accessory->frame().height()});
    accessory->setAutoresizingMask(autoresizingFlexibleWidth);
    if (accessory->superview() != kv) kv->addSubview(accessory);
}

gfx::Rect Keyboard::frameFromUserInfo(const core::Dictionary& userInfo, const char* key) {
    const core::Value* v = userInfo.find(key);
    if (!v || !v->isArray() || v->asArray().size() != 4) return {};
    const auto& a = v->asArray();
    return {a[0].asDouble(), a[1].asDouble(), a[2].asDouble(), a[3].asDouble()};
}

void Keyboard::setFirstResponder(const std::shared_ptr<View>& view) {
    auto old = focused_.lock();
    if (old == view) return;
    focused_ = view;
    if (hostObserver_) hostObserver_(view.get());
    // Only text inputs bring the keyboard (a selection that takes the focus for its menu does not).
    update();
}

bool Keyboard::takeFocusFrom(const std::shared_ptr<View>& view) {
    auto previous = focused_.lock();
    auto* other = focusedInput();
    if (!other || previous == view) return true;
    setFirstResponder(view);
    if (other->resignFirstResponder(false)) return true;
    setFirstResponder(previous);
    return false;
}

void Keyboard::resignFirstResponder(const View* view) {
    if (focused_.lock().get() == view) setFirstResponder(nullptr);
}

void Keyboard::post(bool showing, const gfx::Rect& endFrame) {
    gfx::Rect begin = frame();
    visible_ = showing;
    frame_ = endFrame;
    gfx::Rect end = frame();
    core::Dictionary info{
        {kFrameBeginUserInfoKey, rectValue(begin)},
        {kFrameEndUserInfoKey, rectValue(end)},
        {kAnimationDurationUserInfoKey, kAnimationDuration},
        {kAnimationCurveUserInfoKey, kAnimationCurve},
    };
    auto& center = core::NotificationCenter::defaultCenter();
    center.post(kWillChangeFrameNotification, nullptr, info);
    center.post(showing ? kWillShowNotification : kWillHideNotification, nullptr, info);
    center.post(kDidChangeFrameNotification, nullptr, info);
    center.post(showing ? kDidShowNotification : kDidHideNotification, nullptr, info);
}

void Keyboard::insertText(const std::string& text) {
    if (auto* input = focusedInput()) input->insertText(text);
}

void Keyboard::deleteBackward() {
    if (auto* input = focusedInput()) input->deleteBackward();
}

void Keyboard::setMarkedText(const std::string& text, std::size_t cursorUtf16) {
    if (auto* input = focusedInput()) input->setMarkedText(text, cursorUtf16);
}

void Keyboard::unmarkText() {
    if (auto* input = focusedInput()) input->unmarkText();
}

void Keyboard::handleKey(EditingKey key) {
    if (auto* input = focusedInput()) input->handleKey(key);
}

void Keyboard::paste() {
    auto* input = focusedInput();
    if (!input) return;
    if (auto text = Pasteboard::general().string(); text && !text->empty()) input->insertText(*text);
}

void Keyboard::caretDidMove() {
    if (hostObserver_) hostObserver_(focused_.lock().get());
}

} // namespace ui
