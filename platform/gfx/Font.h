#pragma once
// A font: a family, a size in points and a weight. The system font is Noto Sans CJK, pinned
// through a private fontconfig configuration (see TextLayout) so that text looks the same on
// every machine.

#include <string>

namespace gfx {

struct Font {
    enum class Weight { regular, bold };

    std::string family = "Noto Sans CJK SC";
    double pointSize = 17;
    Weight weight = Weight::regular;

    static Font systemFont(double size) { return {"Noto Sans CJK SC", size, Weight::regular}; }
    static Font boldSystemFont(double size) { return {"Noto Sans CJK SC", size, Weight::bold}; }

    bool operator==(const Font&) const = default;
    // The height of one line of text: ascender plus descender plus the font's line gap.
    double lineHeight() const;
    double ascender() const;
};

} // namespace gfx
