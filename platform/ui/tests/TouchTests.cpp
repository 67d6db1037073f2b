#include "platform/ui/Button.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "UiTest.h"

namespace ui {
namespace {

using ui_Touch = UiTest;

struct Recorder {
    std::vector<unsigned> events;
    void record(unsigned e) { events.push_back(e); }
};

std::shared_ptr<Button> buttonIn(Window& window, Recorder& rec) {
    auto b = core::make<Button>(gfx::Rect{100, 100, 100, 40});
    b->setTitle("OK");
    for (unsigned e : {touchDown, touchUpInside, touchUpOutside, touchCancel, touchDragExit})
        b->addTarget(std::weak_ptr<void>{}, [&rec, e](Control&) { rec.record(e); }, e);
    window.addSubview(b);
    return b;
}

TEST_F(ui_Touch, ButtonsSendTargetActionsForTheirEvents) {
    Recorder rec;
    auto b = buttonIn(*window, rec);
    host->touchDown({150, 120});
    EXPECT_TRUE(b->isHighlighted());
    host->touchUp({150, 120});
    EXPECT_FALSE(b->isHighlighted());
    EXPECT_EQ(rec.events, (std::vector<unsigned>{touchDown, touchUpInside}));

    rec.events.clear();
    host->drag({150, 120}, {150, 300});  // far beyond the 70-point slop
    EXPECT_EQ(rec.events, (std::vector<unsigned>{touchDown, touchDragExit, touchUpOutside}));

    rec.events.clear();
    host->drag({150, 120}, {150, 200});  // within the slop: still inside
    EXPECT_EQ(rec.events, (std::vector<unsigned>{touchDown, touchUpInside}));

    rec.events.clear();
    b->setEnabled(false);
    host->tap({150, 120});
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(ui_Touch, TargetsAreWeakAndRemovable) {
    struct Target {
        int taps = 0;
        void tapped(Control&) { ++taps; }
    };
    auto b = core::make<Button>(gfx::Rect{0, 100, 100, 40});
    window->addSubview(b);
    auto kept = std::make_shared<Target>();
    auto dropped = std::make_shared<Target>();
    b->addTarget(kept, &Target::tapped, touchUpInside);
    b->addTarget(dropped, &Target::tapped, touchUpInside);
    dropped.reset();
    host->tap({50, 120});
    EXPECT_EQ(kept->taps, 1);
    EXPECT_EQ(b->actionCount(), 1u);  // the gone target's action was dropped
    b->removeTarget(nullptr, allEvents);
    host->tap({50, 120});
    EXPECT_EQ(kept->taps, 1);
    EXPECT_EQ(b->actionCount(), 0u);
}

TEST_F(ui_Touch, ARecognizedTapCancelsTheViewsTouch) {
    Recorder rec;
    auto b = buttonIn(*window, rec);
    auto tap = std::make_shared<TapGestureRecognizer>();
    int taps = 0;
    tap->addAction([&](GestureRecognizer& g) { taps += g.state() == GestureRecognizer::recognized; });
    window->addGestureRecognizer(tap);
    host->tap({150, 120});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(rec.events, (std::vector<unsigned>{touchDown, touchCancel}));

    // A touch that moves too far is no tap, and the button sees its touch through.
    rec.events.clear();
    host->drag({150, 120}, {150, 160});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(rec.events, (std::vector<unsigned>{touchDown, touchUpInside}));
}

TEST_F(ui_Touch, PansBeginAfterTenPointsAndTrackTranslation) {
    Recorder rec;
    auto b = buttonIn(*window, rec);
    auto pan = std::make_shared<PanGestureRecognizer>();
    std::vector<GestureRecognizer::State> states;
    gfx::Point translation, velocity;
    pan->addAction([&](GestureRecognizer& g) {
        states.push_back(g.state());
        translation = static_cast<PanGestureRecognizer&>(g).translationInView(window.get());
        velocity = static_cast<PanGestureRecognizer&>(g).velocityInView(window.get());
    });
    window->addGestureRecognizer(pan);
    host->touchDown({150, 120});
    host->advance(0.1);
    host->touchMove({155, 120});
    EXPECT_TRUE(states.empty());
    host->advance(0.1);
    host->touchMove({170, 120});
    host->advance(0.1);
    host->touchMove({180, 130});
    host->touchUp({180, 130});
    using S = GestureRecognizer::State;
    EXPECT_EQ(states, (std::vector<S>{S::began, S::changed, S::ended}));
    EXPECT_EQ(translation, gfx::Point(30, 10));
    EXPECT_NEAR(velocity.x, 100, 1e-6);  // over the last move: 10 points in 0.1 s
    EXPECT_NEAR(velocity.y, 100, 1e-6);
    // The button lost its touch when the pan began.
    EXPECT_EQ(rec.events, (std::vector<unsigned>{touchDown, touchCancel}));
}

} // namespace
} // namespace ui
