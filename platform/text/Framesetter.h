#pragma once
// Lays one attributed string out into frames, on Pango. The string is converted for Pango once
// (UTF-8 text, a UTF-16 to UTF-8 index table); Pango breaks and shapes the text, and the layer
// splits Pango's runs at every attribute boundary of the string, assigning glyphs by cluster.
// Fonts come from kFontAttributeName (the 12-point system font where none is given), run
// delegates become Pango shape attributes, and paragraphs take their paragraph style from their
// first character. The last layout (range and width) is kept, so measuring and then drawing at
// one width lays the text out once; it reaches only as far as a frame asked for has needed, so
// a frame of the top of a very long text costs what that top costs. Long paragraphs are laid
// out a piece at a time, each line breaking where it would in one layout.
//
// Thread safety: one framesetter is used by one thread at a time.

#include "platform/gfx/Rect.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Frame.h"

#include <memory>

namespace text {

namespace detail { struct Storage; struct LayoutCache; }

class Framesetter {
public:
    explicit Framesetter(AttributedString string);
    ~Framesetter();
    Framesetter(const Framesetter&) = delete;
    Framesetter& operator=(const Framesetter&) = delete;

    const AttributedString& attributedString() const;

    // The lines of `range` (length 0: to the end of the text) that fit in `rect`.
    std::shared_ptr<Frame> createFrame(Range range, const gfx::Rect& rect) const;
    // The size the lines of `range` that fit within `constraints` take: the widest line without
    // its trailing whitespace, and the bottom of the last line that fits. `fitRange` receives
    // the characters of those lines.
    gfx::Size suggestFrameSize(Range range, gfx::Size constraints, Range* fitRange = nullptr) const;

private:
    struct Placed;
    // The lines of `range` at `width` whose bottoms are within `height` (below 0: all), laying
    // out more of the text when the kept lines do not reach that far.
    std::vector<Placed> place(Range range, double width, double height) const;
    // Lays out the paragraphs from `start` (at most about a piece of them) and appends their
    // lines; gives where the next piece starts.
    std::size_t layOutPiece(std::size_t start, std::size_t end, double width,
                            std::vector<std::shared_ptr<Line>>& lines) const;
    // UTF-16 units laid out at once: Pango's int widths hold a piece at up to 500 points a glyph.
    static constexpr std::size_t kPieceLength = 4096;

    std::shared_ptr<const detail::Storage> storage_;
    std::unique_ptr<detail::LayoutCache> cache_;
};

} // namespace text
