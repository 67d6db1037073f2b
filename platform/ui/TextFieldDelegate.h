#pragma once
// What a text field asks of and tells its delegate (held weakly). Ranges are in UTF-16 units.

#include <cstddef>
#include <string>

namespace ui {

class TextField;

struct TextRange {
    std::size_t location = 0;
    std::size_t length = 0;
};

// Why a text field stopped editing: it gave the focus up (committed), or its editing was torn
// down without that (cancelled: the field left its window while it had the focus).
enum class TextFieldDidEndEditingReason { committed = 0, cancelled = 1 };

class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField& textField) { (void)textField; return true; }
    virtual void textFieldDidBeginEditing(TextField& textField) { (void)textField; }
    virtual bool textFieldShouldEndEditing(TextField& textField) { (void)textField; return true; }
    virtual void textFieldDidEndEditing(TextField& textField) { (void)textField; }
    // The field calls this one; a delegate that does not care for the reason hears the one above.
    virtual void textFieldDidEndEditing(TextField& textField, TextFieldDidEndEditingReason reason) {
        (void)reason;
        textFieldDidEndEditing(textField);
    }
    // Asked before typed, pasted or deleted text changes the field (input-method text in progress
    // is not asked about until it is committed).
    virtual bool shouldChangeCharactersInRange(TextField& textField, TextRange range, const std::string& replacement) {
        (void)textField; (void)range; (void)replacement;
        return true;
    }
    // Asked when the clear button is tapped; false keeps the text.
    virtual bool textFieldShouldClear(TextField& textField) { (void)textField; return true; }
    virtual bool textFieldShouldReturn(TextField& textField) { (void)textField; return true; }
};

} // namespace ui
