#pragma once
// A glyph run: consecutive glyphs of one line that share one attribute run of the text, so a run
// never spans an attribute boundary. Immutable; made by Line.
//
// Positions are in a y-up text space (the space of a context flipped so that y grows upwards);
// glyphs are drawn upright in it.

#include "platform/gfx/Context.h"
#include "platform/text/AttributedString.h"

#include <memory>

namespace text {

namespace detail { struct RunData; }

class Run {
public:
    explicit Run(std::unique_ptr<detail::RunData> data);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The attributes of the characters the run shows.
    const Attributes& attributes() const;
    // The characters the run shows, in the string the line was made from.
    Range stringRange() const;
    std::size_t glyphCount() const;
    bool isRightToLeft() const;
    // Width of the run; ascent (up, positive), descent (down, positive) and leading of its font,
    // or of its run delegate.
    double typographicBounds(double* ascent, double* descent, double* leading) const;
    // Where the run starts, from the line's origin.
    double xOffset() const;

    // Draws the glyphs with the line's origin at `textPosition`, in the foreground colour of
    // the run's attributes (black without one). Run delegates and bare U+FFFC draw nothing.
    void draw(gfx::Context& context, gfx::Point textPosition) const;

    const detail::RunData& data() const { return *data_; }

private:
    std::unique_ptr<detail::RunData> data_;
};

} // namespace text
