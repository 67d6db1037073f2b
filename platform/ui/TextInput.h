#pragma once
// What a view that takes typed text offers the keyboard: the hosts turn key presses, committed
// input-method text, the input method's preedit (marked) text and pastes into these calls on the
// first responder. Positions are UTF-16 offsets. Main thread only.

#include "platform/gfx/Rect.h"

#include <string>

namespace ui {

enum class EditingKey { returnKey, deleteForward, left, right, home, end, escape };

class TextInput {
public:
    virtual ~TextInput() = default;
    // Replaces the marked text (or the selection) with committed text.
    virtual void insertText(const std::string& text) = 0;
    virtual void deleteBackward() = 0;
    // The input method's text in progress, shown underlined at the caret; an empty text removes it.
    virtual void setMarkedText(const std::string& text, std::size_t cursorUtf16) = 0;
    virtual void unmarkText() = 0;
    virtual void handleKey(EditingKey key) = 0;
    // Where the caret is, in window points (the input method places its candidate list there).
    virtual gfx::Rect caretRectInWindow() const = 0;
    // Gives up the focus; false when the delegate refuses and `force` is off.
    virtual bool resignFirstResponder(bool force = false) = 0;
};

} // namespace ui
