#pragma once
// One item of a SegmentView's icon mode: a caption and the icon for the normal and the selected
// state, each either an image of the app's resources (by name) or an address to load it from. A
// name, when given, wins over the address.
#include <optional>
#include <string>

namespace kit {

struct SegmentViewItemModel {
    std::optional<std::string> title;
    std::optional<std::string> imageString;
    std::optional<std::string> hightlightImageString;
    std::optional<std::string> imageUrl;
    std::optional<std::string> hightlightUrl;
};

} // namespace kit
