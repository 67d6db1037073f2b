#pragma once
// The seam between gfx's pinned fonts and the modules that lay text out on Pango themselves (the
// text layout layer of platform/text). It hands out the process's one Pango context, whose font
// map knows only the pinned fonts, and turns a Font into a Pango font description. Nothing but
// such layout code includes this header. Main thread, or one thread at a time.

#include "platform/gfx/Font.h"

#include <pango/pango.h>

namespace gfx {

// The shared context (72 dpi, hinting off, unrounded glyph positions); owned by gfx.
PangoContext* sharedPangoContext();
// A new description of the font; the caller frees it with pango_font_description_free().
PangoFontDescription* newPangoFontDescription(const Font& font);

} // namespace gfx
