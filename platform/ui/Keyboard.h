#pragma once
// The keyboard: which view has the typing focus (the first responder) and where the keyboard is.
//
// Hosts hand typed text, input-method text, editing keys and pastes to the keyboard, which passes
// them to the focused view. On the desktop the keys come from a hardware keyboard that takes no
// room on the screen, so the keyboard's on-screen height is 0; a height can be set (a host that
// shows an on-screen keyboard, or a test), or an on-screen keyboard simulated with the device
// profile's height (216 on the phone; off by default, QUILLORA_ONSCREEN_KEYBOARD=1 for the desktop
// host). While a text input has the focus the keyboard's frame is a strip at the screen's bottom
// edge of that height plus the height of the input's accessory view, which sits on top of it.
//
// Whenever the focus comes or goes, and whenever the frame changes while the keyboard is up (an
// accessory added or removed, the focus moved to an input with another one), the keyboard posts
// its notifications on the default centre (will-change-frame, will-show or will-hide,
// did-change-frame, did-show or did-hide), with the begin and end frames in screen points
// ([x, y, width, height]) and the animation duration (0.25 s) and curve (7) in the user info, as
// the app's HUD and toast expect; a change to an equal frame posts nothing. The keyboard's view
// (dumped as "keyboard") slides in with that duration, above everything else in the window, and
// takes touches first. Main thread only.

#include "platform/core/Value.h"
#include "platform/gfx/Rect.h"
#include "platform/ui/DeviceProfile.h"
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
    // Moves the focus straight from the focused input to `view`, so the keyboard stays up; false
    // (and the focus back where it was) when that input refuses to give it up.
    bool takeFocusFrom(const std::shared_ptr<View>& view);

    // The keyboard's frame in screen points (empty at the bottom edge while hidden).
    gfx::Rect frame() const;
    // The on-screen part's height (the accessory comes on top of it).
    double height() const { return height_; }
    void setHeight(double height) { height_ = height; }
    bool isVisible() const { return visible_; }
    // An on-screen keyboard of the screen's profile: 216 points on a phone, 264 on a pad.
    void setSimulatesOnScreenKeyboard(bool simulates);
    bool simulatesOnScreenKeyboard() const { return simulated_; }
    static double onScreenHeight(UserInterfaceIdiom idiom) { return idiom == UserInterfaceIdiom::pad ? 264 : 216; }

    // The focused input's accessory may have changed: takes it again and posts when the frame moves.
    void reloadInputViews();
    // Focus changes made while one of these lives post the keyboard's notifications once, when it
    // ends, after the inputs' own end and begin notifications.
    class FocusChange {
    public:
        FocusChange();
        ~FocusChange();
        FocusChange(const FocusChange&) = delete;
        FocusChange& operator=(const FocusChange&) = delete;
    };
    // The view that shows the keyboard in the focused input's window (the accessory on top).
    const std::shared_ptr<View>& keyboardView();
    // Puts the keyboard's view back above every other subview of `window` (the window does this
    // before it draws or routes a touch).
    void keepOnTop(View& window);
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
    void update();
    void post(bool showing, const gfx::Rect& end);
    void place(const std::shared_ptr<View>& accessory);

    std::weak_ptr<View> focused_;
    FocusObserver hostObserver_;
    double height_ = 0;
    bool simulated_ = false;
    bool visible_ = false;
    int holds_ = 0;
    gfx::Rect frame_;
    std::shared_ptr<View> keyboardView_;
    std::weak_ptr<View> accessory_;
};

} // namespace ui
