#pragma once
// The keyboard: which view has the typing focus (the first responder) and where the keyboard is.
//
// Hosts hand typed text, input-method text, editing keys and pastes to the keyboard, which passes
// them to the focused view. On the desktop the keys come from a hardware keyboard that takes no
// room on the screen, so the keyboard's frame is an empty strip at the screen's bottom edge; a
// height can be set (a host that shows an on-screen keyboard, or a test) and then the frame is
// that strip while a view has the focus. Whenever the focus comes or goes the keyboard posts its
// notifications on the default centre, with the begin and end frames in screen points
// ([x, y, width, height]) and the animation duration (0.25 s) and curve (7) in the user info, as
// the app's HUD and toast expect. Main thread only.

#include "platform/core/Value.h"
#include "platform/gfx/Rect.h"
#include "platform/ui/TextInput.h"

#include <functional>
#include <memory>

namespace ui {

class View;

class Keyboard {
public:
    static constexpr const char* kWillShowNotification = "KeyboardWillShowNotification";
    static constexpr const char* kDidShowNotification = "KeyboardDidShowNotification";
    static constexpr const char* kWillHideNotification = "KeyboardWillHideNotification";
    static constexpr const char* kDidHideNotification = "KeyboardDidHideNotification";
    static constexpr const char* kWillChangeFrameNotification = "KeyboardWillChangeFrameNotification";
    static constexpr const char* kDidChangeFrameNotification = "KeyboardDidChangeFrameNotification";
    static constexpr const char* kFrameBeginUserInfoKey = "KeyboardFrameBeginUserInfoKey";
    static constexpr const char* kFrameEndUserInfoKey = "KeyboardFrameEndUserInfoKey";
    static constexpr const char* kAnimationDurationUserInfoKey = "KeyboardAnimationDurationUserInfoKey";
    static constexpr const char* kAnimationCurveUserInfoKey = "KeyboardAnimationCurveUserInfoKey";
    static constexpr double kAnimationDuration = 0.25;
    static constexpr int kAnimationCurve = 7;

    static Keyboard& shared();

    // The focused view (a TextInput), if any.
    std::shared_ptr<View> firstResponder() const { return focused_.lock(); }
    TextInput* focusedInput() const;
    // Called by text inputs when they take or give up the focus.
    void setFirstResponder(const std::shared_ptr<View>& view);
    void resignFirstResponder(const View* view);

    // The keyboard's frame in screen points (empty at the bottom edge while hidden).
    gfx::Rect frame() const;
    double height() const { return height_; }
    void setHeight(double height) { height_ = height; }
    bool isVisible() const { return visible_; }
    // A frame in a notification's user info, as written by the keyboard.
    static gfx::Rect frameFromUserInfo(const core::Dictionary& userInfo, const char* key);

    // Input from the hosts, passed to the focused view; nothing happens without one.
    void insertText(const std::string& text);
    void deleteBackward();
    void setMarkedText(const std::string& text, std::size_t cursorUtf16);
    void unmarkText();
    void handleKey(EditingKey key);
    // Inserts the pasteboard's text at the caret.
    void paste();

    // The host is told when the focus changes and when the caret moves, to move its input method.
    using FocusObserver = std::function<void(View* focused)>;
    void setHostFocusObserver(FocusObserver observer) { hostObserver_ = std::move(observer); }
    void caretDidMove();

private:
    Keyboard() = default;
    void post(bool showing);

    std::weak_ptr<View> focused_;
    FocusObserver hostObserver_;
    double height_ = 0;
    bool visible_ = false;
};

} // namespace ui
