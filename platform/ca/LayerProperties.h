#pragma once
// The animatable state of a layer: what the model holds and what the presentation shows. Shape
// layer properties live here too (unused by plain layers) so that one evaluation serves both.
//
// Key paths name the properties as the app's animations do ("opacity", "position",
// "bounds.size", "transform.rotation.z", "strokeEnd", "path", ...). Component paths of the transform
// read its TransformComponents and write them back recomposed (translation · rotation · scale).

#include "platform/ca/PropertyValue.h"
#include "platform/gfx/Path.h"

#include <optional>
#include <string_view>

namespace ca {

struct LayerProperties {
    gfx::Rect bounds;
    gfx::Point position;
    gfx::Point anchorPoint{0.5, 0.5};
    double zPosition = 0;
    gfx::Transform3D transform;
    gfx::Transform3D sublayerTransform;
    double opacity = 1;
    bool hidden = false;
    std::optional<gfx::Color> backgroundColor;
    double cornerRadius = 0;
    double borderWidth = 0;
    gfx::Color borderColor = gfx::Color::black();
    // Shape layers.
    gfx::Path path;
    std::optional<gfx::Color> fillColor = gfx::Color::black();
    std::optional<gfx::Color> strokeColor;
    double lineWidth = 1;
    double strokeStart = 0;
    double strokeEnd = 1;

    // The value under a key path, or nothing when the path is unknown. An absent colour reads as
    // clear.
    std::optional<PropertyValue> get(std::string_view keyPath) const;
    // Writes a value under a key path; false when the path is unknown or the kind does not fit.
    bool set(std::string_view keyPath, const PropertyValue& value);

    // The anchor point in the layer's own bounds space.
    gfx::Point anchorInBounds() const {
        return {bounds.x() + anchorPoint.x * bounds.width(), bounds.y() + anchorPoint.y * bounds.height()};
    }
    // True without a transform (plain offset into the superlayer) and with finite geometry: the
    // conversions below then skip the matrix products and give the same values bit for bit.
    bool isPlainOffset() const;
    // Maps points of the layer's bounds space into its superlayer's bounds space.
    gfx::Transform3D toSuperlayer() const;
    // toSuperlayer().project(p), bit for bit, by adding the offset for a plain offset and a
    // finite point (the product's zero terms and its w of 1 then change nothing).
    gfx::Point projectToSuperlayer(gfx::Point p) const;
    // The same for two points, with the layer's offset or transform found once for both.
    void projectToSuperlayer(gfx::Point& a, gfx::Point& b) const;
    // The superlayer-space frame: the bounding box of the transformed bounds.
    gfx::Rect frame() const;
};

} // namespace ca
