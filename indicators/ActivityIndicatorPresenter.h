#pragma once
// A blocking, full-screen activity indicator with an optional message over the key window.
//
// A start request shows the container only after the data's display-time threshold; a stop
// request removes it only after the minimum display time, counted from the request. A second start
// while waiting to show shows at once; a start while waiting to stop removes the old container at
// once and begins a new delayed showing. Delays run on the main queue (0 ms still runs later).
// The container is a plain view marked with the presenter's restoration identifier; lacking
// constraints, it lays itself out: the indicator centred at its own size, the message label
// 8 points in from either side, as tall as its wrapped text, `messageSpacing` below the
// indicator; the container takes the key window's bounds. Main thread only.
#include "indicators/ActivityIndicatorView.h"
#include "platform/dispatch/Group.h"
#include "platform/ui/Label.h"

#include <memory>
#include <optional>
#include <string>

namespace indicators {

using FadeInHandler = ActivityIndicatorView::FadeInHandler;
using FadeOutHandler = ActivityIndicatorView::FadeOutHandler;

// The settings of one showing; absent arguments take the indicator view's class-level defaults
// at the moment of creation. The text colour falls back to `color` when that is given.
class ActivityData {
public:
    explicit ActivityData(std::optional<gfx::Size> size = {}, std::optional<std::string> message = {},
                          std::optional<gfx::Font> messageFont = {}, std::optional<double> messageSpacing = {},
                          std::optional<ActivityIndicatorType> type = {}, std::optional<gfx::Color> color = {},
                          std::optional<double> padding = {}, std::optional<long> displayTimeThreshold = {},
                          std::optional<long> minimumDisplayTime = {},
                          std::optional<gfx::Color> backgroundColor = {}, std::optional<gfx::Color> textColor = {});

    const gfx::Size size;
    const std::optional<std::string> message;
    const gfx::Font messageFont;
    const double messageSpacing;
    const ActivityIndicatorType type;
    const gfx::Color color;
    const gfx::Color textColor;
    const double padding;
    const long displayTimeThreshold;  // milliseconds
    const long minimumDisplayTime;    // milliseconds
    const gfx::Color backgroundColor;
};

class ActivityIndicatorPresenter;

// What one state does with a start or a stop request.
class ActivityIndicatorPresenterState {
public:
    virtual ~ActivityIndicatorPresenterState() = default;
    virtual void handleStart(ActivityIndicatorPresenter& presenter, FadeInHandler fadeIn) const = 0;
    virtual void handleStop(ActivityIndicatorPresenter& presenter, FadeOutHandler fadeOut) const = 0;
};

class ActivityIndicatorPresenterStateWaitingToStart final : public ActivityIndicatorPresenterState {
public:
    void handleStart(ActivityIndicatorPresenter& presenter, FadeInHandler fadeIn) const override;
    void handleStop(ActivityIndicatorPresenter& presenter, FadeOutHandler fadeOut) const override;
};

class ActivityIndicatorPresenterStateAnimating final : public ActivityIndicatorPresenterState {
public:
    void handleStart(ActivityIndicatorPresenter& presenter, FadeInHandler fadeIn) const override;
    void handleStop(ActivityIndicatorPresenter& presenter, FadeOutHandler fadeOut) const override;
};

class ActivityIndicatorPresenterStateWaitingToStop final : public ActivityIndicatorPresenterState {
public:
    void handleStart(ActivityIndicatorPresenter& presenter, FadeInHandler fadeIn) const override;
    void handleStop(ActivityIndicatorPresenter& presenter, FadeOutHandler fadeOut) const override;
};

class ActivityIndicatorPresenterStateStopped final : public ActivityIndicatorPresenterState {
public:
    void handleStart(ActivityIndicatorPresenter& presenter, FadeInHandler fadeIn) const override;
    void handleStop(ActivityIndicatorPresenter& presenter, FadeOutHandler fadeOut) const override;
};

class ActivityIndicatorPresenter : public std::enable_shared_from_this<ActivityIndicatorPresenter> {
public:
    enum class State { waitingToStart, animating, waitingToStop, stopped };

    // The single presenter of the process, made on first use and never released.
    static const std::shared_ptr<ActivityIndicatorPresenter>& sharedPresenter();
    // A presenter of its own (the shared one is made this way).
    static std::shared_ptr<ActivityIndicatorPresenter> make();

    // Stores `data`, then passes the start request to the current state.
    void presentIndicator(std::shared_ptr<const ActivityData> data, FadeInHandler fadeIn = {});
    // Passes the stop request to the current state.
    void dismissIndicator(FadeOutHandler fadeOut = {});
    // Sets the message once no showing is pending (on the main queue, never within this call);
    // none clears it.
    void updateMessage(std::optional<std::string> message);
    // True while animating or waiting to stop.
    bool isIndicatorActive() const;

    const std::string restorationIdentifier = "ActivityIndicatorViewContainer";
    const std::shared_ptr<ui::Label> messageLabel;
    State state = State::stopped;
    std::shared_ptr<const ActivityData> data;
    dispatch::Group waitingToStartGroup;

    // The steps the states use.
    void showContainer(const ActivityData& data, const FadeInHandler& fadeIn);
    void hideContainer(const FadeOutHandler& fadeOut);

    ActivityIndicatorPresenter();
};

// The handler of a state.
const ActivityIndicatorPresenterState& handlerOf(ActivityIndicatorPresenter::State state);
void handleStart(ActivityIndicatorPresenter::State state, ActivityIndicatorPresenter& presenter, FadeInHandler fadeIn);
void handleStop(ActivityIndicatorPresenter::State state, ActivityIndicatorPresenter& presenter, FadeOutHandler fadeOut);

// What a view controller that shows the blocking indicator gets: it derives from this.
class ActivityIndicatorViewable {
public:
    // The message spacing is always the class-level default.
    void startBlockingIndicator(std::optional<gfx::Size> size = {}, std::optional<std::string> message = {},
                                std::optional<gfx::Font> messageFont = {}, std::optional<ActivityIndicatorType> type = {},
                                std::optional<gfx::Color> color = {}, std::optional<double> padding = {},
                                std::optional<long> displayTimeThreshold = {}, std::optional<long> minimumDisplayTime = {},
                                std::optional<gfx::Color> backgroundColor = {}, std::optional<gfx::Color> textColor = {},
                                FadeInHandler fadeIn = {});
    void stopBlockingIndicator(FadeOutHandler fadeOut = {});
    bool isBlockingIndicatorActive() const;

protected:
    ~ActivityIndicatorViewable() = default;
};

} // namespace indicators
