#pragma once
// A multi-line text input in a scroll view: its text wraps at words inside the text container inset
// (8 above and below by default) and the line fragment padding (5 on each side); a return inserts
// a line break; the caret is a UTF-16 offset and the selection a UTF-16 range that typing replaces;
// the input method's text in progress shows at the caret; the content scrolls to keep the caret in
// view. Without a font of its own it draws in the system font of 12 points.
//
// Focus and notifications follow the text field: kTextDidBeginEditingNotification when it takes the
// focus, kTextDidChangeNotification after every change of its text by typing (not from setText),
// kTextDidEndEditingNotification when it gives it up, each with itself as object.
//
// Links: while it is not editable and its data detectors include links, the web addresses in
// its text ("http://" or "https://" up to a space, a non-ASCII character or the end, less
// closing punctuation) are drawn in its tint colour, underlined; a tap on one asks the delegate
// (shouldInteractWithURL, default action) and, when allowed, opens it (Application::openURL).
// Main thread only.

#include "platform/dispatch/Timer.h"
#include "platform/gfx/Font.h"
#include "platform/ui/InputAccessory.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextInput.h"
#include "platform/ui/TextViewDelegate.h"

#include <optional>
#include <vector>

namespace ui {

// What a text view finds in its text and makes tappable while it is not editable.
enum DataDetectorTypes : unsigned { dataDetectorNone = 0, dataDetectorLink = 1u << 1 };

class TextView : public ScrollView, public TextInput, public InputAccessoryHost {
    QUILLORA_CLASS(TextView)

    static constexpr const char* kTextDidBeginEditingNotification = "TextViewTextDidBeginEditingNotification";
    static constexpr const char* kTextDidChangeNotification = "TextViewTextDidChangeNotification";
    static constexpr const char* kTextDidEndEditingNotification = "TextViewTextDidEndEditingNotification";
    static constexpr double kDefaultFontSize = 12;

    using ScrollView::ScrollView;
    void init() override;
    ~TextView() override;

    virtual const std::string& text() const { return text_; }
    virtual void setText(std::string text);
    virtual const std::optional<gfx::Font>& font() const { return font_; }
    virtual void setFont(std::optional<gfx::Font> font);
    const gfx::Color& textColor() const { return textColor_; }
    void setTextColor(gfx::Color color);
    virtual TextAlignment textAlignment() const { return alignment_; }
    virtual void setTextAlignment(TextAlignment alignment);
    gfx::EdgeInsets textContainerInset() const { return inset_; }
    void setTextContainerInset(gfx::EdgeInsets inset);
    double lineFragmentPadding() const { return padding_; }
    void setLineFragmentPadding(double padding);
    bool isEditable() const { return editable_; }
    void setEditable(bool editable);
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }
    virtual std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }
    virtual void setDelegate(std::weak_ptr<TextViewDelegate> delegate) { delegate_ = std::move(delegate); }

    unsigned dataDetectorTypes() const { return dataDetectorTypes_; }
    void setDataDetectorTypes(unsigned types);
    // The web addresses shown as links now, with their UTF-16 ranges (none while editable).
    struct DetectedLink {
        TextRange range;
        std::string url;
    };
    std::vector<DetectedLink> detectedLinks() const;

    // The selection (length 0: the caret), in UTF-16 units.
    TextRange selectedRange() const { return selection_; }
    void setSelectedRange(TextRange range);
    const std::string& markedText() const { return marked_; }

    bool isEditing() const { return editing_; }
    bool isFirstResponder() const override { return editing_; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder(bool force = false) override;
    bool canBecomeFirstResponder() const override { return editable_; }

    // TextInput.
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void setMarkedText(const std::string& text, std::size_t cursorUtf16) override;
    void unmarkText() override;
    void handleKey(EditingKey key) override;
    gfx::Rect caretRectInWindow() const override;

    void layoutSubviews() override;
    void didMoveToWindow() override;
    void touchesEnded(const TouchSet& touches) override;
    std::optional<std::string> dumpText() const override { return text_; }
    InputAccessoryHost* inputAccessoryHost() override { return this; }

protected:
    const View* focusView() const override { return this; }

private:
    friend class TextViewContent;
    gfx::Font drawingFont() const;
    double textWidth() const;
    gfx::TextLayout layoutFor(const std::string& text) const;
    // The links as byte ranges of the text, with their addresses.
    struct LinkSpan {
        std::size_t start, end;
        std::string url;
    };
    std::vector<LinkSpan> linkSpans() const;
    gfx::Rect caretRect() const;  // in content coordinates
    bool replace(TextRange range, const std::string& replacement);
    void changed();
    void relayout();
    void scrollToCaret();
    void startBlinking();
    void stopBlinking();

    std::string text_;
    std::optional<gfx::Font> font_;
    gfx::Color textColor_ = gfx::Color::black();
    TextAlignment alignment_ = TextAlignment::natural;
    gfx::EdgeInsets inset_{8, 0, 8, 0};
    double padding_ = 5;
    bool editable_ = true;
    unsigned dataDetectorTypes_ = dataDetectorNone;
    ReturnKeyType returnKeyType_ = ReturnKeyType::default_;
    std::weak_ptr<TextViewDelegate> delegate_;
    TextRange selection_;
    std::string marked_;
    std::size_t markedCursor_ = 0;
    bool editing_ = false;
    bool caretShown_ = true;
    std::shared_ptr<View> content_;
    std::shared_ptr<dispatch::Timer> blink_;
};

} // namespace ui
