#include "platform/ui/Keyboard.h"

#include "platform/core/NotificationCenter.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"

namespace ui {
namespace {

core::Value rectValue(const gfx::Rect& r) { return core::Array{r.x(), r.y(), r.width(), r.height()}; }

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
    gfx::Rect screen = Screen::main().bounds();
    double h = visible_ ? height_ : 0;
    return {0, visible_ ? screen.height() - h : screen.height(), screen.width(), h};
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
    bool wasInput = old && dynamic_cast<TextInput*>(old.get());
    bool isInput = view && dynamic_cast<TextInput*>(view.get());
    if (!wasInput && isInput) post(true);
    if (wasInput && !isInput) post(false);
}

void Keyboard::resignFirstResponder(const View* view) {
    if (focused_.lock().get() == view) setFirstResponder(nullptr);
}

void Keyboard::post(bool showing) {
    gfx::Rect begin = frame();
    visible_ = showing;
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
