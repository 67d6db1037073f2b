// Walking a long form with the keyboard manager switched on, against the same focus changes
// without it, in the same run:
// - BM_NextWithManager: a page under a navigation bar holds a scroll view with 200 labelled text
//   fields (added in shuffled order, walked in position order). The manager is on, with its bar on
//   every field and a return-key handler on the page; each change presses the focused field's Next
//   button, and one frame of time lets the queued adjustment run (scroll, inset).
// - BM_NextWithoutManager: the same form and the same focus changes, made by asking the next field
//   in position order to take the focus, and the same frame of time; no manager exists.
// - BM_RenderFormFrame: one rendered frame of the managed form (fields, bar and keyboard).
// Read the ratio of the first two times, and the first against the third; the seconds depend on
// the machine.

#include "keyboard/KBKeyboardManager.h"
#include "keyboard/KBKeyboardReturnKeyHandler.h"
#include "keyboard/KBViewOptions.h"
#include "platform/core/ProcessInfo.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

constexpr int kFields = 200;
constexpr double kRow = 48;
constexpr double kFrame = 1.0 / 60;

struct Form {
    std::shared_ptr<ui::Window> window = core::make<ui::Window>();
    std::unique_ptr<ui::HeadlessHost> host;
    std::shared_ptr<ui::ViewController> page = core::make<ui::ViewController>();
    std::shared_ptr<ui::NavigationController> nav;
    std::vector<std::shared_ptr<ui::TextField>> fields;  // in position order
    std::shared_ptr<keyboard::KBKeyboardManager> manager;
    std::shared_ptr<keyboard::KBKeyboardReturnKeyHandler> handler;

    explicit Form(bool managed) {
        core::Bundle::setResourcePathForTesting(std::string(QUILLORA_RESOURCES_DIR));
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        ui::Keyboard::shared().setSimulatesOnScreenKeyboard(true);
        keyboard::KBKeyboardManager::resetSharedForTesting();
        host = std::make_unique<ui::HeadlessHost>(window);
        window->makeKeyAndVisible();
        nav = core::make<ui::NavigationController>(page);
        window->setRootViewController(nav);
        host->advance(0.5);

        auto scroll = core::make<ui::ScrollView>(page->view()->bounds());
        scroll->setContentSize({page->view()->bounds().width(), kFields * kRow + 24});
        page->view()->addSubview(scroll);
        std::vector<int> rows(kFields);
        for (int i = 0; i < kFields; ++i) rows[i] = i;
        std::shuffle(rows.begin(), rows.end(), std::mt19937(7));
        fields.resize(kFields);
        for (int row : rows) {
            double y = 12 + row * kRow;
            auto label = core::make<ui::Label>(gfx::Rect{20, y, 100, 36});
            label->setText("Field " + std::to_string(row + 1));
            auto field = core::make<ui::TextField>(gfx::Rect{130, y, 225, 36});
            field->setPlaceholder("Value " + std::to_string(row + 1));
            scroll->addSubview(label);
            scroll->addSubview(field);
            fields[row] = field;
        }
        if (managed) {
            manager = keyboard::KBKeyboardManager::shared();
            manager->toolbarManageBehaviour = keyboard::KBAutoToolbarManageBehaviour::positionOrder;
            manager->setEnable(true);
            handler = core::make<keyboard::KBKeyboardReturnKeyHandler>(page);
        }
        fields.front()->becomeFirstResponder();
        host->advance(0.5);
    }
    ~Form() {
        if (auto* input = ui::Keyboard::shared().focusedInput()) input->resignFirstResponder(true);
        host->advance(0.5);
        handler.reset();
        manager.reset();
        keyboard::KBKeyboardManager::resetSharedForTesting();
        ui::Keyboard::shared().setSimulatesOnScreenKeyboard(false);
    }
};

void BM_NextWithManager(benchmark::State& state) {
    Form form(true);
    int at = 0;
    for (auto _ : state) {
        if (at + 1 < kFields) {
            form.manager->nextAction(keyboard::keyboardToolbar(*form.fields[at])->nextBarButton().get());
            ++at;
        } else {
            form.fields.front()->becomeFirstResponder();
            at = 0;
        }
        form.host->advance(kFrame);
    }
    if (!form.fields[at]->isFirstResponder()) state.SkipWithError("Next did not reach the expected field");
}
BENCHMARK(BM_NextWithManager);

void BM_NextWithoutManager(benchmark::State& state) {
    Form form(false);
    int at = 0;
    for (auto _ : state) {
        at = at + 1 < kFields ? at + 1 : 0;
        form.fields[at]->becomeFirstResponder();
        form.host->advance(kFrame);
    }
    if (!form.fields[at]->isFirstResponder()) state.SkipWithError("the focus did not reach the expected field");
}
BENCHMARK(BM_NextWithoutManager);

void BM_RenderFormFrame(benchmark::State& state) {
    Form form(true);
    for (int i = 0; i < 20; ++i) {
        form.manager->goNext();
        form.host->advance(kFrame);
    }
    form.host->advance(0.5);
    for (auto _ : state) benchmark::DoNotOptimize(form.host->snapshot());
}
BENCHMARK(BM_RenderFormFrame);

} // namespace

BENCHMARK_MAIN();
