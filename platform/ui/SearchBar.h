#pragma once
// A search bar: a text field on a grey strip. It takes an input accessory view and a keyboard
// appearance for its field (the field's own accessory, when set, wins). Main thread only.

#include "platform/ui/InputAccessory.h"
#include "platform/ui/TextField.h"

namespace ui {

class SearchBar : public View, public InputAccessoryHost {
    QUILLORA_CLASS(SearchBar)

    using View::View;
    void init() override;

    const std::shared_ptr<TextField>& searchTextField() const { return field_; }
    const std::string& text() const { return field_->text(); }
    void setText(std::string text) { field_->setText(std::move(text)); }
    const std::string& placeholder() const { return field_->placeholder(); }
    void setPlaceholder(std::string placeholder) { field_->setPlaceholder(std::move(placeholder)); }

    // The focus is the field's: become and is-first answer for it, resignFirstResponder gives it up.
    bool becomeFirstResponder() override { return field_->becomeFirstResponder(); }
    bool isFirstResponder() const override { return field_->isFirstResponder(); }

    gfx::Size sizeThatFits(gfx::Size size) const override { return {size.width, 56}; }
    void layoutSubviews() override;
    InputAccessoryHost* inputAccessoryHost() override { return this; }

protected:
    const View* focusView() const override { return this; }

private:
    std::shared_ptr<TextField> field_;
};

} // namespace ui
