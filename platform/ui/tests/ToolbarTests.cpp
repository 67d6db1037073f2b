#include "platform/ui/Button.h"
#include "platform/ui/Toolbar.h"
#include "UiTest.h"

namespace ui {
namespace {

std::shared_ptr<BarButtonItem> titled(const std::string& title) {
    auto item = core::make<BarButtonItem>();
    item->initWithTitle(title, BarButtonItemStyle::plain, {}, {});
    return item;
}

std::string shownTitle(Toolbar& bar, const BarButtonItem& item) {
    auto view = bar.viewForItem(item);
    auto* button = dynamic_cast<Button*>(view.get());
    return button ? button->titleForState(stateNormal).value_or("") : "<none>";
}

// A bar given a new list keeps the items that stay, shows the ones that come, and hears only from
// the items it holds; an item that outlives its bar can still change.
TEST(Toolbar, NewItemsAreShownAndOnlyItsOwnItemsTellTheBarOfChanges) {
    auto bar = core::make<Toolbar>();
    bar->sizeToFit();
    auto a = titled("A"), b = titled("B"), c = titled("C");
    bar->setItems({a, b});
    EXPECT_EQ(shownTitle(*bar, *b), "B");

    bar->setItems({a, c});  // one slot changes, one stays
    ASSERT_EQ(bar->items().size(), 2u);
    EXPECT_EQ(bar->items()[0], a);
    EXPECT_EQ(bar->items()[1], c);
    EXPECT_EQ(shownTitle(*bar, *c), "C");
    EXPECT_EQ(bar->viewForItem(*b), nullptr);

    auto shownA = bar->viewForItem(*a);
    b->setTitle("B2");  // left the bar: the bar's views stay as they are
    EXPECT_EQ(bar->viewForItem(*a), shownA);
    c->setTitle("C2");  // in the bar: its views are remade with the new title
    EXPECT_EQ(shownTitle(*bar, *c), "C2");

    bar->setItems({c});  // a shorter list
    ASSERT_EQ(bar->items().size(), 1u);
    EXPECT_EQ(shownTitle(*bar, *c), "C2");

    bar.reset();  // the items outlive the bar
    c->setTitle("C3");
    a->setTitle("A2");
    EXPECT_EQ(c->title(), "C3");
}

} // namespace
} // namespace ui
