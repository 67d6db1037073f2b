#include "keyboard/KBToolbar.h"
#include "platform/core/ProcessInfo.h"
#include "UiTest.h"

namespace keyboard {
namespace {

class KBToolbarTest : public ui::UiTest {
protected:
    void TearDown() override {
        core::ProcessInfo::setOperatingSystemVersionForTesting({12, 0});
        ui::UiTest::TearDown();
    }
    std::shared_ptr<KBToolbar> toolbar = core::make<KBToolbar>();
};

TEST_F(KBToolbarTest, RoleItemsAreMadeOnceWithTheirLabelsAndStyles) {
    struct Case {
        const char* label;
        std::function<std::shared_ptr<KBBarButtonItem>()> read;
        std::function<void()> clear;
        ui::BarButtonItemStyle style;
    } cases[] = {
        {"Toolbar Previous Button", [&] { return toolbar->previousBarButton(); }, [&] { toolbar->setPreviousBarButton(nullptr); }, ui::BarButtonItemStyle::plain},
        {"Toolbar Next Button", [&] { return toolbar->nextBarButton(); }, [&] { toolbar->setNextBarButton(nullptr); }, ui::BarButtonItemStyle::plain},
        {"Toolbar Title Button", [&] { return toolbar->titleBarButton(); }, [&] { toolbar->setTitleBarButton(nullptr); }, ui::BarButtonItemStyle::plain},
        {"Toolbar Done Button", [&] { return toolbar->doneBarButton(); }, [&] { toolbar->setDoneBarButton(nullptr); }, ui::BarButtonItemStyle::done},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto first = c.read();
        EXPECT_EQ(c.read(), first);
        EXPECT_EQ(first->accessibilityLabel(), c.label);
        EXPECT_EQ(first->style(), c.style);
        EXPECT_FALSE(first->image());
        EXPECT_FALSE(first->isSystemItem());
        c.clear();
        auto fresh = c.read();
        EXPECT_NE(fresh, first);
        EXPECT_EQ(fresh->accessibilityLabel(), c.label);
    }
}

TEST_F(KBToolbarTest, FixedSpaceWidthFollowsTheSystemVersionOnEveryRead) {
    struct Case {
        int major;
        double width;
    } cases[] = {{9, 20}, {10, 6}, {12, 6}};
    auto own = core::make<KBBarButtonItem>();
    toolbar->setFixedSpaceBarButton(own);
    for (const auto& c : cases) {
        core::ProcessInfo::setOperatingSystemVersionForTesting({c.major, 0});
        auto item = toolbar->fixedSpaceBarButton();
        EXPECT_EQ(item, own);
        EXPECT_EQ(item->width(), c.width) << c.major;
        EXPECT_TRUE(item->isSystemItem());
    }
}

TEST_F(KBToolbarTest, IsFortyFourHighWithFlexibleWidthAndInputClicks) {
    EXPECT_EQ(toolbar->sizeThatFits({10, 500}).height, 44);
    EXPECT_EQ(toolbar->frame().height(), 44);
    EXPECT_EQ(toolbar->autoresizingMask(), ui::autoresizingFlexibleWidth);
    EXPECT_TRUE(toolbar->isTranslucent());
    EXPECT_TRUE(toolbar->enableInputClicksWhenVisible());
}

TEST_F(KBToolbarTest, TitleColourFollowsTheBarStyleUnlessSelectableColourIsSet) {
    struct Case {
        ui::BarStyle style;
        std::optional<gfx::Color> selectable;
        gfx::Color expected;
    } cases[] = {
        {ui::BarStyle::black, std::nullopt, KBToolbar::kYellow},
        {ui::BarStyle::default_, std::nullopt, KBTitleBarButtonItem::kSelectableColor},
        {ui::BarStyle::black, gfx::Color::whiteColor(), gfx::Color::whiteColor()},
    };
    for (const auto& c : cases) {
        auto bar = core::make<KBToolbar>();
        bar->titleBarButton()->setSelectableTitleColor(c.selectable);
        bar->setBarStyle(c.style);
        EXPECT_EQ(bar->titleBarButton()->titleButton()->titleColorForState(ui::stateNormal), c.expected);
    }
}

TEST_F(KBToolbarTest, TintReachesEveryItemAsItsTitleColour) {
    auto done = toolbar->doneBarButton();
    auto previous = toolbar->previousBarButton();
    toolbar->setItems({previous, done});
    toolbar->setTintColor(gfx::Color::black());
    EXPECT_EQ(done->tintColor(), gfx::Color::black());
    EXPECT_EQ(previous->titleTextAttributes(ui::stateNormal).foregroundColor, gfx::Color::black());
    // A light bar after a dark one: the title follows (the tint's colour is not stuck).
    toolbar->setTintColor(gfx::Color::rgb(0, 122, 255));
    EXPECT_EQ(done->titleTextAttributes(ui::stateNormal).foregroundColor, gfx::Color::rgb(0, 122, 255));
}

// Before 11.0 the bar places its title itself between its neighbours.
TEST_F(KBToolbarTest, BeforeElevenTheTitleSitsInTheFreeWidth) {
    core::ProcessInfo::setOperatingSystemVersionForTesting({10, 0});
    struct Probe : ui::View {
        using ui::View::View;
        gfx::Size fits;
        gfx::Size sizeThatFits(gfx::Size) const override { return fits; }
    };
    struct Case {
        const char* name;
        bool leftControl;
        bool rightView;
        gfx::Size fits;
        gfx::Rect expected;
    } cases[] = {
        // W = 375: without neighbours M = 343; a narrow title starts at 16, not centred.
        {"no neighbours", false, false, {100, 20}, {16, 12, 100, 20}},
        // Left control at 0..60, right view at 300..: M = 375 - 32 - 60 - 75 = 208, centred after 16.
        {"between two", true, true, {100, 20}, {60 + 16 + 54, 12, 100, 20}},
        {"zero size takes it all", true, true, {0, 0}, {76, 0, 208, 44}},
        {"too wide is clipped", false, false, {400, 60}, {16, 0, 343, 44}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bar = core::make<KBToolbar>(gfx::Rect{0, 0, 375, 44});
        auto probe = core::make<Probe>();
        probe->fits = c.fits;
        bar->titleBarButton()->setCustomView(probe);
        std::vector<std::shared_ptr<ui::BarButtonItem>> items{bar->titleBarButton()};
        bar->setItems(items);
        std::shared_ptr<ui::View> left, right;
        if (c.leftControl) {
            left = core::make<ui::Control>(gfx::Rect{0, 0, 60, 44});
            bar->addSubview(left);
        }
        if (c.rightView) {
            right = core::make<ui::View>(gfx::Rect{300, 0, 75, 44});
            bar->addSubview(right);
        }
        bar->setNeedsLayout();
        bar->layoutIfNeeded();
        EXPECT_EQ(probe->frame(), c.expected);
    }
}

TEST_F(KBToolbarTest, NeighboursThatLeaveNoRoomGiveTheTitleNone) {
    core::ProcessInfo::setOperatingSystemVersionForTesting({10, 0});
    auto bar = core::make<KBToolbar>(gfx::Rect{0, 0, 100, 44});
    bar->setItems({bar->titleBarButton()});
    bar->addSubview(core::make<ui::Control>(gfx::Rect{0, 0, 90, 44}));
    bar->setNeedsLayout();
    bar->layoutIfNeeded();
    EXPECT_EQ(bar->titleBarButton()->customView()->frame().width(), 0);
}

} // namespace
} // namespace keyboard
