#include "ui/TextPieces.h"

namespace kit {

std::vector<std::string_view> cutText(std::string_view source, std::string_view separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t at = source.find(separator); at != std::string_view::npos; at = source.find(separator, start)) {
        pieces.push_back(source.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.push_back(source.substr(start));
    return pieces;
}

std::string replaceAll(std::string_view source, std::string_view from, std::string_view to) {
    std::string result;
    auto pieces = cutText(source, from);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i) result += to;
        result += pieces[i];
    }
    return result;
}

} // namespace kit
