#pragma once
// What a controller shows in the navigation bar while it is the top of a navigation stack, beside
// its title: the left items. An item is a custom view (placed at its own size, centred in the
// bar's height) or a fixed space (its width, which may be negative, moves the next item). The left
// items run from the bar's standard margin towards the right. The bar follows changes at once.
// Main thread only.

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <vector>

namespace ui {

class NavigationItem {
public:
    // The bar's margin before the first left item.
    static constexpr double kStandardMargin = 16;

    const std::vector<std::shared_ptr<BarButtonItem>>& leftBarButtonItems() const { return leftItems_; }
    void setLeftBarButtonItems(std::vector<std::shared_ptr<BarButtonItem>> items);

    // Set by the controller that owns the item: runs after every change.
    std::function<void()> onChange;

private:
    std::vector<std::shared_ptr<BarButtonItem>> leftItems_;
};

} // namespace ui
