#include "Modules/Main/Cells/RowTextHeight.h"

#include "rich_label/RLLabel.h"

#include <limits>

namespace kit {

double rowTextHeight(const text::AttributedString& string, double width) {
    return RLLabel::sizeWithAttributedString(string, {width, std::numeric_limits<double>::max()}, 0).height;
}

} // namespace kit
