#pragma once
// What a text input offers besides typing: a view that rides above the keyboard while the input
// has the focus (its accessory, for instance a bar of buttons) and the look of the keyboard it
// asks for. Text fields, text views and search bars have these; a caller tells them apart from
// other views by View::inputAccessoryHost(). Main thread only.

#include <memory>

namespace ui {

class View;

enum class KeyboardAppearance { default_ = 0, dark = 1, light = 2 };

class InputAccessoryHost {
public:
    virtual ~InputAccessoryHost() = default;

    const std::shared_ptr<View>& inputAccessoryView() const { return inputAccessoryView_; }
    // Takes effect at once while the input has the focus (the keyboard changes its frame).
    void setInputAccessoryView(std::shared_ptr<View> view);
    // Has the keyboard take this input's accessory again (after a change to it or its height).
    void reloadInputViews();
    KeyboardAppearance keyboardAppearance() const { return keyboardAppearance_; }
    void setKeyboardAppearance(KeyboardAppearance appearance) { keyboardAppearance_ = appearance; }

protected:
    // The view that holds the focus for this host (itself, or the field inside a search bar).
    virtual const View* focusView() const = 0;

private:
    std::shared_ptr<View> inputAccessoryView_;
    KeyboardAppearance keyboardAppearance_ = KeyboardAppearance::default_;
};

} // namespace ui
