#include "platform/gfx/TextLayout.h"

#include "platform/core/Log.h"
#include "platform/gfx/CairoContext.h"
#include "platform/gfx/PangoFonts.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>
#include <string>
#include <string_view>
#include <unistd.h>

namespace gfx {
namespace {

constexpr const char* kFontFiles[] = {
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc",
};

struct FontSetup {
    PangoFontMap* map = nullptr;
    PangoContext* context = nullptr;
    bool pinned = false;
};

// A fontconfig configuration that knows only the pinned files, read from fontconfig's caches of
// their folders: the machine's (made when the fonts were installed) or, failing that, the user's,
// which fontconfig writes on the first run. Null when a file is missing from the result.
FcConfig* cachedConfigOfPinnedFiles() {
    std::string xml = "<fontconfig>";
    for (const char* file : kFontFiles) {
        const std::string path = file;
        xml += "<dir>" + path.substr(0, path.rfind('/')) + "</dir>";
    }
    xml += "<cachedir>/var/cache/fontconfig</cachedir><cachedir prefix=\"xdg\">fontconfig</cachedir>"
           "<selectfont><rejectfont><glob>*</glob></rejectfont><acceptfont>";
    for (const char* file : kFontFiles) xml += std::string("<glob>") + file + "</glob>";
    xml += "</acceptfont></selectfont></fontconfig>";
    FcConfig* config = FcConfigCreate();
    if (FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(xml.c_str()), FcFalse) &&
        FcConfigBuildFonts(config)) {
        FcFontSet* fonts = FcConfigGetFonts(config, FcSetSystem);
        bool all = fonts != nullptr;
        for (const char* file : kFontFiles) {
            bool found = false;
            for (int i = 0; fonts && i < fonts->nfont && !found; ++i) {
                FcChar8* name = nullptr;
                found = FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &name) == FcResultMatch &&
                        std::string_view(reinterpret_cast<const char*>(name)) == file;
            }
            all = all && found;
        }
        if (all) return config;
    }
    FcConfigDestroy(config);
    return nullptr;
}

// One font map for the process. Its fontconfig configuration knows only the pinned files, so no
// font of the machine can slip into a layout. It comes from fontconfig's caches (so the start
// does not read every face of the font collections to learn their characters); only when that
// fails are the files read as before.
FontSetup& fontSetup() {
    static FontSetup setup = [] {
        FontSetup s;
        s.map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        FcConfig* config = cachedConfigOfPinnedFiles();
        bool all = config != nullptr;
        if (!config) {
            config = FcConfigCreate();
            all = true;
            for (const char* file : kFontFiles)
                all = all && access(file, R_OK) == 0 &&
                      FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(file)) == FcTrue;
        }
        if (all && s.map && PANGO_IS_FC_FONT_MAP(s.map)) {
            pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(s.map), config);
            s.pinned = true;
        } else {
            core::log("Noto Sans CJK was not found (install fonts-noto-cjk); text uses the default fonts");
            if (!s.map) s.map = pango_cairo_font_map_get_default();
        }
        FcConfigDestroy(config);
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(s.map), 72);
        s.context = pango_font_map_create_context(s.map);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(s.context, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(s.context, FALSE);
        return s;
    }();
    return setup;
}

PangoFontDescription* describe(const Font& font) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, font.family.c_str());
    pango_font_description_set_absolute_size(d, std::fmax(font.pointSize, 0.01) * PANGO_SCALE);
    pango_font_description_set_weight(d, font.weight == Font::Weight::bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    return d;
}

struct Metrics {
    double ascent = 0, descent = 0, height = 0;
};

// Line metrics as a laid-out line has them, so that a font's line height and a one-line
// layout's height always agree.
Metrics metricsOf(const Font& font) {
    PangoLayout* layout = pango_layout_new(fontSetup().context);
    PangoFontDescription* d = describe(font);
    pango_layout_set_font_description(layout, d);
    pango_layout_set_text(layout, "\xe4\xb8\xad", -1);  // one CJK ideograph
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    Metrics out;
    out.height = logical.height / double(PANGO_SCALE);
    out.ascent = pango_layout_get_baseline(layout) / double(PANGO_SCALE);
    out.descent = out.height - out.ascent;
    pango_font_description_free(d);
    g_object_unref(layout);
    return out;
}

