#pragma once
// Laid-out text on Pango (shaping by HarfBuzz, fonts by fontconfig): one paragraph style (font,
// alignment, line breaking, a maximum number of lines) over UTF-8 text, measured and drawn in
// points.
//
// Fonts come from a private fontconfig configuration that holds only Noto Sans CJK (regular and
// bold, from the fonts-noto-cjk package), with hinting off and grey antialiasing, so measurements
// and pixels do not depend on the machine's font setup. Main thread only.

#include "platform/gfx/Color.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Point.h"
#include "platform/gfx/Size.h"

#include <memory>
#include <optional>
#include <string>

namespace gfx {

class Context;

class TextLayout {
public:
    enum class Alignment { left, center, right, justified };
    // How text that does not fit is broken or cut: wrapping at words or characters, clipping, or
    // truncation with an ellipsus at the head, the tail or the middle of the last line.
    enum class LineBreak { wordWrap, charWrap, clip, truncateHead, truncateTail, truncateMiddle };

    TextLayout();
    ~TextLayout();
    TextLayout(TextLayout&&) noexcept;
    TextLayout& operator=(TextLayout&&) noexcept;

    void setText(const std::string& utf8);
    void setFont(const Font& font);
    void setAlignment(Alignment alignment);
    void setLineBreak(LineBreak mode);
    // 0 means as many lines as the text needs.
    void setMaximumLines(int lines);
    // The width lines wrap at; no value means unlimited (one line per paragraph).
    void setWidth(std::optional<double> width);
    // A height that the text must fit in: lines that would not fit are dropped (the last one kept
    // is truncated when the line break mode truncates).
    void setHeight(std::optional<double> height);

    // The extent of the laid-out text: the widest line and the height of all lines.
    Size size() const;
    int lineCount() const;

    // Draws the bytes [start, end) of the text in `color`, underlined (a link), whatever colour
    // the rest is drawn in. Set after the text.
    void addLink(std::size_t start, std::size_t end, const Color& color);
    // The byte offset of the character under `p` (the layout box's coordinates); none outside
    // the laid-out text.
    std::optional<std::size_t> byteIndexAt(Point p) const;
    // Draws with the layout box's top-left corner at `origin`.
    void draw(Context& context, Point origin, const Color& color) const;

    // True when the pinned fonts were found; false means the machine's default fonts are used.
    static bool usesPinnedFonts();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace gfx
