#pragma once
// The settings of one side-menu presentation, shared by reference between the transitioning
// delegate, the animators and the interactive transitions of that presentation.
//
// The defaults are stored as they are. After that, every way of changing a value (set or
// modify in place) applies its rule: the three relative values are clamped to 0...1, and the
// zoom animation type forces sideRelative to 1 whichever of the two is assigned last. The
// accessors are virtual so that a subclass's overrides take effect when a configuration closure
// assigns through them. Main thread only.

#include "platform/core/Object.h"
#include "side_menu/SMSideAnimationType.h"
#include "side_menu/SMSideDirection.h"

#include <functional>
#include <optional>

namespace side_menu {

class SMSideConfig : public core::Object {
    QUILLORA_CLASS(SMSideConfig)

    template <class T>
    using Modifier = std::function<void(std::optional<T>&)>;

    // Seconds the show and the hide take.
    virtual std::optional<double> timeInterval() const { return timeInterval_; }
    virtual void setTimeInterval(std::optional<double> value);
    virtual void modifyTimeInterval(const Modifier<double>& modify);

    // The mask's alpha once the menu is shown (not clamped).
    virtual std::optional<double> maskAlpha() const { return maskAlpha_; }
    virtual void setMaskAlpha(std::optional<double> value);
    virtual void modifyMaskAlpha(const Modifier<double>& modify);

    // The side view's share of the key window's width.
    virtual std::optional<double> sideRelative() const { return sideRelative_; }
    virtual void setSideRelative(std::optional<double> value);
    virtual void modifySideRelative(const Modifier<double>& modify);

    // In zoom, the presenting view's scale.
    virtual std::optional<double> zoomRelative() const { return zoomRelative_; }
    virtual void setZoomRelative(std::optional<double> value);
    virtual void modifyZoomRelative(const Modifier<double>& modify);

    // In zoom, the presenting view's shift as a share of the side width, before scaling.
    virtual std::optional<double> zoomOffsetRelative() const { return zoomOffsetRelative_; }
    virtual void setZoomOffsetRelative(std::optional<double> value);
    virtual void modifyZoomOffsetRelative(const Modifier<double>& modify);

    virtual std::optional<SMSideDirection> direction() const { return direction_; }
    virtual void setDirection(std::optional<SMSideDirection> value);
    virtual void modifyDirection(const Modifier<SMSideDirection>& modify);

    virtual std::optional<SMSideAnimationType> animationType() const { return animationType_; }
    virtual void setAnimationType(std::optional<SMSideAnimationType> value);
    virtual void modifyAnimationType(const Modifier<SMSideAnimationType>& modify);

private:
    void sideRelativeChanged();
    void animationTypeChanged();

    std::optional<double> timeInterval_ = 0.3;
    std::optional<double> maskAlpha_ = 0.5;
    std::optional<double> sideRelative_ = 0.7;
    std::optional<double> zoomRelative_ = 0.7;
    std::optional<double> zoomOffsetRelative_ = 0.5;
    std::optional<SMSideDirection> direction_ = SMSideDirection::left;
    std::optional<SMSideAnimationType> animationType_ = SMSideAnimationType::translationPush;
};

} // namespace side_menu
