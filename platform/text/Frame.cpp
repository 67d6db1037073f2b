#include "platform/text/Frame.h"

namespace text {

Frame::Frame(gfx::Rect rect, Range stringRange, std::vector<std::shared_ptr<Line>> lines,
             std::vector<gfx::Point> origins)
    : rect_(rect), range_(stringRange), lines_(std::move(lines)), origins_(std::move(origins)) {}

Range Frame::visibleStringRange() const {
    if (lines_.empty()) return {range_.location, 0};
    Range first = lines_.front()->stringRange();
    return {first.location, lines_.back()->stringRange().end() - first.location};
}

} // namespace text
