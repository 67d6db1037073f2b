#pragma once
// A drawing context over an off-screen bitmap of `size` points at `scale` pixels per point,
// transparent at the start. makeImage() copies what was drawn so far into an Image of that scale.

#include "platform/gfx/Context.h"

namespace gfx {

class BitmapContext final : public Context {
public:
    BitmapContext(Size size, double scale);

    int pixelWidth() const { return width_; }
    int pixelHeight() const { return height_; }
    std::shared_ptr<const Image> makeImage() const;

private:
    int width_;
    int height_;
    double scale_;
};

} // namespace gfx
