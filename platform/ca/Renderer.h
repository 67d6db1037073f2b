#pragma once
// Draws a layer tree into a drawing context, showing each layer's presentation values at a
// media time.
//
// Order per layer: background (rounded by the corner radius), contents image, shape (fill, then
// the trimmed stroke), sublayers in order of zPosition then insertion, border on top. Opacity
// below 1 composites the layer and its sublayers as one picture: a subtree of a single paint takes
// the opacity into that paint, any other is grouped within the box of what it may paint. A layer
// whose transform covers no area is skipped with its sublayers. masksToBounds clips the contents
// and sublayers to the rounded bounds. Hidden layers and layers at opacity 0 are skipped. A layer
// with a shadow opacity above 0 is composited as one picture that casts the shadow.
//
// Each layer is flattened into its superlayer's plane. While the accumulated transform is affine
// the context's transform does the mapping; with perspective, paths are flattened and every point
// is projected through the 4x4 transform, and images are drawn with the affine transform that
// best fits three of their corners.
//
// Layers with a delegate are asked for their content only when what they paint comes near the
// area the target shows (its clip when the render begins, a quarter of its size beyond each
// edge); a render of a whole tree (a root without superlayer) also lets go of the drawn contents
// of layers more than half that size away, which draw again when they come near.
//
// A layer with a backdrop blur first draws what lies beneath it: the same frame drawn up to that
// layer (Pass::below, as for a split) into a picture of its region at reduced scale, blurred, then
// painted inside its rounded bounds; its background (the tint) and content follow. The picture is
// kept with the layer and drawn again only when what lies beneath, the layer's place on the
// target or the target changed. Inside a picture, backdrops beneath only tint.

#include "platform/gfx/Context.h"

#include <cstdint>

namespace ca {

class Layer;

class Renderer {
public:
    // Draws `root` and its sublayers. Layers with a delegate near what shows are asked for their
    // content first.
    static void render(Layer& root, gfx::Context& context, double mediaTime);

    // Draws one side of the tree split at `split`, for a host that shows a native widget where
    // that layer is: `below` draws what is painted before it, `above` what is painted after it
    // (later siblings, their subtrees and the borders of its ancestors). Neither draws `split`
    // or its sublayers, so the two pictures stacked around the widget give the whole tree.
    enum class Pass { below, above };
    static void render(Layer& root, gfx::Context& context, double mediaTime, const Layer& split, Pass pass);

    // How many backdrop pictures have been drawn so far in the process (each a render of what
    // lies beneath a layer with a backdrop blur, then its blur); one that is reused counts once.
    static std::uint64_t backdropPicturesDrawn();
};

} // namespace ca
