#pragma once
// What an indicator's animation does: fill the indicator view's layer with animated sublayers for
// a square of `size`, in `color`. It only adds (the view clears the layer before each build), and
// every animation it adds runs on the layer by itself; nothing happens per frame. Main thread only.
#include "platform/ca/Layer.h"
#include "platform/gfx/Color.h"
#include "platform/gfx/Size.h"

namespace indicators {

class ActivityIndicatorAnimationDelegate {
public:
    virtual ~ActivityIndicatorAnimationDelegate() = default;
    virtual void buildAnimation(ca::Layer& layer, gfx::Size size, const gfx::Color& color) = 0;
};

} // namespace indicators
