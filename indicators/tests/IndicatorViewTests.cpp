#include "indicators/ActivityIndicatorView.h"
#include "platform/ui/tests/UiTest.h"

namespace indicators {
namespace {

TEST(ActivityIndicatorType, RawValuesAndNamesFollowTheTable) {
    ASSERT_EQ(allIndicatorTypes().size(), 33u);
    for (int raw = 0; raw < 33; ++raw) {
        auto type = activityIndicatorTypeFromRaw(raw);
        ASSERT_TRUE(type) << raw;
        EXPECT_EQ(rawValue(*type), raw);
        EXPECT_EQ(allIndicatorTypes()[static_cast<size_t>(raw)], *type);
    }
    EXPECT_FALSE(activityIndicatorTypeFromRaw(-1));
    EXPECT_FALSE(activityIndicatorTypeFromRaw(33));
    const std::pair<int, std::string_view> names[] = {
        {0, "blank"},           {3, "ballClipRotate"},      {9, "cubeTransition"},    {12, "ballTrianglePath"},
        {20, "lineScalePulseOutRapid"}, {23, "ballSpinFadeLoader"}, {25, "triangleSkewSpin"}, {29, "ballRotateChase"},
        {31, "audioEqualizer"}, {32, "circleStrokeSpin"},
    };
    for (const auto& [raw, name] : names) EXPECT_EQ(caseName(*activityIndicatorTypeFromRaw(raw)), name);
}

TEST(ActivityIndicatorType, EachCallMakesANewAnimation) {
    auto a = makeIndicatorAnimation(ActivityIndicatorType::circleStrokeSpin);
    auto b = makeIndicatorAnimation(ActivityIndicatorType::circleStrokeSpin);
    EXPECT_NE(a.get(), b.get());
    for (auto type : allIndicatorTypes()) EXPECT_TRUE(makeIndicatorAnimation(type)) << caseName(type);
}

using IndicatorView = ui::UiTest;

TEST_F(IndicatorView, TypeNamesMatchIgnoringCaseOrChangeNothing) {
    auto view = ActivityIndicatorView::initIndicatorView({0, 0, 50, 50}, ActivityIndicatorType::orbit);
    const std::pair<const char*, const char*> cases[] = {
        {"BALLPULSE", "ballPulse"}, {"ballpulse", "ballPulse"},       {"ball Pulse", "ballPulse"},
        {"", "ballPulse"},          {"circleStrokeSpin", "circleStrokeSpin"}, {"nothing", "circleStrokeSpin"},
    };
    for (const auto& [given, now] : cases) {
        view->setTypeName(given);
        EXPECT_EQ(view->typeName(), now) << '"' << given << '"';
    }
}

TEST_F(IndicatorView, NewViewsAreHiddenIdleAndTakeTheDefaultsOfTheirTime) {
    auto plain = ActivityIndicatorView::initIndicatorView({0, 0, 50, 50});
    EXPECT_TRUE(plain->isHidden());
    EXPECT_FALSE(plain->isAnimating());
    EXPECT_EQ(plain->type(), ActivityIndicatorType::ballSpinFadeLoader);
    EXPECT_EQ(plain->color(), gfx::Color::whiteColor());
    EXPECT_EQ(plain->padding(), 0);
    EXPECT_EQ(plain->intrinsicContentSize(), (gfx::Size{50, 50}));
    EXPECT_EQ(ActivityIndicatorView::defaultBlockerSize(), (gfx::Size{60, 60}));
    EXPECT_EQ(ActivityIndicatorView::defaultMessageFont(), gfx::Font::boldSystemFont(20));
    EXPECT_EQ(ActivityIndicatorView::defaultBlockerBackgroundColor(), gfx::Color::black().withAlpha(0.5));
    EXPECT_EQ(ActivityIndicatorView::defaultMessageSpacing(), 8);

    ActivityIndicatorView::setDefaultType(ActivityIndicatorType::pacman);
    ActivityIndicatorView::setDefaultPadding(4);
    auto later = ActivityIndicatorView::initIndicatorView({0, 0, 50, 50});
    auto given = ActivityIndicatorView::initIndicatorView({0, 0, 50, 50}, ActivityIndicatorType::ballBeat,
                                                          gfx::Color::black(), 2);
    ActivityIndicatorView::setDefaultType(ActivityIndicatorType::ballSpinFadeLoader);
    ActivityIndicatorView::setDefaultPadding(0);
    EXPECT_EQ(plain->type(), ActivityIndicatorType::ballSpinFadeLoader);
    EXPECT_EQ(later->type(), ActivityIndicatorType::pacman);
    EXPECT_EQ(later->padding(), 4);
    EXPECT_EQ(given->type(), ActivityIndicatorType::ballBeat);
    EXPECT_EQ(given->color(), gfx::Color::black());
    EXPECT_EQ(given->padding(), 2);
}

TEST_F(IndicatorView, TheAnimationSquareIsTheSmallerPaddedSide) {
    struct Case {
        gfx::Rect frame;
        double padding, side;
    };
    const Case cases[] = {
        {{0, 0, 100, 60}, 10, 40},
        {{0, 0, 100, 60}, 0, 60},
        {{7, 9, 100, 60}, 45, 10},  // a padding beyond half the frame still gives a positive side
        {{0, 0, 0, 0}, 0, 0},
    };
    for (const auto& k : cases) {
        auto view = ActivityIndicatorView::initIndicatorView(k.frame, ActivityIndicatorType::circleStrokeSpin,
                                                             std::nullopt, k.padding);
        view->startIndicator();
        ASSERT_EQ(view->layer()->sublayers().size(), 1u);
        auto circle = view->layer()->sublayers()[0];
        EXPECT_EQ(circle->bounds().size, (gfx::Size{k.side, k.side})) << k.padding;
        // Placed in the middle of the view's own bounds, whatever the frame's origin.
        EXPECT_EQ(circle->position(), (gfx::Point{k.frame.width() / 2, k.frame.height() / 2}));
    }
}

TEST_F(IndicatorView, StartAndStopMoveBetweenTheTwoStates) {
    auto view = ActivityIndicatorView::initIndicatorView({0, 0, 60, 60}, ActivityIndicatorType::ballRotateChase);
    window->addSubview(view);
    view->layer()->setSpeed(0);
    view->startIndicator();
    EXPECT_FALSE(view->isHidden());
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(view->layer()->speed(), 1);
    EXPECT_EQ(view->layer()->sublayers().size(), 5u);
    view->startIndicator();
    EXPECT_EQ(view->layer()->sublayers().size(), 5u) << "a second start replaces the first set";

    view->stopIndicator();
    EXPECT_TRUE(view->isHidden());
    EXPECT_FALSE(view->isAnimating());
    EXPECT_TRUE(view->layer()->sublayers().empty());
    view->stopIndicator();
    EXPECT_TRUE(view->isHidden());

    view->setType(ActivityIndicatorType::blank);
    view->startIndicator();
    EXPECT_TRUE(view->isAnimating());
    EXPECT_FALSE(view->isHidden());
    EXPECT_TRUE(view->layer()->sublayers().empty());
}

TEST_F(IndicatorView, OnlyARealChangeOfBoundsWhileAnimatingRebuilds) {
    auto view = ActivityIndicatorView::initIndicatorView({0, 0, 60, 60}, ActivityIndicatorType::semiCircleSpin);
    view->setBounds({0, 0, 80, 80});
    EXPECT_TRUE(view->layer()->sublayers().empty()) << "not animating: nothing is built";

    view->startIndicator();
    auto first = view->layer()->sublayers().at(0);
    view->setBounds({0, 0, 80, 80});
    EXPECT_EQ(view->layer()->sublayers().at(0), first) << "the same bounds again";
    view->setBounds({0, 0, 40, 40});
    ASSERT_EQ(view->layer()->sublayers().size(), 1u);
    EXPECT_NE(view->layer()->sublayers()[0], first);
    EXPECT_EQ(view->layer()->sublayers()[0]->bounds().size, (gfx::Size{40, 40}));

    // Type, colour and padding wait for the next layout.
    view->setType(ActivityIndicatorType::cubeTransition);
    view->setPadding(5);
    EXPECT_EQ(view->layer()->sublayers().size(), 1u);
    view->layoutAnimation();
    EXPECT_EQ(view->layer()->sublayers().size(), 2u);
}

TEST_F(IndicatorView, DefaultFadesAnimateAlphaAndCompleteOnlyWhenFinished) {
    auto container = core::make<ui::View>(gfx::Rect{0, 0, 60, 60});
    window->addSubview(container);
    ActivityIndicatorView::defaultFadeInAnimation()(container);
    EXPECT_EQ(container->alpha(), 1);
    EXPECT_TRUE(container->layer()->animation("view.opacity"));
    host->advance(0.3);
    EXPECT_FALSE(container->layer()->hasAnimations());

    int completions = 0;
    ActivityIndicatorView::defaultFadeOutAnimation()(container, [&] { ++completions; });
    EXPECT_EQ(container->alpha(), 0);
    host->advance(0.1);
    EXPECT_EQ(completions, 0);
    host->advance(0.2);
    EXPECT_EQ(completions, 1);

    // Cut short: no completion.
    container->setAlpha(1);
    ActivityIndicatorView::defaultFadeOutAnimation()(container, [&] { ++completions; });
    container->layer()->removeAllAnimations();
    host->advance(0.5);
    EXPECT_EQ(completions, 1);
}

} // namespace
} // namespace indicators
