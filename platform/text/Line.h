#pragma once
// One laid-out line: its glyph runs, metrics and string range. Made by a frame, or from an
// attributed string on its own (one line, nothing wrapped), or by truncating another line.
// Immutable and shared.
//
// Metrics are ours, not Pango's spacing: a line's ascent, descent and leading are the largest of
// its runs' (fonts' or run delegates'); a line without runs takes those of the font at its start.
// Positions are in a y-up text space with the origin on the baseline at the line's left end.

#include "platform/gfx/Context.h"
#include "platform/gfx/Rect.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Run.h"

#include <memory>
#include <vector>

namespace text {

namespace detail { struct LineData; }

class Line : public std::enable_shared_from_this<Line> {
public:
    enum class TruncationType { start, end, middle };

    // The whole string as one line (paragraph separators take no space).
    static std::shared_ptr<Line> create(const AttributedString& string);

    explicit Line(std::unique_ptr<detail::LineData> data);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // The characters of the line, including a paragraph separator that ends it.
    Range stringRange() const;
    // The width, trailing whitespace included; ascent, descent (positive) and leading.
    double typographicBounds(double* ascent, double* descent, double* leading) const;
    double trailingWhitespaceWidth() const;
    // The box the glyphs cover, from the origin, y up.
    gfx::Rect imageBounds() const;
    // The x of the caret before the character at `index` (the line's end for an index past it).
    double offsetForStringIndex(std::size_t index) const;
    // Where a line starts to sit at `flushFactor` (0 left, 0.5 centre, 1 right) within
    // `flushWidth`; trailing whitespace does not count; never negative.
    double penOffsetForFlush(double flushFactor, double flushWidth) const;

    const std::vector<std::shared_ptr<Run>>& glyphRuns() const;
    std::size_t glyphCount() const;

    // A copy cut to `width` with `token` at the cut (the start, the end or the middle), on
    // whole characters. The line itself when it fits; nullptr when not even the token fits.
    std::shared_ptr<Line> createTruncatedLine(double width, TruncationType type,
                                              const std::shared_ptr<const Line>& token) const;

    // Draws every run with the origin at `textPosition`.
    void draw(gfx::Context& context, gfx::Point textPosition) const;

    const detail::LineData& data() const { return *data_; }

private:
    std::unique_ptr<detail::LineData> data_;
};

} // namespace text
