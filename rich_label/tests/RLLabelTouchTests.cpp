#include "RLTouchTesting.h"

#include "platform/ui/NavigationController.h"

using namespace rltest;

namespace {

using RLLabelTouch = RLTouchTest;

struct LoggingDelegate : RLLabelLinkDelegate {
    std::vector<std::string>* events;
    explicit LoggingDelegate(std::vector<std::string>* e) : events(e) {}
    void RLLableDidClickLink(RLLabel&, const std::shared_ptr<RLLabelLinkModel>&) override {
        events->push_back("delegate click");
    }
    void RLLableDidLongPressLink(RLLabel&, const std::shared_ptr<RLLabelLinkModel>&) override {
        events->push_back("delegate long");
    }
};

bool pressedFontShows(const RLLabel& label) { return label.renderedAttributedText().attributeAt(text::kFontAttributeName, 3); }

TEST_F(RLLabelTouch, LinkLookupGrowsOnlyWhenExtendedAndStopsFifteenPointsOut) {
    auto label = linkLabel();
    const auto& links = label->linkStrokeItems();
    ASSERT_EQ(links.size(), 2u);
    gfx::Rect a = links[0]->locBounds;
    struct Case {
        const char* name;
        std::function<void()> arrange;  // moves boxes where a case needs them
        gfx::Point point;
        bool extends;
        int expected;  // index of the link found, -1 for none
    } cases[] = {
        {"inside", {}, {a.midX(), a.midY()}, false, 0},
        {"5 beyond the edge, extended", {}, {a.maxX() + 4.9, a.midY()}, true, 0},
        {"5 beyond the edge, not extended", {}, {a.maxX() + 4.9, a.midY()}, false, -1},
        {"8 beyond the edge, extended", {}, {a.maxX() + 8, a.midY()}, true, -1},
        {"16 outside the bounds, over a box", [&] { links[0]->locBounds = {-40, -40, 80, 80}; }, {-16, 10}, true, -1},
        {"14 outside the bounds, over a box", {}, {-14, 10}, false, 0},
        {"overlapping boxes: the later wins",
         [&] {
             links[0]->locBounds = {0, 0, 50, 20};
             links[1]->locBounds = {40, 0, 50, 20};
         },
         {45, 10}, false, 1},
    };
    for (const auto& c : cases) {
        if (c.arrange) c.arrange();
        auto found = label->linkAtPoint(c.point, c.extends);
        EXPECT_EQ(found, c.expected < 0 ? nullptr : links[static_cast<std::size_t>(c.expected)]) << c.name;
    }
}

TEST_F(RLLabelTouch, HitTestTakesLinksAndCopyModeTouchesOnly) {
    auto label = linkLabel();
    gfx::Rect a = label->linkStrokeItems()[0]->locBounds;
    gfx::Point onLink{a.midX(), a.midY()}, offLink{290, 30};
    struct Case {
        const char* name;
        bool copy;
        gfx::Point point;
        double alpha;
        bool hidden;
        bool interaction;
        bool takes;
    } cases[] = {
        {"link", false, onLink, 1, false, true, true},
        {"plain text passes through", false, offLink, 1, false, true, false},
        {"plain text in copy mode", true, offLink, 1, false, true, true},
        {"nearly transparent link", false, onLink, 0.005, false, true, false},
        {"hidden link", false, onLink, 1, true, true, false},
        {"link without interaction", false, onLink, 1, false, false, false},
    };
    for (const auto& c : cases) {
        if (c.copy) label->setEnableCopy(true);
        label->setAlpha(c.alpha);
        label->setHidden(c.hidden);
        label->setUserInteractionEnabled(c.interaction);
        auto hit = label->hitTest(c.point);
        EXPECT_EQ(hit.get(), c.takes ? label.get() : nullptr) << c.name;
        label->setAlpha(1);
        label->setHidden(false);
        label->setUserInteractionEnabled(true);
    }
}

TEST_F(RLLabelTouch, TapRunsTheBlockThenTheDelegateAndRelaysOutOnPressAndRelease) {
    auto label = linkLabel();
    auto delegate = std::make_shared<LoggingDelegate>(&events);
    label->setDelegate(delegate);
    auto before = label->framesetter();
    gfx::Point p = linkPoint(*label, 0);

    host->touchDown(p);
    EXPECT_TRUE(pressedFontShows(*label)) << "the pressed font is not laid out on press";
    auto pressed = label->framesetter();
    EXPECT_NE(pressed, before);
    host->touchUp(p);
    EXPECT_EQ(events, (std::vector<std::string>{"click first", "delegate click"}));
    EXPECT_FALSE(pressedFontShows(*label));
    EXPECT_NE(label->framesetter(), pressed);
    ASSERT_EQ(models.size(), 1u);
    EXPECT_EQ(models[0]->label(), label);
    EXPECT_EQ(models[0]->linkRange(), (text::Range{2, 3}));
    EXPECT_EQ(models[0]->attributedString().length(), 3u);
    EXPECT_EQ(models[0]->parameter(), core::Value("first"));
}

TEST_F(RLLabelTouch, CancelledPressRunsNothingAndDrawsTheLinkUnpressed) {
    auto label = linkLabel();
    gfx::Point p = linkPoint(*label, 0);
    host->touchDown(p);
    host->snapshot();  // drawn pressed
    host->touchCancel();
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(label->currentClickRunStrokeItem(), nullptr);
    EXPECT_FALSE(pressedFontShows(*label));
    EXPECT_EQ(label->linkStrokeItems().size(), 2u) << "the link stays painted pressed";
}

TEST_F(RLLabelTouch, LongPressOnALinkRunsOnlyTheLongPressPath) {
    auto label = linkLabel();
    auto delegate = std::make_shared<LoggingDelegate>(&events);
    label->setDelegate(delegate);
    longPress(linkPoint(*label, 1));
    EXPECT_EQ(events, (std::vector<std::string>{"long second", "delegate long"}));
    EXPECT_EQ(label->currentClickRunStrokeItem(), nullptr);
    EXPECT_FALSE(selecting());
}

TEST_F(RLLabelTouch, DoubleTapInCopyModeSelectsTheCharacterUnderIt) {
    auto label = copyLabel(han(6));
    doubleTap(charPoint(*label, 3));
    EXPECT_TRUE(selecting());
    EXPECT_EQ(selected(), (std::pair<std::int64_t, std::int64_t>{3, 3}));
    selection()->hideView();

    // Beyond the text there is no character: nothing starts.
    doubleTap(label->convertPoint({280, 60}, nullptr));
    EXPECT_FALSE(selecting());
}

TEST_F(RLLabelTouch, LongPressShowsTheLoupeAndLiftingStartsTheSelection) {
    auto label = copyLabel(han(6));
    gfx::Point p = charPoint(*label, 2);
    host->touchDown(p);
    host->advance(0.6);
    auto loupe = selection()->magnifierView();
    EXPECT_FALSE(loupe->isHidden());
    EXPECT_EQ(loupe->superview(), window);
    EXPECT_FALSE(selecting());
    host->touchUp(p);
    EXPECT_TRUE(selecting());
    EXPECT_EQ(selected(), (std::pair<std::int64_t, std::int64_t>{2, 2}));
    EXPECT_TRUE(loupe->isHidden());
}

TEST_F(RLLabelTouch, SwipeBackIsOffWhileSelectingAndComesBackOnlyIfItWasOn) {
    for (bool wasEnabled : {true, false}) {
        auto root = core::make<ui::ViewController>();
        auto nav = core::make<ui::NavigationController>(root);
        window->setRootViewController(nav);
        host->advance(0.1);
        auto page = core::make<ui::ViewController>();
        nav->pushViewController(page, false);
        host->advance(0.1);
        nav->interactivePopGestureRecognizer()->setEnabled(wasEnabled);
        auto label = copyLabel(han(6), {20, 100, 300, 80}, page->view());
        doubleTap(charPoint(*label, 1));
        ASSERT_TRUE(selecting());
        EXPECT_FALSE(nav->interactivePopGestureRecognizer()->isEnabled());
        selection()->hideView();
        EXPECT_EQ(nav->interactivePopGestureRecognizer()->isEnabled(), wasEnabled);
        EXPECT_FALSE(label->caculateCopySize());
        // Given back, the swipe takes the page back again (only if it was on before).
        host->drag({5, 400}, {300, 400}, 6, 0.1);
        host->advance(0.6);
        EXPECT_EQ(nav->topViewController(), wasEnabled ? root : page);
    }
}

} // namespace