// ---- long lines
// Pango sums a line's glyph widths in an int of 1/1024 points, which a line of some 100,000
// glyphs passes: a longer line would not be ellipsized and draws its glyphs over each other. A
// layout that shows one line therefore gives Pango only as much of a long text as can reach the
// line (a head, a tail or both, by where the line is cut), measured a piece at a time; and a
// width without limit is summed from pieces. Texts up to one piece go to Pango whole.

// The characters of a piece: few enough that a piece of the widest glyphs stays far below
// Pango's limit at the font's size.
std::size_t pieceCharacters(const Font& font) {
    const double widest = std::fmax(font.pointSize, 0.01) * PANGO_SCALE * 4;
    return static_cast<std::size_t>(std::clamp(std::floor(INT_MAX / widest), 64.0, 4096.0));
}

// Where the piece that starts at `from` ends: `count` characters on, or the end.
std::size_t pieceEnd(std::string_view text, std::size_t from, std::size_t count) {
    const char* p = text.data() + from;
    const char* end = text.data() + text.size();
    for (std::size_t i = 0; i < count && p < end; ++i) p = g_utf8_next_char(p);
    return static_cast<std::size_t>(std::min(p, end) - text.data());
}

// Where the piece that ends at `to` starts: `count` characters back, or the start.
std::size_t pieceStart(std::string_view text, std::size_t to, std::size_t count) {
    const char* p = text.data() + to;
    for (std::size_t i = 0; i < count && p > text.data(); ++i) p = g_utf8_prev_char(p);
    return static_cast<std::size_t>(p - text.data());
}

// The width of a short text on one line, in points.
double pieceWidth(PangoLayout* scratch, std::string_view piece) {
    pango_layout_set_text(scratch, piece.data(), static_cast<int>(piece.size()));
    PangoRectangle logical;
    pango_layout_get_extents(scratch, nullptr, &logical);
    return logical.width / double(PANGO_SCALE);
}

// Measures texts a piece at a time in one font.
class PieceMeasure {
public:
    explicit PieceMeasure(const Font& font) : layout_(pango_layout_new(fontSetup().context)), count_(pieceCharacters(font)) {
        PangoFontDescription* d = describe(font);
        pango_layout_set_font_description(layout_, d);
        pango_font_description_free(d);
    }
    ~PieceMeasure() { g_object_unref(layout_); }
    PieceMeasure(const PieceMeasure&) = delete;
    PieceMeasure& operator=(const PieceMeasure&) = delete;

    std::size_t count() const { return count_; }

    // The end of the shortest head of `text` wider than `width`, with one piece more.
    std::size_t headBeyond(std::string_view text, double width) {
        double sum = 0;
        std::size_t at = 0;
        while (at < text.size() && sum <= width) {
            std::size_t next = pieceEnd(text, at, count_);
            sum += pieceWidth(layout_, text.substr(at, next - at));
            at = next;
        }
        return pieceEnd(text, at, count_);
    }
    // The start of the shortest tail of `text` wider than `width`, with one piece more.
    std::size_t tailBeyond(std::string_view text, double width) {
        double sum = 0;
        std::size_t at = text.size();
        while (at > 0 && sum <= width) {
            std::size_t previous = pieceStart(text, at, count_);
            sum += pieceWidth(layout_, text.substr(previous, at - previous));
            at = previous;
        }
        return pieceStart(text, at, count_);
    }
    // The width of `text` on one line.
    double width(std::string_view text) {
        double sum = 0;
        for (std::size_t at = 0; at < text.size();) {
            std::size_t next = pieceEnd(text, at, count_);
            sum += pieceWidth(layout_, text.substr(at, next - at));
            at = next;
        }
        return sum;
    }

private:
    PangoLayout* layout_;
    std::size_t count_;
};

// The length of the paragraph at the start of `text` (without its separator) and where the next
// one starts, as Pango divides paragraphs.
std::pair<std::size_t, std::size_t> firstParagraph(std::string_view text) {
    int end = 0, next = 0;
    pango_find_paragraph_boundary(text.data(), static_cast<int>(text.size()), &end, &next);
    return {static_cast<std::size_t>(end), static_cast<std::size_t>(next)};
}

} // namespace

double Font::lineHeight() const { return metricsOf(*this).height; }
double Font::ascender() const { return metricsOf(*this).ascent; }

