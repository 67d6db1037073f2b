// Draws the refresh arrow of the "Refresh" bundle with our own gfx drawing: a downward arrow,
// 15 x 40 points at scale 2, black on transparent (the controls tint it). The build runs it, so
// the picture is always reproducible from this source.
//
// Usage: refresh_arrow_generator <output file>

#include "platform/gfx/BitmapContext.h"
#include "platform/gfx/Path.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: refresh_arrow_generator <output file>\n";
        return 2;
    }
    gfx::BitmapContext c({15, 40}, 2);
    c.setStrokeColor(gfx::Color::black());
    c.setLineWidth(2);
    c.setLineCap(gfx::Context::LineCap::round);
    c.setLineJoin(gfx::Context::LineJoin::round);
    gfx::Path stem;
    stem.moveTo({7.5, 2});
    stem.lineTo({7.5, 37});
    c.strokePath(stem);
    gfx::Path head;
    head.moveTo({1.5, 30});
    head.lineTo({7.5, 37});
    head.lineTo({13.5, 30});
    c.strokePath(head);
    auto status = c.makeImage()->writePng(argv[1]);
    if (!status) {
        std::cerr << argv[1] << ": " << status.error().description << "\n";
        return 1;
    }
    return 0;
}
