#include "ui/c.h"

#include "ui/TextPieces.h"

#include <cstdio>

namespace kit {
namespace {

constexpr std::string_view kMark = "rrrr";

// A number as the markup writes it: six decimals (36.000000).
std::string sixDecimals(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return buffer;
}

} // namespace

std::string c::highlightMarkup(std::string_view text) {
    const std::string size = sixDecimals(36), offset = sixDecimals(0);
    std::string markup;
    for (auto piece : cutText(text, ":-:")) {
        std::string_view colour = "999999";
        if (piece.starts_with(kMark)) {
            piece.remove_prefix(kMark.size());
            colour = "FF5B78";
        }
        markup += "##v:&:";
        markup += piece;
        markup += ",&,c:&:";
        markup += colour;
        markup += ",&,f:&:" + size + ",&,fo:&:" + offset;
    }
    return markup;
}

} // namespace kit
