#pragma once
// What a text view asks of and tells its delegate (held weakly). Ranges are in UTF-16 units.

#include "platform/gfx/Image.h"
#include "platform/gfx/Rect.h"
#include "platform/ui/TextFieldDelegate.h"

namespace ui {

class TextView;

// What a tap on a link or an inserted picture of a text view asks to do: open it, show what can
// be done with it, or preview it.
enum class TextItemInteraction { invokeDefaultAction = 0, presentActions = 1, preview = 2 };

// A picture that stands in the text of a text view.
struct TextAttachment {
    gfx::ImagePtr image;
    gfx::Rect bounds;
};

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
    // After the selection (or the caret) moved, by the user or by setSelectedRange.
    virtual void textViewDidChangeSelection(TextView& textView) { (void)textView; }
    // Whether a link or an attachment in the text may be interacted with. A delegate that
    // answers only the forms without an interaction is asked those.
    virtual bool shouldInteractWithURL(TextView& textView, const std::string& url, TextRange range,
                                       TextItemInteraction interaction) {
        (void)interaction;
        return shouldInteractWithURL(textView, url, range);
    }
    virtual bool shouldInteractWithTextAttachment(TextView& textView, const TextAttachment& attachment, TextRange range,
                                                  TextItemInteraction interaction) {
        (void)interaction;
        return shouldInteractWithTextAttachment(textView, attachment, range);
    }
    virtual bool shouldInteractWithURL(TextView& textView, const std::string& url, TextRange range) {
        (void)textView; (void)url; (void)range;
        return true;
    }
    virtual bool shouldInteractWithTextAttachment(TextView& textView, const TextAttachment& attachment, TextRange range) {
        (void)textView; (void)attachment; (void)range;
        return true;
    }
};

} // namespace ui
