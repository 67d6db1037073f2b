#pragma once
// Fixture for view tests: a phone-sized window in a headless host on a virtual clock.

#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"

#include <gtest/gtest.h>

namespace ui {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        Screen::main().setProfile(DeviceProfile::phone());
        window = core::make<Window>();
        window->setBackgroundColor(gfx::Color::whiteColor());
        host = std::make_unique<HeadlessHost>(window);
        window->makeKeyAndVisible();
    }
    void TearDown() override { host.reset(); }

    std::shared_ptr<Window> window;
    std::unique_ptr<HeadlessHost> host;
};

} // namespace ui
