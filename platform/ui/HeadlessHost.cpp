#include "platform/ui/HeadlessHost.h"

#include "platform/core/Json.h"
#include "platform/core/Utf16.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/BitmapContext.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"

namespace ui {
namespace {

core::Value dumpView(const View& v) {
    core::Dictionary d;
    d.set("class", std::string(v.className()));
    gfx::Rect f = v.superview() ? v.superview()->convertRect(v.frame(), nullptr) : v.frame();
    d.set("frame", core::Array{f.x(), f.y(), f.width(), f.height()});
    d.set("hidden", v.isHidden());
    d.set("alpha", v.alpha());
    if (auto text = v.dumpText()) d.set("text", *text);
    core::Array children;
    for (const auto& child : v.subviews()) children.push_back(dumpView(*child));
    if (!children.empty()) d.set("subviews", std::move(children));
    return d;
}

} // namespace

HeadlessHost::HeadlessHost(std::shared_ptr<Window> window)
    : window_(std::move(window)), clock_(std::make_shared<dispatch::VirtualClock>()) {
    dispatch::RunLoop::setMainThread();
    dispatch::Clock::setCurrent(clock_);
}

HeadlessHost::~HeadlessHost() {
    dispatch::RunLoop::main().pump();
    dispatch::Clock::setCurrent(nullptr);
}

void HeadlessHost::advance(double seconds) {
    clock_->advance(seconds);
    dispatch::RunLoop::main().pump();
}

std::shared_ptr<const gfx::Image> HeadlessHost::snapshot() {
    dispatch::RunLoop::main().pump();
    gfx::BitmapContext ctx(window_->bounds().size, Screen::main().scale());
    window_->render(ctx);
    return ctx.makeImage();
}

core::Status HeadlessHost::writeSnapshot(const std::string& path) { return snapshot()->writePng(path); }

core::Value HeadlessHost::dumpTree() {
    Keyboard::shared().keepOnTop(*window_);
    window_->layoutIfNeeded();
    return dumpView(*window_);
}

std::string HeadlessHost::dumpJson() {
    return core::json::write(dumpTree(), core::json::PrettyPrinted | core::json::SortedKeys).valueOr("{}");
}

void HeadlessHost::touchDown(gfx::Point p, int id) { window_->sendTouch(TouchPhase::began, p, id); dispatch::RunLoop::main().pump(); }
void HeadlessHost::touchMove(gfx::Point p, int id) { window_->sendTouch(TouchPhase::moved, p, id); dispatch::RunLoop::main().pump(); }
void HeadlessHost::touchUp(gfx::Point p, int id) { window_->sendTouch(TouchPhase::ended, p, id); dispatch::RunLoop::main().pump(); }
void HeadlessHost::touchCancel(int id) { window_->sendTouch(TouchPhase::cancelled, {}, id); dispatch::RunLoop::main().pump(); }

void HeadlessHost::tap(gfx::Point p) {
    touchDown(p);
    advance(0.05);
    touchUp(p);
}

void HeadlessHost::touchpadSwipe(gfx::Point p, double dx, int steps, double stepSeconds) {
    for (int i = 1; i <= steps; ++i) {
        advance(stepSeconds);
        window_->scrollSwipe(p, dx / steps);
        dispatch::RunLoop::main().pump();
    }
    window_->endScrollSwipe();
    dispatch::RunLoop::main().pump();
}

void HeadlessHost::drag(gfx::Point from, gfx::Point to, int steps, double stepSeconds) {
    touchDown(from);
    for (int i = 1; i <= steps; ++i) {
        advance(stepSeconds);
        touchMove(from + (to - from) * (static_cast<double>(i) / steps));
    }
    touchUp(to);
}

} // namespace ui

namespace ui {

bool HeadlessHost::scrollWheel(gfx::Point p, gfx::Point delta) {
    auto target = ScrollView::wheelTargetAt(*window_, p, delta);
    bool scrolled = target && target->scrollByWheel(delta);
    dispatch::RunLoop::main().pump();
    return scrolled;
}

void HeadlessHost::typeText(const std::string& text) {
    Keyboard::shared().insertText(text);
    dispatch::RunLoop::main().pump();
}

void HeadlessHost::setMarkedText(const std::string& text) {
    Keyboard::shared().setMarkedText(text, core::utf16::length(text));
    dispatch::RunLoop::main().pump();
}

void HeadlessHost::pressKey(EditingKey key) {
    Keyboard::shared().handleKey(key);
    dispatch::RunLoop::main().pump();
}

void HeadlessHost::paste() {
    Keyboard::shared().paste();
    dispatch::RunLoop::main().pump();
}

} // namespace ui
