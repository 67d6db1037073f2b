#pragma once
// The app's yellow search bar: a search icon and a text field on a closure button. The field
// takes no touches at first, so a tap anywhere on the bar runs the button's action; the answer
// list turns the field's interaction on to type into it. Main thread only.
#include "Commons/Button/NXButton.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextField.h"

namespace kit {

class QUMainSearchView : public NXButton {
    QUILLORA_CLASS(QUMainSearchView)

    using NXButton::NXButton;
    void init() override;

    const std::shared_ptr<ui::ImageView>& iconImageView() const { return iconImageView_; }
    const std::shared_ptr<ui::TextField>& inputTextField() const { return inputTextField_; }

private:
    std::shared_ptr<ui::ImageView> iconImageView_;
    std::shared_ptr<ui::TextField> inputTextField_;
};

} // namespace kit
