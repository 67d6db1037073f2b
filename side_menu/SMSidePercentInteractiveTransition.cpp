#include "side_menu/SMSidePercentInteractiveTransition.h"

#include "side_menu/SMSideMaskView.h"
#include "side_menu/SMSidePanRecognizerObject.h"
#include "side_menu/SideMenuPresenting.h"

#include <cmath>

namespace side_menu {
namespace {

// |t ÷ distance| in single precision, capped at 1: the 0.5 threshold is decided on this value.
double percentOf(double t, double distance) {
    float quotient = static_cast<float>(t / distance);
    return std::fmin(static_cast<double>(std::fabs(quotient)), 1.0);
}

using State = ui::GestureRecognizer::State;

} // namespace

void SMSidePercentInteractiveTransition::init() {
    PercentDrivenInteractiveTransition::init();
    std::weak_ptr<SMSidePercentInteractiveTransition> weak =
        std::static_pointer_cast<SMSidePercentInteractiveTransition>(shared_from_this());
    auto& center = core::NotificationCenter::defaultCenter();
    tapObservation_ = center.addObserver(kSMSideTapNotification, [weak](const core::Notification&) {
        if (auto self = weak.lock()) self->sm_tapAction();
    });
    panObservation_ = center.addObserver(kSMSidePanNotification, [weak](const core::Notification& notification) {
        if (auto self = weak.lock()) self->sm_panAction(notification);
    });
}

void SMSidePercentInteractiveTransition::addShowPanGesture(const std::shared_ptr<ui::ViewController>& controller) {
    if (!controller) return;
    std::weak_ptr<SMSidePercentInteractiveTransition> weak =
        std::static_pointer_cast<SMSidePercentInteractiveTransition>(shared_from_this());
    auto pan = std::make_shared<ui::PanGestureRecognizer>();
    pan->addAction([weak](ui::GestureRecognizer& r) {
        if (auto self = weak.lock()) self->handlePanWithPan(static_cast<ui::PanGestureRecognizer&>(r));
    });
    controller->view()->addGestureRecognizer(pan);
}

void SMSidePercentInteractiveTransition::sm_tapAction() {
    if (showType_ == SMSideShowType::show) return;
    if (auto target = targetVC_.lock()) target->dismissViewControllerAnimated(true);
    // Not interactive, so nothing is being driven and this does nothing; the hide runs by itself.
    finishInteractiveTransition();
}

void SMSidePercentInteractiveTransition::sm_panAction(const core::Notification& notification) {
    auto box = std::dynamic_pointer_cast<SMSidePanRecognizerObject>(notification.object);
    if (!box || !box->recognizer()) return;
    if (showType_ == SMSideShowType::hidden) handlePanWithPan(*box->recognizer());
}

void SMSidePercentInteractiveTransition::handlePanWithPan(ui::PanGestureRecognizer& pan) {
    auto view = pan.view();
    double tx = pan.translationInView(view.get()).x;
    if (!config_ && showType_ == SMSideShowType::show) {
        handleShowPan(pan);
        return;
    }
    if (!view || !config_) return;
    double distance = view->bounds().width();
    if (config_->animationType() == SMSideAnimationType::zoom)
        distance = sm_screenWidth() * (1 - config_->zoomOffsetRelative().value_or(0.5));

    switch (pan.state()) {
    case State::began:
        isInteractive_ = true;
        if (auto target = targetVC_.lock()) target->dismissViewControllerAnimated(true);
        else isInteractive_ = false;
        break;
    case State::changed: {
        // Only movement towards closing counts.
        double t = tx;
        if (config_->direction() == SMSideDirection::left) {
            if (showType_ == SMSideShowType::hidden ? tx > 0 : tx < 0) t = 0;
        } else if (tx < 0) {
            t = 0;
        }
        percent_ = percentOf(t, distance);
        updateInteractiveTransition(percent_);
        break;
    }
    case State::ended:
    case State::cancelled:
        endPan(pan.state() == State::ended);
        break;
    default:
        break;
    }
}

// Half way or more finishes a pan that ended; a cancelled pan never does.
void SMSidePercentInteractiveTransition::endPan(bool ended) {
    isInteractive_ = false;
    if (ended && percent_ >= 0.5) finishInteractiveTransition();
    else cancelInteractiveTransition();
}

void SMSidePercentInteractiveTransition::handleShowPan(ui::PanGestureRecognizer& pan) {
    auto view = pan.view();
    if (!view) return;
    double tx = pan.translationInView(view.get()).x;
    double width = view->bounds().width();
    switch (pan.state()) {
    case State::began:
        direction_ = tx < 0 ? SMSideDirection::right : SMSideDirection::left;
        isInteractive_ = true;
        if (completeShowGesture) completeShowGesture(*direction_);
        break;
    case State::changed: {
        double t = direction_ == SMSideDirection::right ? std::fmin(tx, 0.0) : std::fmax(tx, 0.0);
        percent_ = percentOf(t, width);
        updateInteractiveTransition(percent_);
        break;
    }
    case State::ended:
    case State::cancelled:
        endPan(pan.state() == State::ended);
        break;
    default:
        break;
    }
}

} // namespace side_menu
