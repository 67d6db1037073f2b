#include "platform/text/Framesetter.h"

#include "platform/text/LayoutInternals.h"

#include <algorithm>
#include <cmath>

namespace text {

namespace detail {

// The lines of the last range laid out, and the width they were broken at. Lines are laid out
// only as far as a caller has asked for: `next` is where laying out goes on, and `nextTop` where
// the line after the last one would start.
struct LayoutCache {
    bool valid = false;
    Range range;
    double width = 0;
    std::vector<std::shared_ptr<Line>> lines;
    std::size_t next = 0;
    double nextTop = 0;
};

} // namespace detail

namespace {

bool isParagraphSeparator(char16_t c) { return c == u'\n' || c == u'\r' || c == u'\u2029'; }

detail::Breaking breakingOf(const ParagraphStyle& style) {
    switch (style.lineBreakMode) {
    case LineBreakMode::wordWrap: return detail::Breaking::wordWrap;
    case LineBreakMode::charWrap: return detail::Breaking::charWrap;
    default: return detail::Breaking::none;
    }
}

double flushOf(TextAlignment alignment) {
    switch (alignment) {
    case TextAlignment::center: return 0.5;
    case TextAlignment::right: return 1;
    default: return 0;
    }
}

} // namespace

struct Framesetter::Placed {
    std::shared_ptr<Line> line;
    double top = 0;  // from the top of the frame, y down
};

Framesetter::Framesetter(AttributedString string)
    : storage_(detail::Storage::make(std::move(string))), cache_(std::make_unique<detail::LayoutCache>()) {}
Framesetter::~Framesetter() = default;

const AttributedString& Framesetter::attributedString() const { return storage_->string; }

std::vector<Framesetter::Placed> Framesetter::place(Range range, double width, double height) const {
    const std::size_t length = storage_->string.length();
    if (range.length == 0) range.length = length - std::min(range.location, length);
    range = intersection(range, {0, length});

    detail::LayoutCache& cache = *cache_;
    if (!cache.valid || cache.range != range || cache.width != width) {
        cache.lines.clear();
        cache.valid = true;
        cache.range = range;
        cache.width = width;
        cache.next = range.location;
        cache.nextTop = 0;
    }
    // Only the lines that can be placed are laid out: a frame of a very long text needs Pango's
    // work (and memory) for what fits in it, not for the whole text.
    while (cache.next < range.end() && (height < 0 || cache.nextTop <= height + 1e-4)) {
        const std::size_t before = cache.lines.size();
        cache.next = layOutPiece(cache.next, range.end(), width, cache.lines);
        for (std::size_t i = before; i < cache.lines.size(); ++i) {
            const auto& d = cache.lines[i]->data();
            cache.nextTop += d.ascent + d.descent + d.leading + d.style.lineSpacing;
        }
    }

    std::vector<Placed> placed;
    double top = 0;
    for (const auto& line : cache.lines) {
        const auto& d = line->data();
        double bottom = top + d.ascent + d.descent + d.leading;
        if (height >= 0 && bottom > height + 1e-4) break;
        placed.push_back({line, top});
        top = bottom + d.style.lineSpacing;
    }
    return placed;
}

std::size_t Framesetter::layOutPiece(std::size_t start, std::size_t end, double width,
                                     std::vector<std::shared_ptr<Line>>& lines) const {
    const std::u16string& chars = storage_->string.characters();
    // Paragraphs that break lines alike share one Pango layout.
    detail::Breaking breaking = breakingOf(storage_->paragraphStyleAt(start));
    // Wrapped text is looked at no further than a piece ahead.
    const std::size_t scanEnd = breaking == detail::Breaking::none ? end : std::min(end, start + kPieceLength + 1);
    std::size_t p = start, segmentEnd = start;
    while (p < end) {
        if (p != start && breakingOf(storage_->paragraphStyleAt(p)) != breaking) break;
        while (p < scanEnd && !isParagraphSeparator(chars[p])) ++p;
        if (p < end && !isParagraphSeparator(chars[p])) {  // a paragraph longer than a piece
            segmentEnd = p;
            break;
        }
        if (p < end) {
            if (chars[p] == u'\r' && p + 1 < end && chars[p + 1] == u'\n') ++p;
            ++p;
        }
        segmentEnd = p;
        if (segmentEnd - start >= kPieceLength) break;
    }
    // A wrapped paragraph longer than a piece is laid out a piece at a time: Pango sums an item's
    // glyph widths in an int, and past INT_MAX units (about 170,000 ideographs at 12 points) it
    // takes the whole paragraph for one line. The last line of a piece may have been cut by the
    // piece's end, so it is laid out again as the start of the next piece; every other line
    // breaks exactly where it would in one layout of the whole paragraph.
    bool cut = false;
    if (breaking != detail::Breaking::none && segmentEnd - start > kPieceLength) {
        std::size_t cutAt = start + kPieceLength;
        // Not between the halves of a surrogate pair.
        while (cutAt < segmentEnd && chars[cutAt] >= 0xDC00 && chars[cutAt] <= 0xDFFF) ++cutAt;
        if (cutAt < segmentEnd) {
            // Whole paragraphs when the piece holds a paragraph's end.
            std::size_t last = cutAt;
            while (last > start && !isParagraphSeparator(chars[last - 1])) --last;
            if (last > start && chars[last - 1] == u'\r' && last < segmentEnd && chars[last] == u'\n') ++last;
            if (last > start) {
                segmentEnd = last;
            } else {
                segmentEnd = cutAt;
                cut = true;
            }
        }
    }
    Range segment{start, segmentEnd - start};
    PangoLayout* layout = detail::makeLayout(*storage_, segment, width, breaking, false);
    const std::uint32_t base = storage_->byteOf(segment.location);
    GSList* pangoLines = pango_layout_get_lines_readonly(layout);
    std::vector<PangoLayoutLine*> kept;
    for (GSList* l = pangoLines; l; l = l->next) kept.push_back(static_cast<PangoLayoutLine*>(l->data));
    // After a final paragraph separator Pango opens an empty line that holds nothing.
    if (kept.size() > 1 && isParagraphSeparator(chars[segment.end() - 1]) && kept.back()->length == 0)
        kept.pop_back();
    std::size_t next = segment.end();
    if (cut && kept.size() > 1) {
        next = storage_->unitOf(base + static_cast<std::uint32_t>(kept.back()->start_index));
        kept.pop_back();
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
        std::size_t lineStart = storage_->unitOf(base + static_cast<std::uint32_t>(kept[i]->start_index));
        std::size_t lineEnd =
            i + 1 < kept.size() ? storage_->unitOf(base + static_cast<std::uint32_t>(kept[i + 1]->start_index)) : next;
        lines.push_back(std::make_shared<Line>(
            detail::makeLineData(storage_, layout, kept[i], segment.location, {lineStart, lineEnd - lineStart})));
    }
    g_object_unref(layout);
    return next;
}

std::shared_ptr<Frame> Framesetter::createFrame(Range range, const gfx::Rect& rect) const {
    gfx::Rect r = rect.standardized();
    auto placed = place(range, r.width(), r.height());
    std::vector<std::shared_ptr<Line>> lines;
    std::vector<gfx::Point> origins;
    for (const auto& p : placed) {
        const auto& d = p.line->data();
        double x = p.line->penOffsetForFlush(flushOf(d.style.alignment), r.width());
        lines.push_back(p.line);
        origins.push_back({x, r.height() - (p.top + d.ascent)});
    }
    return std::make_shared<Frame>(r, range, std::move(lines), std::move(origins));
}

gfx::Size Framesetter::suggestFrameSize(Range range, gfx::Size constraints, Range* fitRange) const {
    double height = std::isfinite(constraints.height) && constraints.height >= 0 ? constraints.height : -1;
    double width = std::isfinite(constraints.width) && constraints.width >= 0 ? constraints.width : -1;
    auto placed = place(range, width, height);
    gfx::Size size;
    for (const auto& p : placed) {
        const auto& d = p.line->data();
        size.width = std::max(size.width, d.width - d.trailingWhitespace);
        size.height = p.top + d.ascent + d.descent + d.leading;
    }
    if (fitRange) {
        *fitRange = placed.empty() ? Range{range.location, 0}
                                   : Range{placed.front().line->stringRange().location,
                                           placed.back().line->stringRange().end() -
                                               placed.front().line->stringRange().location};
    }
    return size;
}

} // namespace text
