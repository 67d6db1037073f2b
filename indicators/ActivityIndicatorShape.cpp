#include "indicators/ActivityIndicatorShape.h"

#include <numbers>

namespace indicators {

std::shared_ptr<ca::ShapeLayer> shapeLayer(ActivityIndicatorShape shape, gfx::Size size, const gfx::Color& color) {
    constexpr double pi = std::numbers::pi;
    const double w = size.width, h = size.height;
    const gfx::Point centre{w / 2, h / 2};
    auto layer = ca::ShapeLayer::make();
    gfx::Path path;
    auto stroked = [&](double lineWidth) {
        layer->setFillColor(std::nullopt);
        layer->setStrokeColor(color);
        layer->setLineWidth(lineWidth);
    };
    auto filled = [&] { layer->setFillColor(color); };

    switch (shape) {
    case ActivityIndicatorShape::circle:
        path.addArc(centre, w / 2, 0, 2 * pi, false);
        filled();
        break;
    case ActivityIndicatorShape::circleSemi:
        path.addArc(centre, w / 2, -pi / 6, -5 * pi / 6, false);
        path.close();
        filled();
        break;
    case ActivityIndicatorShape::ring:
        path.addArc(centre, w / 2, 0, 2 * pi, false);
        stroked(2);
        break;
    case ActivityIndicatorShape::ringTwoHalfVertical:
        path.addArc(centre, w / 2, -3 * pi / 4, -pi / 4, true);
        path.moveTo({w / 2 + (w / 2) * -0.7071067811865476, h / 2 + (h / 2) * 0.7071067811865475});
        path.addArc(centre, w / 2, -5 * pi / 4, -7 * pi / 4, false);
        stroked(2);
        break;
    case ActivityIndicatorShape::ringTwoHalfHorizontal:
        path.addArc(centre, w / 2, 3 * pi / 4, 5 * pi / 4, true);
        path.moveTo({w / 2 + (w / 2) * 0.7071067811865476, h / 2 + (h / 2) * -0.7071067811865475});
        path.addArc(centre, w / 2, -pi / 4, pi / 4, true);
        stroked(2);
        break;
    case ActivityIndicatorShape::ringThirdFour:
        path.addArc(centre, w / 2, -3 * pi / 4, -pi / 4, false);
        stroked(2);
        break;
    case ActivityIndicatorShape::rectangle:
        // Left open on purpose: the fill closes it anyway.
        path.moveTo({0, 0});
        path.lineTo({w, 0});
        path.lineTo({w, h});
        path.lineTo({0, h});
        filled();
        break;
    case ActivityIndicatorShape::triangle: {
        const double d = h / 4;
        path.moveTo({0, h - d});
        path.lineTo({w / 2, h / 2 - d});
        path.lineTo({w, h - d});
        path.close();
        filled();
        break;
    }
    case ActivityIndicatorShape::line:
        path = gfx::Path::roundedRect({0, 0, w, h}, w / 2);
        filled();
        break;
    case ActivityIndicatorShape::pacman:
        path.addArc(centre, w / 4, 0, 2 * pi, true);
        stroked(w / 2);
        break;
    case ActivityIndicatorShape::stroke:
        path.addArc(centre, w / 2, -pi / 2, 3 * pi / 2, true);
        stroked(2);
        break;
    }
    layer->setBackgroundColor(std::nullopt);
    layer->setPath(std::move(path));
    layer->setFrame({0, 0, w, h});
    return layer;
}

} // namespace indicators
