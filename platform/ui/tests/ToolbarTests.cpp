#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
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

gfx::ImagePtr picture(int size) { return std::make_shared<gfx::Image>(size, size, 1, std::vector<uint32_t>(size * size, 0xff336699u)); }

// What the class's appearance holds reaches bars and items made later, not earlier ones; the bar
// shows its background and shadow images and an item's background image per state (the one for
// its style first) and title shift.
TEST(Toolbar, AppearanceAndLookReachTheBarAndItsItemButtons) {
    auto before = core::make<Toolbar>(gfx::Rect{0, 0, 320, 44});
    auto itemBefore = titled("A");
    const auto plainBack = picture(4), doneBack = picture(5), barBack = picture(6), shadow = picture(2);
    BarButtonItem::appearance().setBackgroundImage(plainBack, stateNormal, BarMetrics::default_);
    BarButtonItem::appearance().setTitlePositionAdjustment({3, -2}, BarMetrics::default_);
    Toolbar::appearance().setBackgroundImage(barBack, BarPosition::any, BarMetrics::default_);
    Toolbar::appearance().setShadowImage(shadow, BarPosition::any);
    auto bar = core::make<Toolbar>(gfx::Rect{0, 0, 320, 44});
    auto plain = titled("B");
    auto done = titled("C");
    done->setStyle(BarButtonItemStyle::done);
    done->setBackgroundImage(doneBack, stateNormal, BarButtonItemStyle::done, BarMetrics::default_);
    // The appearance is the platform's, shared by every test: put it back before checking.
    BarButtonItem::appearance().setBackgroundImage(nullptr, stateNormal, BarMetrics::default_);
    BarButtonItem::appearance().setTitlePositionAdjustment({0, 0}, BarMetrics::default_);
    Toolbar::appearance().setBackgroundImage(nullptr, BarPosition::any, BarMetrics::default_);
    Toolbar::appearance().setShadowImage(nullptr, BarPosition::any);

    EXPECT_FALSE(itemBefore->backgroundImage(stateNormal, BarMetrics::default_));
    EXPECT_FALSE(before->backgroundImage(BarPosition::any, BarMetrics::default_));
    EXPECT_EQ(plain->titlePositionAdjustment(BarMetrics::default_), (Offset{3, -2}));
    EXPECT_EQ(bar->shadowImage(BarPosition::any), shadow);
    bar->setItems({plain, done});
    bar->layoutIfNeeded();
    struct Row {
        const char* what;
        std::shared_ptr<BarButtonItem> item;
        gfx::ImagePtr background;
    };
    for (const Row& row : {Row{"plain", plain, plainBack}, Row{"done, its style's own", done, doneBack}}) {
        SCOPED_TRACE(row.what);
        auto button = std::dynamic_pointer_cast<Button>(bar->viewForItem(*row.item));
        ASSERT_TRUE(button);
        EXPECT_EQ(button->backgroundImageForState(stateNormal), row.background);
        EXPECT_EQ(button->contentEdgeInsets(), (gfx::EdgeInsets{-2, 3, 2, -3}));
    }
    // The bar's own picture lies under its items; its shadow above its top edge.
    auto under = std::dynamic_pointer_cast<ImageView>(bar->subviews().front());
    ASSERT_TRUE(under);
    EXPECT_EQ(under->image(), barBack);
    EXPECT_EQ(under->frame(), bar->bounds());
    bool shadowShown = false;
    for (const auto& v : bar->subviews())
        if (auto iv = std::dynamic_pointer_cast<ImageView>(v); iv && iv->image() == shadow)
            shadowShown = iv->frame() == gfx::Rect{0, -2, 320, 2};
    EXPECT_TRUE(shadowShown);
}

} // namespace
} // namespace ui
