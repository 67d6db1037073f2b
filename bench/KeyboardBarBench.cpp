// The input bar's hot paths, each against the bare toolkit underneath in the same run:
// - rebuilding the previous/next/done bar in place on a focused field and laying it out (what the
//   keyboard manager does at every focus change) against handing the same items to a bare
//   ui::Toolbar (cleared first, so it takes them anew each time) and laying that out;
// - typing into the placeholder text view against typing into a bare ui::TextView.
// Read the ratio of the two times of each pair; the seconds depend on the machine.

#include "keyboard/KBTextView.h"
#include "keyboard/KBToolbarBuilder.h"
#include "keyboard/KBViewOptions.h"
#include "platform/core/ProcessInfo.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>

namespace {

struct Page : core::Object {
    void act(core::Object*) {}
};

struct Scene {
    std::shared_ptr<ui::Window> window = core::make<ui::Window>();
    std::unique_ptr<ui::HeadlessHost> host = std::make_unique<ui::HeadlessHost>(window);
    Scene() {
        core::Bundle::setResourcePathForTesting(std::string(QUILLORA_RESOURCES_DIR));
        window->makeKeyAndVisible();
    }
    ~Scene() {
        if (auto* input = ui::Keyboard::shared().focusedInput()) input->resignFirstResponder(true);
    }
};

void BM_RebuildBarOnFocusedField(benchmark::State& state) {
    Scene scene;
    auto page = core::make<Page>();
    auto act = ui::selector(&Page::act);
    auto field = core::make<ui::TextField>(gfx::Rect{20, 100, 335, 40});
    field->setPlaceholder("Email");
    scene.window->addSubview(field);
    keyboard::addPreviousNextDoneOnKeyboardWithTarget(*field, page, act, act, act, true);
    field->becomeFirstResponder();
    auto bar = keyboard::keyboardToolbar(*field);
    for (auto _ : state) {
        keyboard::addPreviousNextDoneOnKeyboardWithTarget(*field, page, act, act, act, true);
        bar->layoutIfNeeded();
    }
}
BENCHMARK(BM_RebuildBarOnFocusedField);

void BM_BareToolbarSetItems(benchmark::State& state) {
    Scene scene;
    auto source = core::make<keyboard::KBToolbar>();
    auto field = core::make<ui::TextField>();
    keyboard::addPreviousNextDoneOnKeyboardWithTarget(*field, nullptr, {}, {}, {}, std::string("Email"));
    auto items = keyboard::keyboardToolbar(*field)->items();
    auto bar = core::make<ui::Toolbar>(gfx::Rect{0, 0, 375, 44});
    scene.window->addSubview(bar);
    for (auto _ : state) {
        bar->setItems({});
        bar->setItems(items);
        bar->layoutIfNeeded();
    }
}
BENCHMARK(BM_BareToolbarSetItems);

template <class View>
void typeInto(benchmark::State& state) {
    Scene scene;
    auto view = core::make<View>(gfx::Rect{20, 100, 335, 130});
    if constexpr (std::is_same_v<View, keyboard::KBTextView>) view->setPlaceholder("Write the opening line");
    scene.window->addSubview(view);
    view->becomeFirstResponder();
    int typed = 0;
    for (auto _ : state) {
        ui::Keyboard::shared().insertText("a");
        if (++typed == 40) {
            view->setText("");
            typed = 0;
        }
        view->layoutIfNeeded();
    }
}

void BM_TypeIntoPlaceholderTextView(benchmark::State& state) { typeInto<keyboard::KBTextView>(state); }
void BM_TypeIntoBareTextView(benchmark::State& state) { typeInto<ui::TextView>(state); }
BENCHMARK(BM_TypeIntoPlaceholderTextView);
BENCHMARK(BM_TypeIntoBareTextView);

} // namespace

BENCHMARK_MAIN();
