#pragma once
// A 4x4 transform in the row-vector convention: a point [x y z 1] is multiplied on the left,
// [x' y' z' w'] = [x y z 1] * M, then divided by w'. m34 = -1/d gives a perspective seen from a
// distance d along +z. concat(A, B) applies A first, then B (the matrix product A·B).
//
// Whole-transform interpolation decomposes both ends into translation, scale, skew, rotation
// (a quaternion) and perspective, interpolates the parts and recomposes; component key paths
// (scale, rotation, translation) are read and written through TransformComponents.

#include "platform/gfx/AffineTransform.h"
#include "platform/gfx/Point.h"

#include <array>

namespace gfx {

struct Transform3D {
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;

    static Transform3D identity() { return {}; }
    static Transform3D translation(double tx, double ty, double tz);
    static Transform3D scale(double sx, double sy, double sz);
    // A rotation by `angle` about the axis (x, y, z); a zero axis gives the identity.
    static Transform3D rotation(double angle, double x, double y, double z);
    static Transform3D fromAffine(const AffineTransform& t);

    bool operator==(const Transform3D&) const = default;
    bool isIdentity() const { return *this == Transform3D{}; }
    // True when the transform maps the z = 0 plane like a 2D affine transform.
    bool isAffine() const;
    AffineTransform affine() const;

    Transform3D concat(const Transform3D& then) const;
    Transform3D inverted() const;  // a singular transform is returned unchanged
    // Maps a point of the z = 0 plane and divides by w. `ok` is false when w <= 0 (behind the eye).
    Point project(Point p, bool* ok = nullptr) const;
    // The same transform with its z output column cleared, so that what it maps is flattened into
    // the target plane: composing flattened transforms projects each layer onto its parent.
    Transform3D flattened() const;

    std::array<double, 16> elements() const;
    static Transform3D fromElements(const std::array<double, 16>& e);

    // Interpolation at `t` (0 gives this, 1 gives `to`) through decomposition. When either end
    // cannot be decomposed (singular), the elements are interpolated instead.
    Transform3D interpolate(const Transform3D& to, double t) const;
};

// The components that the key paths "transform.rotation(.x/.y/.z)", "transform.scale(.x/.y/.z)"
// and "transform.translation(.x/.y/.z)" read and write. They recompose as
// translation · rotation (x, then y, then z) · scale, applied scale first.
struct TransformComponents {
    double translationX = 0, translationY = 0, translationZ = 0;
    double scaleX = 1, scaleY = 1, scaleZ = 1;
    double rotationX = 0, rotationY = 0, rotationZ = 0;

    static TransformComponents of(const Transform3D& t);
    Transform3D compose() const;
};

} // namespace gfx
