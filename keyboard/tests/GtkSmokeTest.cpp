// The input bar in the desktop host under a real X server (Xvfb, started by the test; skipped
// without it), with the simulated on-screen keyboard asked for as a user would.

#include "keyboard/KBToolbarBuilder.h"
#include "keyboard/KBViewOptions.h"
#include "platform/ui/GtkHost.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/testing/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace keyboard {
namespace {

template <class Done>
bool iterateUntil(ui::GtkHost& host, Done done, double seconds = 20) {
    const auto bound = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > bound) return false;
        host.iterate();
    }
    return true;
}

struct Form : core::Object {
    std::shared_ptr<ui::TextField> field;
    void done(core::Object*) { field->resignFirstResponder(); }
};

TEST(KeyboardGtk, FocusShowsTheBarOverTheKeyboardAndDoneResigns) {
    setenv("QUILLORA_ONSCREEN_KEYBOARD", "1", 1);
    ui::testing::XvfbServer xvfb;
    if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); the desktop host was not tried";
    auto window = core::make<ui::Window>();
    window->setBackgroundColor(gfx::Color::whiteColor());
    auto form = core::make<Form>();
    form->field = core::make<ui::TextField>(gfx::Rect{20, 100, 300, 40});
    form->field->setPlaceholder("Name");
    window->addSubview(form->field);
    addDoneOnKeyboardWithTarget(*form->field, form, ui::selector(&Form::done), true);
    auto host = ui::GtkHost::create(window, "Quillora");
    ASSERT_TRUE(host.ok()) << host.error().description;
    (*host)->show();
    iterateUntil(**host, [&] { return (*host)->drawCount() > 0; });

    auto& keyboard = ui::Keyboard::shared();
    EXPECT_TRUE(keyboard.simulatesOnScreenKeyboard());
    ASSERT_TRUE(form->field->becomeFirstResponder());
    EXPECT_EQ(keyboard.frame().height(), 216 + 44);
    EXPECT_EQ(keyboard.keyboardView()->window(), window);
    int before = (*host)->drawCount();
    iterateUntil(**host, [&] { return (*host)->drawCount() > before; });

    auto bar = keyboardToolbar(*form->field);
    auto done = bar->viewForItem(*bar->doneBarButton());
    ASSERT_TRUE(done);
    window->layoutIfNeeded();
    gfx::Rect r = done->convertRect(done->bounds(), nullptr);
    gfx::Point p{r.x() + r.width() / 2, r.y() + r.height() / 2};
    window->sendTouch(ui::TouchPhase::began, p);
    window->sendTouch(ui::TouchPhase::ended, p);
    EXPECT_FALSE(form->field->isFirstResponder());
    EXPECT_FALSE(keyboard.isVisible());
    iterateUntil(**host, [&] { return !keyboard.keyboardView()->superview(); }, 5);
    EXPECT_FALSE(keyboard.keyboardView()->superview());
    keyboard.setSimulatesOnScreenKeyboard(false);
    unsetenv("QUILLORA_ONSCREEN_KEYBOARD");
}

} // namespace
} // namespace keyboard