struct TextLayout::Impl {
    PangoLayout* layout = nullptr;
    Font font;
    LineBreak lineBreak = LineBreak::truncateTail;
    int maximumLines = 0;
    std::optional<double> width;
    std::optional<double> height;
    std::string text;          // valid UTF-8
    bool givenWhole = true;    // Pango holds `text` itself, not a part of it
    bool showsOneLine = false; // at most one line shows, cut to the width

    // Gives Pango the text, or the part of it that can reach the one line that shows.
    void place() {
        std::string_view all = text;
        const bool cut = showsOneLine && width && all.size() > pieceCharacters(font);
        if (!cut) {
            if (!givenWhole) pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
            givenWhole = true;
            return;
        }
        const std::string_view line = all.substr(0, firstParagraph(all).first);
        PieceMeasure measure(font);
        const double room = std::fmax(*width, 0);
        std::string shown;
        if (lineBreak == LineBreak::truncateHead) {
            shown = line.substr(measure.tailBeyond(line, room));
        } else if (lineBreak == LineBreak::truncateMiddle) {
            const std::size_t head = measure.headBeyond(line, room), tail = measure.tailBeyond(line, room);
            shown = head < tail ? std::string(line.substr(0, head)).append(line.substr(tail)) : std::string(line);
        } else {
            shown = line.substr(0, measure.headBeyond(line, room));
        }
        pango_layout_set_text(layout, shown.data(), static_cast<int>(shown.size()));
        givenWhole = false;
    }

