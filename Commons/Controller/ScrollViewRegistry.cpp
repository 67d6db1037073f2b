#include "Commons/Controller/ScrollViewRegistry.h"

#include "refresh/RefreshFooter.h"
#include "refresh/RefreshHeader.h"
#include "refresh/RefreshScrollView.h"
#include "ui/c.h"

namespace kit {

std::vector<std::shared_ptr<ui::ScrollView>>& scrollViewRegistry() {
    static auto* registry = new std::vector<std::shared_ptr<ui::ScrollView>>();
    return *registry;
}

RefreshStates refreshStatesOf(const ui::ScrollView& scrollView) {
    RefreshStates states;
    if (auto header = refresh::rf_header(scrollView)) states.header = static_cast<int>(header->state());
    if (auto footer = refresh::rf_footer(scrollView)) states.footer = static_cast<int>(footer->state());
    return states;
}

bool isEveryRegisteredScrollViewIdle() {
    for (const auto& scrollView : scrollViewRegistry()) {
        const RefreshStates states = refreshStatesOf(*scrollView);
        if (!c::isRefreshIdle(&states)) return false;
    }
    return true;
}

} // namespace kit
