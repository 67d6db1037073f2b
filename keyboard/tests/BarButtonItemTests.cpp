#include "keyboard/KBBarButtonItem.h"
#include "keyboard/KBToolbar.h"
#include "platform/core/ProcessInfo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace keyboard {
namespace {

struct Page : core::Object {
    int taps = 0;
    core::Object* lastSender = nullptr;
    void tapped(core::Object* sender) {
        ++taps;
        lastSender = sender;
    }
};

std::shared_ptr<Page> page() { return core::make<Page>(); }

TEST(KBInvocation, ReachesItsTargetOnlyWhileItLives) {
    auto target = page();
    KBInvocation invocation(target, ui::selector(&Page::tapped));
    core::Object sender;
    invocation.invokeFrom(&sender);
    EXPECT_EQ(target->taps, 1);
    EXPECT_EQ(target->lastSender, &sender);
    std::weak_ptr<Page> weak = target;
    target.reset();
    EXPECT_TRUE(weak.expired());  // the invocation did not keep the page
    invocation.invokeFrom(&sender);  // nothing, no failure
    EXPECT_EQ(invocation.target(), nullptr);
}

TEST(KBBarButtonItem, SetTargetActionMakesAnInvocationOnlyWithBoth) {
    auto item = core::make<KBBarButtonItem>();
    auto target = page();
    item->setTarget(target, ui::selector(&Page::tapped));
    ASSERT_TRUE(item->invocation());
    EXPECT_EQ(item->invocation()->target(), target);
    EXPECT_EQ(item->target(), nullptr);  // the item's own target stays
    item->setTarget(nullptr, ui::selector(&Page::tapped));
    EXPECT_FALSE(item->invocation());
    item->setTarget(target, ui::Selector{});
    EXPECT_FALSE(item->invocation());
}

TEST(KBTitleBarButtonItem, BecomesTappableOnlyWithALiveTarget) {
    auto item = core::make<KBTitleBarButtonItem>();
    item->initWithTitle("Name");
    auto button = item->titleButton();
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->titleForState(ui::stateNormal), "Name");
    EXPECT_FALSE(item->title());  // the text is on the button only
    auto target = page();
    item->setTarget(target, ui::selector(&Page::tapped));
    EXPECT_TRUE(item->isEnabled());
    EXPECT_TRUE(button->isEnabled());
    button->sendActionsForControlEvents(ui::touchUpInside);
    EXPECT_EQ(target->taps, 1);
    // A cleared invocation disables and drops the button's targets.
    item->setTarget(nullptr, ui::Selector{});
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->actionCount(), 0u);
    // An invocation whose target has already gone leaves it disabled.
    auto gone = page();
    auto invocation = std::make_shared<KBInvocation>(gone, ui::selector(&Page::tapped));
    gone.reset();
    item->setInvocation(invocation);
    EXPECT_FALSE(button->isEnabled());
}

TEST(KBTitleBarButtonItem, TitleDefaultsAndNilRestores) {
    auto item = core::make<KBTitleBarButtonItem>();
    item->initWithTitle(std::nullopt);
    auto button = item->titleButton();
    EXPECT_FALSE(button->titleForState(ui::stateNormal));
    EXPECT_EQ(button->titleLabel()->numberOfLines(), 3);
    EXPECT_EQ(button->titleLabel()->font(), gfx::Font::systemFont(13));
    EXPECT_EQ(button->titleColorForState(ui::stateNormal), KBTitleBarButtonItem::kSelectableColor);
    EXPECT_EQ(button->titleColorForState(ui::stateDisabled), KBTitleBarButtonItem::kLightGray);
    EXPECT_EQ(item->customView()->contentHuggingPriority(ui::LayoutAxis::horizontal), 249);
    EXPECT_EQ(button->contentCompressionResistancePriority(ui::LayoutAxis::vertical), 749);
    item->setTitleFont(gfx::Font::systemFont(20));
    item->setTitleColor(gfx::Color::black());
    item->setSelectableTitleColor(gfx::Color::black());
    item->setTitleFont(std::nullopt);
    item->setTitleColor(std::nullopt);
    item->setSelectableTitleColor(std::nullopt);
    EXPECT_EQ(button->titleLabel()->font(), gfx::Font::systemFont(13));
    EXPECT_EQ(button->titleColorForState(ui::stateDisabled), KBTitleBarButtonItem::kLightGray);
    EXPECT_EQ(button->titleColorForState(ui::stateNormal), KBTitleBarButtonItem::kSelectableColor);
    item->setTitle("Later");
    EXPECT_EQ(button->titleForState(ui::stateNormal), "Later");
    // A plain title item has no title view.
    EXPECT_FALSE(core::make<KBTitleBarButtonItem>()->customView());
}

