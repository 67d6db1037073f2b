#pragma once
// The seam between gfx and Cairo, for the few files that sit on Cairo themselves (the context,
// text layout, the window host). Nothing else includes this header.

#include "platform/gfx/Context.h"

#include <cairo.h>

namespace gfx {

struct Context::Impl {
    cairo_t* cr = nullptr;
    cairo_matrix_t base{};  // points to device pixels
    Color fill = Color::black();
    Color stroke = Color::black();
    double alpha = 1;
    std::vector<double> alphaStack;  // saved alphas, mirrored with cairo_save/restore
};

// A context over a Cairo context that someone else owns (a GTK drawing surface); its current
// matrix becomes the base transform.
class CairoContext final : public Context {
public:
    explicit CairoContext(cairo_t* cr);
    ~CairoContext() override;
};

cairo_t* nativeCairo(Context& context);

} // namespace gfx
