#pragma once
// The answer list's highlighted text, built straight from the matches of the search text: the
// text in the shared 36 font and grey 999999, every occurrence of the search text (found left to
// right, occurrences not overlapping) in pink FF5B78. For ordinary text this is exactly what the
// markup path (c::highlightMarkup and NXRichStringFactory) gives, but no character of the text can
// be taken for markup, so texts holding "##", ",&,", ":-:", "：：" or "rrrr" show as they are.
// Main thread only (the font reads the window's short side on first use).
#include "platform/text/AttributedString.h"

#include <optional>
#include <string_view>

namespace kit {

class KeywordHighlighter {
public:
    // `searchText` absent or empty highlights nothing.
    static text::AttributedString highlight(std::string_view text, std::optional<std::string_view> searchText);
};

} // namespace kit
