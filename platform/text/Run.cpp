#include "platform/text/Run.h"

#include "platform/gfx/CairoContext.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/LayoutInternals.h"

#include <pango/pangocairo.h>

namespace text {

Run::Run(std::unique_ptr<detail::RunData> data) : data_(std::move(data)) {}
Run::~Run() = default;

const Attributes& Run::attributes() const { return data_->storage->string.runAttributes(data_->attributeRun); }
Range Run::stringRange() const { return data_->range; }
std::size_t Run::glyphCount() const { return static_cast<std::size_t>(data_->glyphs->num_glyphs); }
bool Run::isRightToLeft() const { return data_->rightToLeft; }
double Run::xOffset() const { return data_->x; }

double Run::typographicBounds(double* ascent, double* descent, double* leading) const {
    if (ascent) *ascent = data_->ascent;
    if (descent) *descent = data_->descent;
    if (leading) *leading = data_->leading;
    return data_->width;
}

void Run::draw(gfx::Context& context, gfx::Point textPosition) const {
    if (!data_->font || data_->glyphs->num_glyphs == 0) return;
    const gfx::Color* color = unbox<gfx::Color>(attributes().find(kForegroundColorAttributeName));
    gfx::Color c = color ? *color : gfx::Color::black();
    cairo_t* cr = gfx::nativeCairo(context);
    cairo_save(cr);
    // The text space is flipped (y up); glyphs are drawn upright in it.
    cairo_translate(cr, textPosition.x + data_->x, textPosition.y);
    cairo_scale(cr, 1, -1);
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha * context.alpha());
    cairo_move_to(cr, 0, 0);
    pango_cairo_show_glyph_string(cr, data_->font, data_->glyphs);
    cairo_restore(cr);
}

} // namespace text
