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

class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField& textField) { (void)textField; return true; }
    virtual void textFieldDidBeginEditing(TextField& textField) { (void)textField; }
    virtual bool textFieldShouldEndEditing(TextField& textField) { (void)textField; return true; }
    virtual void textFieldDidEndEditing(TextField& textField) { (void)textField; }
    // Asked before typed, pasted or deleted text changes the field (input-method text in progress
    // is not asked about until it is committed).
    virtual bool shouldChangeCharactersInRange(TextField& textField, TextRange range, const std::string& replacement) {
        (void)textField; (void)range; (void)replacement;
        return true;
    }
    virtual bool textFieldShouldReturn(TextField& textField) { (void)textField; return true; }
};

} // namespace ui
