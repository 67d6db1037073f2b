#pragma once
// Fixture for the animation tests: builds a type's animation into a root layer of 80 x 80 that
// hangs in the window, so that the virtual clock moves it.
#include "indicators/ActivityIndicatorType.h"
#include "platform/ui/tests/UiTest.h"

namespace indicators {

class IndicatorLayerTest : public ui::UiTest {
protected:
    explicit IndicatorLayerTest(gfx::Size size) : size_(size) {}

    std::shared_ptr<ca::Layer> build(ActivityIndicatorType type) { return build(type, size_); }
    std::shared_ptr<ca::Layer> build(ActivityIndicatorType type, gfx::Size size) {
        auto root = ca::Layer::make();
        root->setFrame({0, 0, 80, 80});
        window->layer()->addSublayer(root);
        makeIndicatorAnimation(type)->buildAnimation(*root, size, gfx::Color::whiteColor());
        return root;
    }
    static ca::LayerProperties shown(const ca::Layer& layer) { return layer.presentationAt(layer.localTime()); }

private:
    gfx::Size size_;
};

} // namespace indicators
