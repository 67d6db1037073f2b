#include "platform/text/Framesetter.h"

#include "platform/text/LayoutInternals.h"

#include <algorithm>
#include <cmath>

namespace text {

namespace detail {

// The lines of the last range laid out, and the width they were broken at.
struct LayoutCache {
    bool valid = false;
    Range range;
    double width = 0;
    std::vector<std::shared_ptr<Line>> lines;
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
        const std::u16string& chars = storage_->string.characters();
        // Paragraphs that break lines alike share one Pango layout.
        std::size_t segmentStart = range.location;
        while (segmentStart < range.end()) {
            detail::Breaking breaking = breakingOf(storage_->paragraphStyleAt(segmentStart));
            std::size_t p = segmentStart, segmentEnd = segmentStart;
            while (p < range.end()) {
                if (p != segmentStart && breakingOf(storage_->paragraphStyleAt(p)) != breaking) break;
                while (p < range.end() && !isParagraphSeparator(chars[p])) ++p;
                if (p < range.end()) {
                    if (chars[p] == u'\r' && p + 1 < range.end() && chars[p + 1] == u'\n') ++p;
                    ++p;
                }
                segmentEnd = p;
            }
            Range segment{segmentStart, segmentEnd - segmentStart};
            PangoLayout* layout = detail::makeLayout(*storage_, segment, width, breaking, false);
            const std::uint32_t base = storage_->byteOf[segment.location];
            GSList* lines = pango_layout_get_lines_readonly(layout);
            std::vector<PangoLayoutLine*> kept;
            for (GSList* l = lines; l; l = l->next) kept.push_back(static_cast<PangoLayoutLine*>(l->data));
            // After a final paragraph separator Pango opens an empty line that holds nothing.
            if (kept.size() > 1 && isParagraphSeparator(chars[segment.end() - 1]) && kept.back()->length == 0)
                kept.pop_back();
            for (std::size_t i = 0; i < kept.size(); ++i) {
                std::size_t start = storage_->unitOf[base + static_cast<std::uint32_t>(kept[i]->start_index)];
                std::size_t end = i + 1 < kept.size()
                                      ? storage_->unitOf[base + static_cast<std::uint32_t>(kept[i + 1]->start_index)]
                                      : segment.end();
                cache.lines.push_back(std::make_shared<Line>(
                    detail::makeLineData(storage_, layout, kept[i], segment.location, {start, end - start})));
            }
            g_object_unref(layout);
            segmentStart = segmentEnd;
        }
        cache.valid = true;
        cache.range = range;
        cache.width = width;
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
