#pragma once
// The lines of a framesetter's text that fit in a rectangle, and where they sit. Immutable.
//
// Origins are relative to the rectangle's bottom-left corner with y up (the text space of a
// flipped context): the first line's top touches the rectangle's top. Lines sit one below the
// other, each line's ascent + descent + leading tall, with its paragraph's line spacing between
// a line and the next. A line fits when its bottom is within the rectangle; the frame ends at
// the first line that does not fit.

#include "platform/gfx/Rect.h"
#include "platform/text/Line.h"

#include <memory>
#include <vector>

namespace text {

class Frame {
public:
    Frame(gfx::Rect rect, Range stringRange, std::vector<std::shared_ptr<Line>> lines, std::vector<gfx::Point> origins);

    const gfx::Rect& rect() const { return rect_; }
    // The range the frame was asked to lay out.
    Range stringRange() const { return range_; }
    // The characters of the lines that fit.
    Range visibleStringRange() const;
    const std::vector<std::shared_ptr<Line>>& lines() const { return lines_; }
    const std::vector<gfx::Point>& lineOrigins() const { return origins_; }

private:
    gfx::Rect rect_;
    Range range_;
    std::vector<std::shared_ptr<Line>> lines_;
    std::vector<gfx::Point> origins_;
};

} // namespace text
