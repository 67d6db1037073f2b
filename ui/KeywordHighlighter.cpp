#include "ui/KeywordHighlighter.h"

#include "platform/core/Utf16.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "ui/c.h"

namespace kit {

text::AttributedString KeywordHighlighter::highlight(std::string_view plainText,
                                                     std::optional<std::string_view> searchText) {
    auto attributesIn = [](gfx::Color colour) {
        return text::Attributes{{std::string(text::kFontAttributeName), text::box(c::font36())},
                                {std::string(text::kForegroundColorAttributeName), text::box(colour)}};
    };
    text::AttributedString result(plainText, attributesIn(c::color999999()));
    if (!searchText || searchText->empty()) return result;

    // Matches are found in UTF-16 units, the units of the string's ranges, and the search goes on
    // after each match, so occurrences never overlap (as a left-to-right replacement would mark them).
    const auto pattern = core::utf16::fromUtf8(*searchText);
    const auto highlighted = attributesIn(c::colorFF5B78());
    for (auto match = result.find(pattern); match.location != text::kNotFound; match = result.find(pattern, match.end()))
        result.setAttributes(highlighted, match);
    return result;
}

} // namespace kit
