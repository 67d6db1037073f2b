#pragma once
// A row (or item) in a section of a table or collection view.

#include <compare>

namespace ui {

struct IndexPath {
    long section = 0;
    long row = 0;

    static constexpr IndexPath forRow(long row, long section) { return {section, row}; }
    static constexpr IndexPath forItem(long item, long section) { return {section, item}; }
    constexpr long item() const { return row; }
    constexpr auto operator<=>(const IndexPath&) const = default;
};

} // namespace ui
