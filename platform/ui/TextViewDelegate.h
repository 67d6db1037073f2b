#pragma once
// What a text view asks of and tells its delegate (held weakly). Ranges are in UTF-16 units.

#include "platform/ui/TextFieldDelegate.h"

namespace ui {

class TextView;

class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(TextView& textView) { (void)textView; return true; }
    virtual void textViewDidBeginEditing(TextView& textView) { (void)textView; }
    virtual bool textViewShouldEndEditing(TextView& textView) { (void)textView; return true; }
    virtual void textViewDidEndEditing(TextView& textView) { (void)textView; }
    // Asked before typed, pasted or deleted text (a return is "\n") replaces `range`.
    virtual bool shouldChangeTextInRange(TextView& textView, TextRange range, const std::string& replacement) {
        (void)textView; (void)range; (void)replacement;
        return true;
    }
    virtual void textViewDidChange(TextView& textView) { (void)textView; }
};

} // namespace ui
