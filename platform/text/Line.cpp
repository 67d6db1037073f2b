#include "platform/text/Line.h"

#include "platform/text/LayoutInternals.h"

#include <algorithm>
#include <map>

namespace text {

Line::Line(std::unique_ptr<detail::LineData> data) : data_(std::move(data)) {}
Line::~Line() = default;

std::shared_ptr<Line> Line::create(const AttributedString& string) {
    auto storage = detail::Storage::make(string);
    Range all{0, string.length()};
    PangoLayout* layout = detail::makeLayout(*storage, all, -1, detail::Breaking::none, true);
    PangoLayoutLine* first = pango_layout_get_line_readonly(layout, 0);
    auto line = std::make_shared<Line>(detail::makeLineData(storage, layout, first, 0, all));
    g_object_unref(layout);
    return line;
}

Range Line::stringRange() const { return data_->range; }

double Line::typographicBounds(double* ascent, double* descent, double* leading) const {
    if (ascent) *ascent = data_->ascent;
    if (descent) *descent = data_->descent;
    if (leading) *leading = data_->leading;
    return data_->width;
}

double Line::trailingWhitespaceWidth() const { return data_->trailingWhitespace; }

gfx::Rect Line::imageBounds() const {
    PangoRectangle ink;
    pango_layout_line_get_extents(data_->line, &ink, nullptr);
    return {detail::fromPango(ink.x), -detail::fromPango(ink.y + ink.height), detail::fromPango(ink.width),
            detail::fromPango(ink.height)};
}

double Line::offsetForStringIndex(std::size_t index) const {
    const detail::Storage& storage = *data_->storage;
    index = std::min(index, storage.string.length());
    int x = 0;
    pango_layout_line_index_to_x(data_->line,
                                 static_cast<int>(storage.byteOf(index) - storage.byteOf(data_->layoutStart)), FALSE,
                                 &x);
    return detail::fromPango(x);
}

double Line::penOffsetForFlush(double flushFactor, double flushWidth) const {
    double used = data_->width - data_->trailingWhitespace;
    return std::max(0.0, (flushWidth - used) * std::clamp(flushFactor, 0.0, 1.0));
}

const std::vector<std::shared_ptr<Run>>& Line::glyphRuns() const {
    detail::buildRuns(*data_);
    return data_->runs;
}

std::size_t Line::glyphCount() const {
    std::size_t count = 0;
    for (const auto& run : glyphRuns()) count += run->glyphCount();
    return count;
}

std::shared_ptr<Line> Line::createTruncatedLine(double width, TruncationType type,
                                                const std::shared_ptr<const Line>& token) const {
    if (data_->width <= width + 1e-6) return std::const_pointer_cast<Line>(shared_from_this());
    double tokenWidth = token ? token->data_->width : 0;
    double room = width - tokenWidth;
    if (room < 0) return nullptr;

    // Advances per character (cluster start), in string order, so cuts fall on whole characters.
    std::map<std::size_t, double> advances;
    for (const auto& run : glyphRuns()) {
        const auto& d = run->data();
        for (int g = 0; g < d.glyphs->num_glyphs; ++g)
            advances[d.clusters[static_cast<std::size_t>(g)]] += detail::fromPango(d.glyphs->glyphs[g].geometry.width);
    }
    const AttributedString& source = data_->storage->string;
    Range range = data_->range;
    auto prefixEnd = [&](double limit) {  // the end of the longest head that fits in `limit`
        double used = 0;
        for (const auto& [index, advance] : advances) {
            if (used + advance > limit + 1e-6) return index;
            used += advance;
        }
        return range.end();
    };
    auto suffixStart = [&](double limit, std::size_t notBefore) {  // the start of the longest tail
        double used = 0;
        std::size_t start = range.end();
        for (auto it = advances.rbegin(); it != advances.rend() && it->first >= notBefore; ++it) {
            if (used + it->second > limit + 1e-6) break;
            used += it->second;
            start = it->first;
        }
        return start;
    };
    auto widthOf = [&](Range r) {
        double w = 0;
        for (const auto& [index, advance] : advances)
            if (r.contains(index)) w += advance;
        return w;
    };

    AttributedString tokenText = token ? token->data_->storage->string.substring(token->data_->range)
                                       : AttributedString();
    AttributedString result;
    if (type == TruncationType::end) {
        std::size_t end = prefixEnd(room);
        result = source.substring({range.location, end - range.location});
        result.append(tokenText);
    } else if (type == TruncationType::start) {
        std::size_t start = suffixStart(room, range.location);
        result = tokenText;
        result.append(source.substring({start, range.end() - start}));
    } else {
        std::size_t end = prefixEnd(room / 2);
        double headWidth = widthOf({range.location, end - range.location});
        std::size_t start = suffixStart(room - headWidth, end);
        result = source.substring({range.location, end - range.location});
        result.append(tokenText);
        result.append(source.substring({start, range.end() - start}));
    }
    return create(result);
}

void Line::draw(gfx::Context& context, gfx::Point textPosition) const {
    for (const auto& run : glyphRuns()) run->draw(context, textPosition);
}

} // namespace text
