#include "platform/text/LayoutInternals.h"

#include "platform/core/Utf16.h"
#include "platform/gfx/PangoFonts.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/RunDelegate.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

namespace text::detail {
namespace {

const gfx::Font kDefaultFont = gfx::Font::systemFont(12);

bool isParagraphSeparator(char16_t c) { return c == u'\n' || c == u'\r' || c == u'\u2029'; }

// The logical box Pango was given for a shaped item (a run delegate or an empty U+FFFC).
const PangoAttrShape* shapeOf(const PangoItem* item) {
    for (GSList* l = item->analysis.extra_attrs; l; l = l->next) {
        auto* attr = static_cast<PangoAttribute*>(l->data);
        if (attr->klass->type == PANGO_ATTR_SHAPE) return reinterpret_cast<const PangoAttrShape*>(attr);
    }
    return nullptr;
}

FontMetrics metricsOfItem(const PangoItem* item) {
    if (const PangoAttrShape* shape = shapeOf(item))
        return {-fromPango(shape->logical_rect.y), fromPango(shape->logical_rect.height + shape->logical_rect.y), 0};
    return metricsOf(item->analysis.font);
}

void addShape(PangoAttrList* list, unsigned start, unsigned end, double ascent, double descent, double width) {
    PangoRectangle box{0, -static_cast<int>(ascent * PANGO_SCALE), static_cast<int>(width * PANGO_SCALE),
                       static_cast<int>((ascent + descent) * PANGO_SCALE)};
    PangoAttribute* attr = pango_attr_shape_new(&box, &box);
    attr->start_index = start;
    attr->end_index = end;
    pango_attr_list_insert(list, attr);
}

} // namespace

std::shared_ptr<const Storage> Storage::make(AttributedString string) {
    auto storage = std::make_shared<Storage>();
    storage->utf8 = core::utf16::toUtf8(string.characters());
    storage->utf8.shrink_to_fit();  // kept as long as the layout: not with the room it grew
    const std::string& utf8 = storage->utf8;
    storage->byteOf.reserve(string.length() + 1);
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t start = pos;
        core::utf16::decode(utf8, pos);
        std::size_t units = core::utf16::length(std::string_view(utf8).substr(start, pos - start));
        for (std::size_t u = 0; u < units; ++u) storage->byteOf.push_back(static_cast<std::uint32_t>(start));
    }
    // Unpaired surrogates become one replacement character; keep the table as long as the text.
    while (storage->byteOf.size() < string.length()) storage->byteOf.push_back(static_cast<std::uint32_t>(utf8.size()));
    storage->byteOf.push_back(static_cast<std::uint32_t>(utf8.size()));
    storage->string = std::move(string);
    return storage;
}

std::size_t Storage::unitOf(std::size_t byte) const {
    const std::size_t length = string.length();
    if (byte >= utf8.size() || length == 0) return length;
    // byteOf never decreases: the last unit starting at or before the byte is in its character,
    // and the first unit with that start is where the character begins.
    const auto units = byteOf.begin(), unitsEnd = byteOf.begin() + static_cast<std::ptrdiff_t>(length);
    auto after = std::upper_bound(units, unitsEnd, byte);
    if (after == units) return 0;
    return static_cast<std::size_t>(std::lower_bound(units, after, *(after - 1)) - units);
}

gfx::Font Storage::fontAt(std::size_t index) const {
    const gfx::Font* font = unbox<gfx::Font>(string.attributeAt(kFontAttributeName, index));
    return font ? *font : kDefaultFont;
}

ParagraphStyle Storage::paragraphStyleAt(std::size_t index) const {
    const ParagraphStyle* style = unbox<ParagraphStyle>(string.attributeAt(kParagraphStyleAttributeName, index));
    return style ? *style : ParagraphStyle{};
}

FontMetrics metricsOf(PangoFont* font) {
    static std::mutex mutex;
    static std::unordered_map<PangoFont*, FontMetrics> cache;
    std::lock_guard lock(mutex);
    if (auto it = cache.find(font); it != cache.end()) return it->second;
    FontMetrics m;
    if (font) {
        PangoFontMetrics* metrics = pango_font_get_metrics(font, nullptr);
        m.ascent = fromPango(pango_font_metrics_get_ascent(metrics));
        m.descent = fromPango(pango_font_metrics_get_descent(metrics));
        m.leading = std::max(0.0, fromPango(pango_font_metrics_get_height(metrics)) - m.ascent - m.descent);
        pango_font_metrics_unref(metrics);
        g_object_ref(font);  // the cache keys on the font, so it must stay alive
    }
    cache.emplace(font, m);
    return m;
}

