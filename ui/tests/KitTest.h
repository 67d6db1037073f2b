#pragma once
// Fixture for the app kit's view tests: a phone window in a headless host on a virtual clock, the
// shared look made afresh from that window, and the built pictures as the program's resources.
// The including target defines QUILLORA_RESOURCES_DIR.
#include "platform/core/ProcessInfo.h"
#include "platform/ui/tests/UiTest.h"
#include "ui/c.h"

namespace kit {

class KitTest : public ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        c::resetForTesting();
        core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
    }
    void TearDown() override {
        core::Bundle::setResourcePathForTesting(std::nullopt);
        c::resetForTesting();
        UiTest::TearDown();
    }
    // Advances the virtual clock in steps of 10 ms, pumping the main loop after each.
    void run(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 0.01) host->advance(0.01);
    }
};

} // namespace kit
