#pragma once
// Private to platform_text: the data behind Framesetter, Line and Run, and the Pango work they
// share. Nothing outside this library includes it.

#include "platform/gfx/Font.h"
#include "platform/text/AttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/Run.h"

#include <pango/pango.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace text::detail {

// The attributed string prepared for Pango: the mapping between its UTF-16 indexing and the
// UTF-8 bytes Pango counts in. The UTF-8 text itself is made for each layout from its own
// range. The mapping keeps the byte of every 64th unit only and walks the units between, so it
// costs a sixteenth of a byte a unit rather than the 4 bytes a unit of a full table.
struct Storage {
    AttributedString string;
    std::uint32_t utf8Length = 0;            // bytes of the whole text in UTF-8
    std::vector<std::uint32_t> checkpoints;  // the byte of unit 64 k; the last one is the end

    // UTF-16 index -> UTF-8 byte where its character starts (both halves of a surrogate pair give
    // the pair's first byte); utf8Length at length().
    std::uint32_t byteOf(std::size_t index) const;
    // UTF-8 byte -> UTF-16 index of the character holding it (length() at the end).
    std::size_t unitOf(std::size_t byte) const;

    static std::shared_ptr<const Storage> make(AttributedString string);

    gfx::Font fontAt(std::size_t index) const;
    ParagraphStyle paragraphStyleAt(std::size_t index) const;
};

struct FontMetrics {
    double ascent = 0, descent = 0, leading = 0;
};
// Metrics of a Pango font, cached for the process.
FontMetrics metricsOf(PangoFont* font);
FontMetrics metricsOf(const gfx::Font& font);

enum class Breaking { wordWrap, charWrap, none };

// A Pango layout of `range` of the storage. Fonts and run delegates become Pango attributes;
// without wrapping a width below 0 is passed. `singleLine` keeps paragraph separators inside the
// one line (they take no space). The caller owns the layout.
PangoLayout* makeLayout(const Storage& storage, Range range, double width, Breaking breaking, bool singleLine);

// Ours from Pango's: one line of a layout that started at `layoutStart` (UTF-16) of the storage.
struct LineData {
    std::shared_ptr<const Storage> storage;
    PangoLayout* layout = nullptr;   // one reference, released with the line
    PangoLayoutLine* line = nullptr; // one reference
    std::size_t layoutStart = 0;     // UTF-16
    Range range;
    double ascent = 0, descent = 0, leading = 0, width = 0, trailingWhitespace = 0;
    ParagraphStyle style;
    mutable bool runsBuilt = false;
    mutable std::vector<std::shared_ptr<Run>> runs;

    ~LineData();
};

// Builds a line of a layout: metrics now, runs on first use.
std::unique_ptr<LineData> makeLineData(std::shared_ptr<const Storage> storage, PangoLayout* layout,
                                       PangoLayoutLine* line, std::size_t layoutStart, Range range);
void buildRuns(const LineData& line);

struct RunData {
    std::shared_ptr<const Storage> storage;
    std::size_t attributeRun = 0;
    Range range;
    PangoFont* font = nullptr;          // one reference
    // The run's glyphs: a view into the Pango line's own glyph string (not a copy), which the
    // reference to the line keeps alive.
    PangoLayoutLine* line = nullptr;    // one reference
    PangoGlyphString view{};
    PangoGlyphString* glyphs = &view;
    std::vector<std::size_t> clusters;  // UTF-16 index of each glyph's cluster
    double x = 0, width = 0, ascent = 0, descent = 0, leading = 0;
    bool rightToLeft = false;

    RunData() = default;
    RunData(const RunData&) = delete;  // `glyphs` points into the object itself
    RunData& operator=(const RunData&) = delete;
    ~RunData();
};

inline double fromPango(int units) { return units / static_cast<double>(PANGO_SCALE); }
inline double fromPango(std::int64_t units) { return static_cast<double>(units) / PANGO_SCALE; }

} // namespace text::detail