FontMetrics metricsOf(const gfx::Font& font) {
    PangoFontDescription* desc = gfx::newPangoFontDescription(font);
    PangoFont* loaded = pango_context_load_font(gfx::sharedPangoContext(), desc);
    pango_font_description_free(desc);
    FontMetrics m = metricsOf(loaded);
    if (loaded) g_object_unref(loaded);
    return m;
}

PangoLayout* makeLayout(const Storage& storage, Range range, double width, Breaking breaking, bool singleLine) {
    PangoLayout* layout = pango_layout_new(gfx::sharedPangoContext());
    const std::uint32_t b0 = storage.byteOf[range.location];
    const std::uint32_t b1 = storage.byteOf[range.end()];
    pango_layout_set_text(layout, storage.utf8.data() + b0, static_cast<int>(b1 - b0));
    gfx::Font base = range.length ? storage.fontAt(range.location) : kDefaultFont;
    PangoFontDescription* baseDesc = gfx::newPangoFontDescription(base);
    pango_layout_set_font_description(layout, baseDesc);
    pango_font_description_free(baseDesc);

    PangoAttrList* list = nullptr;
    auto attrs = [&] { return list ? list : (list = pango_attr_list_new()); };
    const std::u16string& chars = storage.string.characters();
    storage.string.enumerateAttributes(range, [&](const Attributes& a, Range r, bool&) {
        unsigned start = storage.byteOf[r.location] - b0, end = storage.byteOf[r.end()] - b0;
        if (const gfx::Font* font = unbox<gfx::Font>(a.find(kFontAttributeName)); font && !(*font == base)) {
            PangoFontDescription* desc = gfx::newPangoFontDescription(*font);
            PangoAttribute* attr = pango_attr_font_desc_new(desc);
            pango_font_description_free(desc);
            attr->start_index = start;
            attr->end_index = end;
            pango_attr_list_insert(attrs(), attr);
        }
        if (const RunDelegatePtr* delegate = unbox<RunDelegatePtr>(a.find(kRunDelegateAttributeName));
            delegate && *delegate) {
            addShape(attrs(), start, end, (*delegate)->ascent(), (*delegate)->descent(), (*delegate)->width());
            return;
        }
        // A bare object replacement character, and in a single line a paragraph separator, is an
        // empty box: no glyph, no advance.
        for (std::size_t i = r.location; i < r.end(); ++i) {
            char16_t c = chars[i];
            if (c == kObjectReplacementCharacter || (singleLine && isParagraphSeparator(c)))
                addShape(attrs(), storage.byteOf[i] - b0, storage.byteOf[i + 1] - b0, 0, 0, 0);
        }
    });
    if (list) {
        pango_layout_set_attributes(layout, list);
        pango_attr_list_unref(list);
    }
    if (breaking != Breaking::none && width >= 0 && width < 1e6) {
        pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_wrap(layout, breaking == Breaking::charWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    }
    if (singleLine) pango_layout_set_single_paragraph_mode(layout, TRUE);
    return layout;
}

LineData::~LineData() {
    if (line) pango_layout_line_unref(line);
    if (layout) g_object_unref(layout);
}

RunData::~RunData() {
    if (glyphs) pango_glyph_string_free(glyphs);
    if (font) g_object_unref(font);
}

std::unique_ptr<LineData> makeLineData(std::shared_ptr<const Storage> storage, PangoLayout* layout,
                                       PangoLayoutLine* line, std::size_t layoutStart, Range range) {
    auto data = std::make_unique<LineData>();
    data->layout = static_cast<PangoLayout*>(g_object_ref(layout));
    data->line = pango_layout_line_ref(line);
    data->layoutStart = layoutStart;
    data->range = range;
    bool any = false;
    for (GSList* l = line->runs; l; l = l->next) {
        FontMetrics m = metricsOfItem(static_cast<PangoGlyphItem*>(l->data)->item);
        data->ascent = std::max(data->ascent, m.ascent);
        data->descent = std::max(data->descent, m.descent);
        data->leading = std::max(data->leading, m.leading);
        any = true;
    }
    const std::size_t length = storage->string.length();
    if (!any) {
        FontMetrics m = metricsOf(storage->fontAt(std::min(range.location, length ? length - 1 : 0)));
        data->ascent = m.ascent;
        data->descent = m.descent;
        data->leading = m.leading;
    }
    PangoRectangle logical;
    pango_layout_line_get_extents(line, nullptr, &logical);
    data->width = fromPango(logical.width);

    // Trailing whitespace (and the separator that ends the paragraph) does not count for
    // alignment or for the width a frame needs.
    const std::u16string& chars = storage->string.characters();
    const std::uint32_t base = storage->byteOf[layoutStart];
    std::size_t end = storage->unitOf(base + static_cast<std::uint32_t>(line->start_index + line->length));
    std::size_t first = end;
    while (first > range.location) {
        char16_t c = chars[first - 1];
        if (c != u' ' && c != u'\t' && c != u'\u3000' && !isParagraphSeparator(c)) break;
        --first;
    }
    if (first < end) {
        int x = 0;
        pango_layout_line_index_to_x(line, static_cast<int>(storage->byteOf[first] - base), FALSE, &x);
        data->trailingWhitespace = std::max(0.0, data->width - fromPango(x));
    }
    if (range.length) data->style = storage->paragraphStyleAt(range.location);
    data->storage = std::move(storage);
    return data;
}

void buildRuns(const LineData& line) {
    if (line.runsBuilt) return;
    line.runsBuilt = true;
    const Storage& storage = *line.storage;
    const std::uint32_t base = storage.byteOf[line.layoutStart];
    // Widths are summed in 64 bits: a line of a million glyphs passes INT_MAX Pango units.
    std::int64_t cursor = 0;
    for (GSList* l = line.line->runs; l; l = l->next) {
        auto* glyphItem = static_cast<PangoGlyphItem*>(l->data);
        const PangoItem* item = glyphItem->item;
        const PangoGlyphString* glyphs = glyphItem->glyphs;
        FontMetrics metrics = metricsOfItem(item);
        Range itemRange{storage.unitOf(base + static_cast<std::uint32_t>(item->offset)), 0};
        itemRange.length =
            storage.unitOf(base + static_cast<std::uint32_t>(item->offset + item->length)) - itemRange.location;
        auto clusterOf = [&](int glyph) -> std::size_t {
            return storage.unitOf(base + static_cast<std::uint32_t>(item->offset + glyphs->log_clusters[glyph]));
        };
        int i = 0;
        while (i < glyphs->num_glyphs) {
            std::size_t attributeRun = storage.string.runIndexAt(clusterOf(i));
            auto data = std::make_unique<RunData>();
            data->storage = line.storage;
            data->attributeRun = attributeRun;
            int j = i;
            std::int64_t width = 0;
            while (j < glyphs->num_glyphs) {
                std::size_t cluster = clusterOf(j);
                if (storage.string.runIndexAt(cluster) != attributeRun) break;
                data->clusters.push_back(cluster);
                width += glyphs->glyphs[j].geometry.width;
                ++j;
            }
            data->glyphs = pango_glyph_string_new();
            pango_glyph_string_set_size(data->glyphs, j - i);
            std::copy(glyphs->glyphs + i, glyphs->glyphs + j, data->glyphs->glyphs);
            std::copy(glyphs->log_clusters + i, glyphs->log_clusters + j, data->glyphs->log_clusters);
            data->font = item->analysis.font ? static_cast<PangoFont*>(g_object_ref(item->analysis.font)) : nullptr;
            data->range = intersection(storage.string.runRange(attributeRun), itemRange);
            data->x = fromPango(cursor);
            data->width = fromPango(width);
            data->ascent = metrics.ascent;
            data->descent = metrics.descent;
            data->leading = metrics.leading;
            data->rightToLeft = item->analysis.level % 2 == 1;
            cursor += width;
            line.runs.push_back(std::make_shared<Run>(std::move(data)));
            i = j;
        }
    }
}

} // namespace text::detail
