#include "side_menu/SMSideConfig.h"

namespace side_menu {
namespace {

// Above 1 is tested first, so a value that is not a number stays as it is. No value stays none.
void clampUnit(std::optional<double>& value) {
    if (!value) return;
    if (*value > 1) value = 1.0;
    else if (*value < 0) value = 0.0;
}

} // namespace

void SMSideConfig::setTimeInterval(std::optional<double> value) { timeInterval_ = value; }
void SMSideConfig::modifyTimeInterval(const Modifier<double>& modify) { modify(timeInterval_); }

void SMSideConfig::setMaskAlpha(std::optional<double> value) { maskAlpha_ = value; }
void SMSideConfig::modifyMaskAlpha(const Modifier<double>& modify) { modify(maskAlpha_); }

void SMSideConfig::setSideRelative(std::optional<double> value) {
    sideRelative_ = value;
    sideRelativeChanged();
}
void SMSideConfig::modifySideRelative(const Modifier<double>& modify) {
    modify(sideRelative_);
    sideRelativeChanged();
}
void SMSideConfig::sideRelativeChanged() {
    clampUnit(sideRelative_);
    // A zoomed presenting view sits over a side view as wide as the window.
    if (animationType_ == SMSideAnimationType::zoom) sideRelative_ = 1.0;
}

void SMSideConfig::setZoomRelative(std::optional<double> value) {
    zoomRelative_ = value;
    clampUnit(zoomRelative_);
}
void SMSideConfig::modifyZoomRelative(const Modifier<double>& modify) {
    modify(zoomRelative_);
    clampUnit(zoomRelative_);
}

void SMSideConfig::setZoomOffsetRelative(std::optional<double> value) {
    zoomOffsetRelative_ = value;
    clampUnit(zoomOffsetRelative_);
}
void SMSideConfig::modifyZoomOffsetRelative(const Modifier<double>& modify) {
    modify(zoomOffsetRelative_);
    clampUnit(zoomOffsetRelative_);
}

void SMSideConfig::setDirection(std::optional<SMSideDirection> value) { direction_ = value; }
void SMSideConfig::modifyDirection(const Modifier<SMSideDirection>& modify) { modify(direction_); }

void SMSideConfig::setAnimationType(std::optional<SMSideAnimationType> value) {
    animationType_ = value;
    animationTypeChanged();
}
void SMSideConfig::modifyAnimationType(const Modifier<SMSideAnimationType>& modify) {
    modify(animationType_);
    animationTypeChanged();
}
void SMSideConfig::animationTypeChanged() {
    // Through the setter, so that a subclass's override of it sees the assignment too.
    if (animationType_ == SMSideAnimationType::zoom) setSideRelative(1.0);
}

} // namespace side_menu
