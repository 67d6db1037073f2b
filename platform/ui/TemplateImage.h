#pragma once
// Template images: a picture used only for its shape (its alpha), drawn in a tint colour, as
// the refresh arrow is drawn in the colour of the text beside it.

#include "platform/gfx/Color.h"
#include "platform/gfx/Image.h"

namespace ui {

class TemplateImage {
public:
    // The image's alpha filled with `tint` (same size and scale); nullptr for a null image.
    static gfx::ImagePtr tinted(const gfx::ImagePtr& image, const gfx::Color& tint);
};

} // namespace ui
