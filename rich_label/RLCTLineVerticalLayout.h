#pragma once
// The vertical metrics of one drawn line of a rich label, copied by value.

#include "platform/gfx/Rect.h"

#include <cstdint>

struct RLCTLineVerticalLayout {
    std::int64_t line = 0;               // index among the drawn lines
    double lineAscentAndDescent = 0;     // typographic ascent + |descent|
    gfx::Rect lineRect;                  // image bounds in view space, widened by both side insets
    double maxRunHeight = 0;             // tallest text run (ascent + |descent|)
    double maxRunAscent = 0;
    double maxImageHeight = 0;           // tallest inserted-image run
    double maxImageAscent = 0;
    std::int64_t verticalAlignment = 2;  // of the tallest image; 2 (bottom) without images

    bool operator==(const RLCTLineVerticalLayout&) const = default;
};
