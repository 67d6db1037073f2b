#pragma once
// A window with a navigation controller and one page (status bar 20, bar 44) in a headless host on
// a virtual clock, the simulated phone keyboard (216) and a manager of the test's own, with its
// debug lines captured.
#include "keyboard/KBKeyboardManager.h"
#include "platform/core/ProcessInfo.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextView.h"
#include "UiTest.h"

#include <string>
#include <vector>

namespace keyboard::testing {

class ManagerTest : public ui::UiTest {
protected:
    void SetUp() override {
        ui::UiTest::SetUp();
        core::Bundle::setResourcePathForTesting(std::string(QUILLORA_RESOURCES_DIR));
        ui::Keyboard::shared().setSimulatesOnScreenKeyboard(true);
        KBKeyboardManager::setLogSinkForTesting([this](const std::string& line) { lines.push_back(line); });
        manager = core::make<KBKeyboardManager>();
        page = core::make<ui::ViewController>();
        nav = core::make<ui::NavigationController>(page);
        window->setRootViewController(nav);
        host->advance(0.5);
    }
    void TearDown() override {
        if (auto* input = ui::Keyboard::shared().focusedInput()) input->resignFirstResponder(true);
        host->advance(0.5);
        manager.reset();
        KBKeyboardManager::resetSharedForTesting();
        KBKeyboardManager::setLogSinkForTesting(nullptr);
        ui::Keyboard::shared().setSimulatesOnScreenKeyboard(false);
        core::Bundle::setResourcePathForTesting(std::nullopt);
        ui::UiTest::TearDown();
    }
    std::shared_ptr<ui::TextField> field(gfx::Rect frame, std::shared_ptr<ui::View> in = nullptr, std::string placeholder = "") {
        auto f = core::make<ui::TextField>(frame);
        f->setPlaceholder(std::move(placeholder));
        (in ? in : page->view())->addSubview(f);
        return f;
    }
    // Lets the queued adjustment and every animation finish.
    void settle() { host->advance(0.5); }
    double pageY() { return page->view()->frame().y(); }
    long count(const std::string& text) const {
        long n = 0;
        for (const auto& l : lines) n += l.find(text) != std::string::npos;
        return n;
    }

    std::shared_ptr<KBKeyboardManager> manager;
    std::shared_ptr<ui::ViewController> page;
    std::shared_ptr<ui::NavigationController> nav;
    std::vector<std::string> lines;
};

} // namespace keyboard::testing
