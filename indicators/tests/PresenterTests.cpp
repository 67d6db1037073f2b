#include "indicators/ActivityIndicatorPresenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/tests/UiTest.h"

#include <vector>

namespace indicators {
namespace {

using State = ActivityIndicatorPresenter::State;

class Presenter : public ui::UiTest {
protected:
    size_t containers() const {
        size_t n = 0;
        for (const auto& v : window->subviews()) n += v->restorationIdentifier() == presenter->restorationIdentifier;
        return n;
    }
    static std::shared_ptr<const ActivityData> data(long threshold, long minimum,
                                                    std::optional<std::string> message = {}) {
        return std::make_shared<const ActivityData>(std::nullopt, std::move(message), std::nullopt, std::nullopt,
                                                    std::nullopt, std::nullopt, std::nullopt, threshold, minimum);
    }

    std::shared_ptr<ActivityIndicatorPresenter> presenter = ActivityIndicatorPresenter::make();
    int fadeIns = 0, fadeOuts = 0;
    FadeInHandler fadeIn = [this](const std::shared_ptr<ui::View>&) { ++fadeIns; };
    FadeOutHandler fadeOut = [this](const std::shared_ptr<ui::View>&, std::function<void()> done) {
        ++fadeOuts;
        done();
    };
};

TEST_F(Presenter, StartStopAndTimeSequences) {
    struct Step {
        enum { start, stop, advance } kind;
        long threshold = 0, minimum = 0;  // ms, for start
        double seconds = 0;               // for advance
        bool fade = false;
    };
    auto start = [](long threshold, long minimum, bool fade = false) {
        return Step{Step::start, threshold, minimum, 0, fade};
    };
    auto stop = [](bool fade = false) { return Step{Step::stop, 0, 0, 0, fade}; };
    auto wait = [](double s) { return Step{Step::advance, 0, 0, s, false}; };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        State state;
        size_t containers;
        int fadeIns, fadeOuts;
    };
    const Case cases[] = {
        {"a start waits for the threshold", {start(100, 0), wait(0.05)}, State::waitingToStart, 0, 0, 0},
        {"and then shows", {start(100, 0), wait(0.1)}, State::animating, 1, 0, 0},
        {"0 ms still shows later, never within the call", {start(0, 0)}, State::waitingToStart, 0, 0, 0},
        {"0 ms shows on the next turn", {start(0, 0, true), wait(0)}, State::animating, 1, 1, 0},
        {"a stop before the showing cancels it", {start(0, 0), stop(), wait(0.2)}, State::stopped, 0, 0, 0},
        {"a second start while waiting shows at once", {start(500, 0), start(500, 0)}, State::animating, 1, 0, 0},
        {"and the first delayed showing does nothing", {start(500, 0), start(500, 0), wait(0.6)}, State::animating, 1, 0, 0},
        {"a start while animating changes nothing", {start(0, 0), wait(0), start(0, 0), wait(0.1)}, State::animating, 1, 0, 0},
        {"a stop while stopped changes nothing", {stop(), wait(0.1)}, State::stopped, 0, 0, 0},
        {"the minimum time counts from the stop request",
         {start(0, 200), wait(0), wait(1), stop(true), wait(0.1)}, State::waitingToStop, 1, 0, 0},
        {"and then the container fades out and goes",
         {start(0, 200), wait(0), wait(1), stop(true), wait(0.2)}, State::stopped, 0, 0, 1},
        {"a second stop while waiting to stop hides at once", {start(0, 500), wait(0), stop(), stop(true)}, State::stopped, 0, 0, 1},
        {"a start while waiting to stop removes the old container at once, without fading",
         {start(0, 500), wait(0), stop(true), start(100, 500)}, State::waitingToStart, 0, 0, 0},
        {"and shows a new one after the threshold",
         {start(0, 500), wait(0), stop(true), start(100, 500), wait(0.1)}, State::animating, 1, 0, 0},
    };
    for (const auto& c : cases) {
        presenter = ActivityIndicatorPresenter::make();
        fadeIns = fadeOuts = 0;
        for (const auto& s : c.steps) {
            if (s.kind == Step::start) presenter->presentIndicator(data(s.threshold, s.minimum), s.fade ? fadeIn : nullptr);
            else if (s.kind == Step::stop) presenter->dismissIndicator(s.fade ? fadeOut : nullptr);
            else host->advance(s.seconds);
        }
        EXPECT_EQ(presenter->state, c.state) << c.name;
        EXPECT_EQ(containers(), c.containers) << c.name;
        EXPECT_EQ(fadeIns, c.fadeIns) << c.name;
        EXPECT_EQ(fadeOuts, c.fadeOuts) << c.name;
        EXPECT_EQ(presenter->isIndicatorActive(), c.state == State::animating || c.state == State::waitingToStop) << c.name;
        // Leave the window clean for the next case.
        for (auto v : std::vector(window->subviews())) v->removeFromSuperview();
        presenter->state = State::stopped;
        host->advance(1);
    }
}

TEST_F(Presenter, MessageUpdatesWaitForAPendingShowing) {
    presenter->presentIndicator(data(100, 0, std::string("Loading")));
    presenter->updateMessage(std::string("Almost"));
    host->advance(0.05);
    EXPECT_EQ(presenter->messageLabel->text(), "");  // still waiting to show
    host->advance(0.06);
    host->advance(0);
    EXPECT_EQ(presenter->state, State::animating);
    EXPECT_EQ(presenter->messageLabel->text(), "Almost");  // applied once shown

    presenter->updateMessage(std::nullopt);
    EXPECT_EQ(presenter->messageLabel->text(), "Almost");  // never within the call
    host->advance(0);
    EXPECT_EQ(presenter->messageLabel->text(), "");

    // A cancelled showing releases the update too.
    auto other = ActivityIndicatorPresenter::make();
    other->presentIndicator(data(100, 0));
    other->updateMessage(std::string("Never shown"));
    other->dismissIndicator();
    host->advance(0);
    EXPECT_EQ(other->messageLabel->text(), "Never shown");
}

TEST_F(Presenter, OneHidingRemovesEveryMarkedContainer) {
    auto stray = core::make<ui::View>(gfx::Rect{0, 0, 10, 10});
    stray->setRestorationIdentifier(std::string("ActivityIndicatorViewContainer"));
    window->addSubview(stray);
    auto unmarked = core::make<ui::View>(gfx::Rect{0, 0, 10, 10});
    window->addSubview(unmarked);
    presenter->presentIndicator(data(0, 0));
    host->advance(0);
    EXPECT_EQ(containers(), 2u);
    presenter->dismissIndicator(fadeOut);
    host->advance(0);
    EXPECT_EQ(containers(), 0u);
    EXPECT_EQ(fadeOuts, 2);
    EXPECT_TRUE(unmarked->superview());

    // A fade-out that never completes leaves its container; the state is stopped all the same.
    presenter->presentIndicator(data(0, 0));
    host->advance(0);
    presenter->dismissIndicator([](const std::shared_ptr<ui::View>&, std::function<void()>) {});
    host->advance(0);
    EXPECT_EQ(presenter->state, State::stopped);
    EXPECT_EQ(containers(), 1u);
}

TEST_F(Presenter, ContainerLayout) {
    presenter->presentIndicator(std::make_shared<const ActivityData>(gfx::Size{60, 40}, std::string("Please wait"),
                                                                      std::nullopt, 12.0));
    host->advance(0);
    ASSERT_EQ(containers(), 1u);
    auto container = window->subviews().back();
    container->layoutIfNeeded();
    const gfx::Rect w = window->bounds();
    EXPECT_EQ(container->frame(), w);
    EXPECT_EQ(container->backgroundColor(), (gfx::Color{0, 0, 0, 0.5}));
    auto indicator = std::dynamic_pointer_cast<ActivityIndicatorView>(container->subviews().at(0));
    ASSERT_TRUE(indicator);
    EXPECT_TRUE(indicator->isAnimating());
    EXPECT_EQ(indicator->type(), ActivityIndicatorType::ballSpinFadeLoader);
    EXPECT_EQ(indicator->frame(), (gfx::Rect{w.width() / 2 - 30, w.height() / 2 - 20, 60, 40}));
    auto label = container->subviews().at(1);
    EXPECT_EQ(label, presenter->messageLabel);
    EXPECT_EQ(label->frame().x(), 8);
    EXPECT_EQ(label->frame().width(), w.width() - 16);
    EXPECT_EQ(label->frame().y(), w.height() / 2 + 20 + 12);
    EXPECT_GT(label->frame().height(), 0);

    // The container keeps to the window's edges when the window grows, and centres again.
    window->setFrame({0, 0, 600, 900});
    container->layoutIfNeeded();
    EXPECT_EQ(container->frame(), (gfx::Rect{0, 0, 600, 900}));
    EXPECT_EQ(indicator->frame(), (gfx::Rect{270, 430, 60, 40}));
    EXPECT_EQ(label->frame().width(), 600 - 16);
}

TEST_F(Presenter, DataDefaultsAndTextColourFallback) {
    const auto red = gfx::Color{1, 0, 0, 1}, blue = gfx::Color{0, 0, 1, 1};
    struct Case {
        std::optional<gfx::Color> color, textColor;
        gfx::Color expected;
    };
    const Case cases[] = {{red, std::nullopt, red}, {std::nullopt, std::nullopt, gfx::Color::whiteColor()},
                          {red, blue, blue},        {std::nullopt, blue, blue}};
    for (const auto& c : cases) {
        ActivityData d(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, c.color, std::nullopt,
                       std::nullopt, std::nullopt, std::nullopt, c.textColor);
        EXPECT_EQ(d.textColor, c.expected);
    }
    ActivityData d;
    EXPECT_EQ(d.size, (gfx::Size{60, 60}));
    EXPECT_EQ(d.messageSpacing, 8);
    EXPECT_EQ(d.type, ActivityIndicatorType::ballSpinFadeLoader);
    EXPECT_EQ(d.displayTimeThreshold, 0);
    EXPECT_FALSE(d.message);
}

TEST_F(Presenter, NoKeyWindowStillAnimatesAndStops) {
    ui::Application::shared().setKeyWindow(nullptr);
    presenter->presentIndicator(data(0, 0));
    host->advance(0);
    EXPECT_EQ(presenter->state, State::animating);
    EXPECT_EQ(containers(), 0u);
    presenter->dismissIndicator();
    host->advance(0);
    EXPECT_EQ(presenter->state, State::stopped);
}

struct Controller : ActivityIndicatorViewable {};

TEST_F(Presenter, ViewableUsesTheSharedPresenter) {
    Controller controller;
    controller.startBlockingIndicator(std::nullopt, std::string("Hi"));
    host->advance(0);
    EXPECT_TRUE(controller.isBlockingIndicatorActive());
    EXPECT_EQ(ActivityIndicatorPresenter::sharedPresenter()->data->messageSpacing, 8);
    controller.stopBlockingIndicator();
    host->advance(0);
    EXPECT_FALSE(controller.isBlockingIndicatorActive());
}

} // namespace
} // namespace indicators
