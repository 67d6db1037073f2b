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

constexpr std::size_t kCheckpointUnits = 64;

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The UTF-8 bytes that a unit adds before the next unit starts. A surrogate pair's four bytes
// count at its second half, so that both halves map to the pair's first byte; a lone surrogate
// is written as U+FFFD.
std::uint32_t bytesOfUnit(const std::u16string& chars, std::size_t i) {
    const char16_t c = chars[i];
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (isHighSurrogate(c)) return i + 1 < chars.size() && isLowSurrogate(chars[i + 1]) ? 0 : 3;
    if (isLowSurrogate(c)) return i > 0 && isHighSurrogate(chars[i - 1]) ? 4 : 3;
    return 3;
}

} // namespace

std::shared_ptr<const Storage> Storage::make(AttributedString string) {
    auto storage = std::make_shared<Storage>();
    const std::u16string& chars = string.characters();
    storage->checkpoints.reserve(chars.size() / kCheckpointUnits + 2);
    std::uint32_t byte = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (i % kCheckpointUnits == 0) storage->checkpoints.push_back(byte);
        byte += bytesOfUnit(chars, i);
    }
    if (chars.size() % kCheckpointUnits == 0) storage->checkpoints.push_back(byte);
    storage->utf8Length = byte;
    storage->string = std::move(string);
    return storage;
}

std::uint32_t Storage::byteOf(std::size_t index) const {
    const std::u16string& chars = string.characters();
    if (index >= chars.size()) return utf8Length;
    std::size_t i = index / kCheckpointUnits * kCheckpointUnits;
    std::uint32_t byte = checkpoints[index / kCheckpointUnits];
    for (; i < index; ++i) byte += bytesOfUnit(chars, i);
    return byte;
}

std::size_t Storage::unitOf(std::size_t byte) const {
    const std::u16string& chars = string.characters();
    if (byte >= utf8Length || chars.empty()) return chars.size();
    // From the last checkpoint at or before the byte, unit by unit.
    auto after = std::upper_bound(checkpoints.begin(), checkpoints.end(), byte);
    const std::size_t k = after == checkpoints.begin() ? 0 : static_cast<std::size_t>(after - checkpoints.begin()) - 1;
    std::size_t i = std::min(k * kCheckpointUnits, chars.size() - 1);
    std::size_t at = byteOf(i);
    // A checkpoint on a pair's second half: the character starts one unit earlier, at that byte.
    if (i > 0 && isLowSurrogate(chars[i]) && isHighSurrogate(chars[i - 1])) --i;
    std::size_t start = i;
    for (; i < chars.size(); ++i) {
        const std::size_t next = at + bytesOfUnit(chars, i);
        if (next > byte) return start;
        if (next != at) start = i + 1;
        at = next;
    }
    return chars.size();
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
    const std::uint32_t b0 = storage.byteOf(range.location);
    // The range's bytes as the whole text has them: a bound on the second half of a pair stands
    // where the pair starts.
    const std::u16string& chars = storage.string.characters();
    auto wholeCharacter = [&](std::size_t i) {
        return i > 0 && i < chars.size() && isLowSurrogate(chars[i]) && isHighSurrogate(chars[i - 1]) ? i - 1 : i;
    };
    const std::size_t from = wholeCharacter(range.location);
    const std::string utf8 =
        core::utf16::toUtf8(std::u16string_view(chars).substr(from, wholeCharacter(range.end()) - from));
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    gfx::Font base = range.length ? storage.fontAt(range.location) : kDefaultFont;
    PangoFontDescription* baseDesc = gfx::newPangoFontDescription(base);
    pango_layout_set_font_description(layout, baseDesc);
    pango_font_description_free(baseDesc);

    PangoAttrList* list = nullptr;
    auto attrs = [&] { return list ? list : (list = pango_attr_list_new()); };
    storage.string.enumerateAttributes(range, [&](const Attributes& a, Range r, bool&) {
        unsigned start = storage.byteOf(r.location) - b0, end = storage.byteOf(r.end()) - b0;
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
                addShape(attrs(), storage.byteOf(i) - b0, storage.byteOf(i + 1) - b0, 0, 0, 0);
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
    if (line) pango_layout_line_unref(line);
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
    const std::uint32_t base = storage->byteOf(layoutStart);
    std::size_t end = storage->unitOf(base + static_cast<std::uint32_t>(line->start_index + line->length));
    std::size_t first = end;
    while (first > range.location) {
        char16_t c = chars[first - 1];
        if (c != u' ' && c != u'\t' && c != u'\u3000' && !isParagraphSeparator(c)) break;
        --first;
    }
    if (first < end) {
        int x = 0;
        pango_layout_line_index_to_x(line, static_cast<int>(storage->byteOf(first) - base), FALSE, &x);
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
    const std::uint32_t base = storage.byteOf(line.layoutStart);
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
            data->line = pango_layout_line_ref(line.line);
            data->view.num_glyphs = j - i;
            data->view.glyphs = glyphs->glyphs + i;
            data->view.log_clusters = glyphs->log_clusters + i;
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