    // Wrapping, ellipsizing and the height limit interact in Pango; they are set together.
    void apply() {
        bool truncates = lineBreak == LineBreak::truncateHead || lineBreak == LineBreak::truncateTail ||
                         lineBreak == LineBreak::truncateMiddle;
        pango_layout_set_width(layout, width ? static_cast<int>(std::fmax(*width, 0) * PANGO_SCALE) : -1);
        pango_layout_set_wrap(layout, lineBreak == LineBreak::charWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
        PangoEllipsizeMode mode = PANGO_ELLIPSIZE_NONE;
        if (lineBreak == LineBreak::truncateHead) mode = PANGO_ELLIPSIZE_START;
        if (lineBreak == LineBreak::truncateTail) mode = PANGO_ELLIPSIZE_END;
        if (lineBreak == LineBreak::truncateMiddle) mode = PANGO_ELLIPSIZE_MIDDLE;
        // A negative height is a number of lines; a positive one a height in Pango units. With no
        // limit at all nothing may be ellipsized, since Pango's default limit is one line.
        int limit = 0;
        if (maximumLines > 0) limit = -maximumLines;
        if (height) {
            double line = metricsOf(font).height;
            int fit = std::max(1, static_cast<int>(std::floor(*height / std::fmax(line, 1e-6) + 1e-6)));
            if (limit == 0 || fit < -limit) limit = -fit;
        }
        if (!width) limit = 0;
        pango_layout_set_ellipsize(layout, truncates && limit != 0 ? mode : PANGO_ELLIPSIZE_NONE);
        pango_layout_set_height(layout, limit != 0 ? limit : -1);
        showsOneLine = limit == -1;
        place();
    }

    int visibleLines() const {
        int count = pango_layout_get_line_count(layout);
        if (maximumLines > 0) count = std::min(count, maximumLines);
        if (height) {
            double line = metricsOf(font).height;
            count = std::min(count, std::max(1, static_cast<int>(std::floor(*height / std::fmax(line, 1e-6) + 1e-6))));
        }
        return count;
    }
};

TextLayout::TextLayout() : impl_(std::make_unique<Impl>()) {
    impl_->layout = pango_layout_new(fontSetup().context);
    setFont(impl_->font);
    impl_->apply();
}

TextLayout::~TextLayout() {
    if (impl_ && impl_->layout) g_object_unref(impl_->layout);
}
TextLayout::TextLayout(TextLayout&&) noexcept = default;
TextLayout& TextLayout::operator=(TextLayout&&) noexcept = default;

void TextLayout::setText(const std::string& utf8) {
    // Pango refuses ill-formed UTF-8; such bytes are shown as replacement characters instead.
    gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
    impl_->text = valid;
    g_free(valid);
    impl_->givenWhole = false;
    impl_->place();
}

void TextLayout::setFont(const Font& font) {
    impl_->font = font;
    PangoFontDescription* d = describe(font);
    pango_layout_set_font_description(impl_->layout, d);
    pango_font_description_free(d);
    impl_->apply();
}

void TextLayout::setAlignment(Alignment alignment) {
    pango_layout_set_justify(impl_->layout, alignment == Alignment::justified);
    pango_layout_set_alignment(impl_->layout, alignment == Alignment::center  ? PANGO_ALIGN_CENTER
                                              : alignment == Alignment::right ? PANGO_ALIGN_RIGHT
                                                                              : PANGO_ALIGN_LEFT);
}

void TextLayout::setLineBreak(LineBreak mode) { impl_->lineBreak = mode; impl_->apply(); }
void TextLayout::setMaximumLines(int lines) { impl_->maximumLines = std::max(0, lines); impl_->apply(); }
void TextLayout::setWidth(std::optional<double> width) { impl_->width = width; impl_->apply(); }
void TextLayout::setHeight(std::optional<double> height) { impl_->height = height; impl_->apply(); }

Size TextLayout::size() const {
    PangoRectangle logical;
    pango_layout_get_extents(impl_->layout, nullptr, &logical);
    double w = logical.width / double(PANGO_SCALE);
    // Lines past the limit (clip mode, which Pango does not drop by itself) do not count.
    int visible = impl_->visibleLines();
    double h = 0;
    PangoLayoutIter* it = pango_layout_get_iter(impl_->layout);
    int index = 0;
    do {
        if (index++ >= visible) break;
        PangoRectangle lineRect;
        pango_layout_iter_get_line_extents(it, nullptr, &lineRect);
        h = (lineRect.y + lineRect.height) / double(PANGO_SCALE);
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    if (pango_layout_get_character_count(impl_->layout) == 0) return {0, 0};
    if (impl_->width && w > *impl_->width) w = *impl_->width;
    if (!impl_->width && impl_->text.size() > pieceCharacters(impl_->font)) {
        // Each paragraph is a line of its own; the widest, summed from pieces.
        PieceMeasure measure(impl_->font);
        std::string_view rest = impl_->text;
        w = 0;
        while (!rest.empty()) {
            auto [end, next] = firstParagraph(rest);
            w = std::fmax(w, measure.width(rest.substr(0, end)));
            if (next == 0 || next > rest.size()) break;
            rest.remove_prefix(next);
        }
    }
    return {std::ceil(w * 1000) / 1000, std::ceil(h * 1000) / 1000};
}

int TextLayout::lineCount() const { return impl_->visibleLines(); }

void TextLayout::addLink(std::size_t start, std::size_t end, const Color& color) {
    PangoAttrList* list = pango_layout_get_attributes(impl_->layout);
    list = list ? pango_attr_list_copy(list) : pango_attr_list_new();
    auto channel = [](double v) { return static_cast<guint16>(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); };
    PangoAttribute* fg = pango_attr_foreground_new(channel(color.red), channel(color.green), channel(color.blue));
    PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    for (PangoAttribute* a : {fg, underline}) {
        a->start_index = static_cast<guint>(start);
        a->end_index = static_cast<guint>(end);
        pango_attr_list_insert(list, a);
    }
    pango_layout_set_attributes(impl_->layout, list);
    pango_attr_list_unref(list);
}

std::optional<std::size_t> TextLayout::byteIndexAt(Point p) const {
    int index = 0, trailing = 0;
    if (!pango_layout_xy_to_index(impl_->layout, static_cast<int>(p.x * PANGO_SCALE), static_cast<int>(p.y * PANGO_SCALE),
                                  &index, &trailing))
        return std::nullopt;
    return static_cast<std::size_t>(index);
}

void TextLayout::draw(Context& context, Point origin, const Color& color) const {
    cairo_t* cr = nativeCairo(context);
    cairo_save(cr);
    Size extent = size();
    cairo_rectangle(cr, origin.x - 1e4, origin.y, 2e4, extent.height);
    cairo_clip(cr);
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha * context.alpha());
    cairo_move_to(cr, origin.x, origin.y);
    // The layout lives in the process's one Pango context, which every measure also uses; it is
    // not updated to this surface's transform, or drawing would change how all later text
    // measures. Cairo scales the glyphs to the surface itself (hinting is off).
    pango_cairo_show_layout(cr, impl_->layout);
    cairo_restore(cr);
}

bool TextLayout::usesPinnedFonts() { return fontSetup().pinned; }

PangoContext* sharedPangoContext() { return fontSetup().context; }
PangoFontDescription* newPangoFontDescription(const Font& font) { return describe(font); }

} // namespace gfx
