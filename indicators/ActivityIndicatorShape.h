#pragma once
// The basic shapes the indicator animations move: filled dots, rings, bars and triangles as shape
// layers with frame (0, 0, w, h). Round shapes take their radius from the width (w / 2) around
// (w / 2, h / 2), also when the height differs; stroked shapes use a 2-point line whatever the
// size, except `pacman`, a circle of radius w / 4 stroked w / 2 wide (a full disc of diameter w).
#include "platform/ca/ShapeLayer.h"
#include "platform/gfx/Color.h"
#include "platform/gfx/Size.h"

#include <memory>

namespace indicators {

enum class ActivityIndicatorShape {
    circle,
    circleSemi,
    ring,
    ringTwoHalfVertical,
    ringTwoHalfHorizontal,
    ringThirdFour,
    rectangle,
    triangle,
    line,
    pacman,
    stroke,
};

// A new shape layer, not attached to any layer.
std::shared_ptr<ca::ShapeLayer> shapeLayer(ActivityIndicatorShape shape, gfx::Size size, const gfx::Color& color);

} // namespace indicators