TEST(KBTitleBarButtonItem, BeforeElevenTheTitleViewResizesWithTheItem) {
    core::ProcessInfo::setOperatingSystemVersionForTesting({10, 3});
    auto item = core::make<KBTitleBarButtonItem>();
    item->initWithTitle("t");
    EXPECT_EQ(item->customView()->autoresizingMask(), ui::autoresizingFlexibleWidth | ui::autoresizingFlexibleHeight);
    EXPECT_EQ(item->customView()->contentHuggingPriority(ui::LayoutAxis::horizontal), 250);
    core::ProcessInfo::setOperatingSystemVersionForTesting({12, 0});
}

// A tint becomes the title colour and follows later tints; a colour the screen set stays.
TEST(KBBarButtonItem, TintColoursTheTitleUnlessTheScreenChoseAColour) {
    const auto red = gfx::Color::rgb(255, 0, 0), blue = gfx::Color::rgb(0, 0, 255), green = gfx::Color::rgb(0, 255, 0);
    struct Case {
        const char* name;
        std::optional<gfx::Color> screens;
        std::vector<std::optional<gfx::Color>> tints;
        std::optional<gfx::Color> expected;
    } cases[] = {
        {"first tint colours", std::nullopt, {red}, red},
        {"a later tint follows", std::nullopt, {red, blue}, blue},
        {"the same tint again keeps it", std::nullopt, {red, red}, red},
        {"and still follows a new one", std::nullopt, {red, red, blue}, blue},
        {"nil removes the tint's colour", std::nullopt, {red, std::nullopt}, std::nullopt},
        {"nil on a fresh item", std::nullopt, {std::nullopt}, std::nullopt},
        {"the screen's colour stays", green, {red, blue}, green},
        {"the screen's colour survives nil", green, {std::nullopt}, green},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto item = core::make<KBBarButtonItem>();
        if (c.screens) item->setTitleTextAttributes({c.screens, std::nullopt}, ui::stateNormal);
        for (auto tint : c.tints) item->setTintColor(tint);
        EXPECT_EQ(item->titleTextAttributes(ui::stateNormal).foregroundColor, c.expected);
        EXPECT_EQ(item->tintColor(), c.tints.back());
    }
}

TEST(KBBarButtonItemConfiguration, HoldsOnlyWhatItWasMadeFrom) {
    auto image = std::make_shared<gfx::Image>(1, 1, 1, std::vector<uint32_t>{0});
    KBBarButtonItemConfiguration byTitle(std::string("Go"), {}), byImage(image, {}), bySystem(ui::BarButtonSystemItem::done, {});
    EXPECT_EQ(byTitle.title(), "Go");
    EXPECT_FALSE(byTitle.image());
    EXPECT_FALSE(byTitle.barButtonSystemItem());
    EXPECT_EQ(byImage.image(), image);
    EXPECT_FALSE(byImage.title());
    EXPECT_FALSE(byImage.barButtonSystemItem());
    EXPECT_EQ(bySystem.barButtonSystemItem(), ui::BarButtonSystemItem::done);
}

TEST(BarButtonItem, SystemItemsHaveLocalizedTitles) {
    struct Case {
        const char* language;
        ui::BarButtonSystemItem item;
        const char* title;
    } cases[] = {{"zh-Hans-CN", ui::BarButtonSystemItem::done, "完成"},
                 {"zh-Hant", ui::BarButtonSystemItem::cancel, "取消"},
                 {"en-US", ui::BarButtonSystemItem::done, "Done"},
                 {"fr", ui::BarButtonSystemItem::cancel, "Cancel"}};
    for (const auto& c : cases) {
        core::ProcessInfo::setPreferredLanguagesForTesting(std::vector<std::string>{c.language});
        EXPECT_EQ(ui::BarButtonItem::localizedTitle(c.item), c.title) << c.language;
    }
    core::ProcessInfo::setPreferredLanguagesForTesting(std::nullopt);
}

