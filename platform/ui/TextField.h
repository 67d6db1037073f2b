#pragma once
// A one-line text input: its text (or, when empty, a placeholder in its own font and colour), a
// blinking caret while it has the focus, typed and pasted text inserted at the caret, the input
// method's text in progress shown underlined at the caret until it is committed.
//
// Focus: a tap or becomeFirstResponder() makes it the first responder (if its delegate agrees);
// asked before the field is in a window, the focus is taken when it arrives in one. The keyboard
// (ui::Keyboard) brings it the typing of the host. It posts kTextDidBeginEditingNotification when it
// takes the focus, kTextDidChangeNotification after every change of its text and
// kTextDidEndEditingNotification when it gives the focus up, each with itself as object; on a move
// of the focus the old input's end and the new one's begin come before the keyboard's own
// notifications, so an accessory set at the begin is in the keyboard's first frame.
//
// Clear button: a grey circle with a cross at the right end, shown by its mode (never, while
// editing, unless editing, always) whenever the field has text; the text keeps clear of it. A tap
// on it takes the focus if the field lacks it, asks the delegate (textFieldShouldClear) and, if
// allowed, empties the text (reported as a change, without asking shouldChangeCharactersInRange).
// Main thread only.

#include "platform/dispatch/Timer.h"
#include "platform/gfx/Font.h"
#include "platform/ui/Control.h"
#include "platform/ui/InputAccessory.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextFieldDelegate.h"
#include "platform/ui/TextInput.h"

#include <optional>

namespace ui {

enum class ReturnKeyType { default_ = 0, go = 1, google = 2, join = 3, next = 4, route = 5, search = 6, send = 7, done = 9 };

// Control events of text fields.
enum TextFieldEvents : unsigned {
    editingDidBegin = 1u << 16,
    editingChanged = 1u << 17,
    editingDidEnd = 1u << 18,
    editingDidEndOnExit = 1u << 19,
};

enum class TextFieldViewMode { never = 0, whileEditing = 1, unlessEditing = 2, always = 3 };

class TextField : public Control, public TextInput, public InputAccessoryHost {
    QUILLORA_CLASS(TextField)

    static constexpr const char* kTextDidChangeNotification = "TextFieldTextDidChangeNotification";
    static constexpr const char* kTextDidBeginEditingNotification = "TextFieldTextDidBeginEditingNotification";
    static constexpr const char* kTextDidEndEditingNotification = "TextFieldTextDidEndEditingNotification";

    using Control::Control;
    void init() override;
    ~TextField() override;

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string placeholder);
    // The placeholder in a font and colour of its own (by default the field's font, grey).
    void setAttributedPlaceholder(std::string placeholder, gfx::Font font, gfx::Color color);
    const gfx::Font& font() const { return font_; }
    void setFont(gfx::Font font);
    const gfx::Color& textColor() const { return textColor_; }
    void setTextColor(gfx::Color color);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment);
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }
    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TextFieldDelegate> delegate) { delegate_ = std::move(delegate); }
    TextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(TextFieldViewMode mode);
    // Whether the clear button shows now, and where (in the field's bounds).
    bool isClearButtonShown() const;
    gfx::Rect clearButtonRect() const;

    // The caret, as a UTF-16 offset into the text.
    std::size_t caret() const { return caret_; }
    void setCaret(std::size_t utf16Offset);
    const std::string& markedText() const { return marked_; }

    bool isEditing() const { return editing_; }
    bool isFirstResponder() const override { return editing_; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder(bool force = false) override;

    // TextInput.
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void setMarkedText(const std::string& text, std::size_t cursorUtf16) override;
    void unmarkText() override;
    void handleKey(EditingKey key) override;
    gfx::Rect caretRectInWindow() const override;

    bool drawsContent() const override { return true; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void didMoveToWindow() override;
    void touchesEnded(const TouchSet& touches) override;
    std::optional<std::string> dumpText() const override { return text_.empty() ? placeholder_ : text_; }
    InputAccessoryHost* inputAccessoryHost() override { return this; }

protected:
    const View* focusView() const override { return this; }

private:
    bool replace(TextRange range, const std::string& replacement);
    gfx::TextLayout layoutFor(const std::string& text, const gfx::Font& font) const;
    double widthOf(const std::string& text) const;
    // The width the text is laid out and scrolled in: the bounds less the clear button's room.
    double textAreaWidth() const;
    void clear();
    void endEditing(TextFieldDidEndEditingReason reason);
    double textOriginX(double width) const;
    std::size_t offsetAt(double x) const;
    void changed();
    void startBlinking();
    void stopBlinking();

    std::string text_;
    std::string placeholder_;
    std::optional<gfx::Font> placeholderFont_;
    std::optional<gfx::Color> placeholderColor_;
    gfx::Font font_ = gfx::Font::systemFont(17);
    gfx::Color textColor_ = gfx::Color::black();
    TextAlignment alignment_ = TextAlignment::natural;
    ReturnKeyType returnKeyType_ = ReturnKeyType::default_;
    std::weak_ptr<TextFieldDelegate> delegate_;
    TextFieldViewMode clearButtonMode_ = TextFieldViewMode::never;
    std::size_t caret_ = 0;
    std::string marked_;
    std::size_t markedCursor_ = 0;
    bool editing_ = false;
    bool focusPending_ = false;
    bool caretShown_ = true;
    double scrollX_ = 0;
    std::shared_ptr<dispatch::Timer> blink_;
};

} // namespace ui
