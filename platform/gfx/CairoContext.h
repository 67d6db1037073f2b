#pragma once
// The seam between gfx and Cairo, for the few files that sit on Cairo themselves (the context,
// text layout, the window host). Nothing else includes this header.

#include "platform/gfx/Context.h"

#include <cairo.h>

#include <optional>
#include <vector>

namespace gfx {

struct Context::Impl {
    cairo_t* cr = nullptr;
    cairo_matrix_t base{};  // points to device pixels
    Color fill = Color::black();
    Color stroke = Color::black();
    double alpha = 1;
    std::vector<double> alphaStack;  // saved alphas, mirrored with cairo_save/restore
    struct Shadow {
        Size offset;
        double blur = 0;
        Color color;
    };
    std::optional<Shadow> shadow;
    std::vector<std::optional<Shadow>> shadowStack;  // mirrored with save/restore
    std::vector<std::optional<Shadow>> layerShadows;  // the shadow of each open transparency layer
};

// Paints the shadow that `group` (a pattern from cairo_pop_group on d.cr) casts, at `alpha`.
void paintShadow(Context::Impl& d, cairo_pattern_t* group, const Context::Impl::Shadow& shadow, double alpha);

// A context over a Cairo context that someone else owns (a GTK drawing surface); its current
// matrix becomes the base transform.
class CairoContext final : public Context {
public:
    explicit CairoContext(cairo_t* cr);
    ~CairoContext() override;
};

cairo_t* nativeCairo(Context& context);

} // namespace gfx