gfx::ImagePtr swatch() { return std::make_shared<gfx::Image>(2, 2, 1, std::vector<uint32_t>(4, 0xffff0000u)); }

// What the first item's and the first bar's resets leave in their classes' appearances, in order:
// four images per state, then the three adjustments; the bar's tint, four background images, its
// shadow and its colour.
TEST(KBBarButtonItem, TheResetSetsEveryLookOfTheAppearanceToNothing) {
    (void)core::make<KBBarButtonItem>();  // the reset has run
    std::vector<std::string> expected;
    for (const char* state : {"0", "1", "2", "4", "16711680", "4278190080"}) {
        expected.push_back(std::string("backgroundImage:") + state + ":0");
        expected.push_back(std::string("backgroundImageForStyle:") + state + ":2:0");
        expected.push_back(std::string("backgroundImageForStyle:") + state + ":0:0");
        expected.push_back(std::string("backButtonBackgroundImage:") + state + ":0");
    }
    expected.insert(expected.end(), {"titlePositionAdjustment:0", "backgroundVerticalPositionAdjustment:0",
                                     "backButtonBackgroundVerticalPositionAdjustment:0"});
    auto keys = KBBarButtonItem::appearance().keys();
    ASSERT_GE(keys.size(), expected.size());
    keys.resize(expected.size());
    EXPECT_EQ(keys, expected);
    (void)core::make<KBToolbar>();
    EXPECT_EQ(KBToolbar::appearance().keys(),
              (std::vector<std::string>{"barTintColor", "backgroundImage:0:0", "backgroundImage:1:0", "backgroundImage:2:0",
                                        "backgroundImage:3:0", "shadowImage:0", "backgroundColor"}));
}

// In a process of its own: settings a screen makes before the first item and the first bar are
// undone by their resets, settings made after stay, and the resets run once.
TEST(KBBarButtonItem, TheFirstItemAndTheFirstBarResetTheirAppearanceOncePerProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::string failures;
            auto check = [&](bool ok, const char* what) {
                if (!ok) failures += std::string(what) + "; ";
            };
            const auto red = gfx::Color::rgb(255, 0, 0);
            auto image = swatch();
            KBBarButtonItem::appearance().setBackgroundImage(image, ui::stateNormal, ui::BarMetrics::default_);
            KBBarButtonItem::appearance().setTitlePositionAdjustment({5, 5}, ui::BarMetrics::default_);
            KBToolbar::appearance().setBarTintColor(red);
            KBToolbar::appearance().setShadowImage(image, ui::BarPosition::any);
            auto first = core::make<KBTitleBarButtonItem>();  // a subclass counts as the first item
            check(!first->backgroundImage(ui::stateNormal, ui::BarMetrics::default_), "early image reset");
            check(first->titlePositionAdjustment(ui::BarMetrics::default_) == ui::Offset{}, "early adjustment reset");
            auto firstBar = core::make<KBToolbar>();
            check(!firstBar->barTintColor(), "early bar tint reset");
            check(!firstBar->shadowImage(ui::BarPosition::any), "early shadow reset");

            KBBarButtonItem::appearance().setBackgroundImage(image, ui::stateNormal, ui::BarMetrics::default_);
            KBToolbar::appearance().setBarTintColor(red);
            auto second = core::make<KBBarButtonItem>();
            auto secondBar = core::make<KBToolbar>();
            check(second->backgroundImage(ui::stateNormal, ui::BarMetrics::default_) == image, "later image kept");
            check(secondBar->barTintColor() == red, "later bar tint kept");
            check(!first->backgroundImage(ui::stateNormal, ui::BarMetrics::default_), "made items keep their look");
            // A plain platform item is not the keyboard's class: its appearance is not touched.
            ui::BarButtonItem::appearance().setTitlePositionAdjustment({1, 1}, ui::BarMetrics::default_);
            auto platformItem = core::make<ui::BarButtonItem>();
            check(platformItem->titlePositionAdjustment(ui::BarMetrics::default_) == ui::Offset{1, 1}, "platform item");
            std::fprintf(stderr, "%s", failures.c_str());
            std::exit(failures.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "^$");
}

} // namespace
} // namespace keyboard
