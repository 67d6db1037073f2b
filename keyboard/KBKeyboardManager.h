#pragma once
// The keyboard manager: one shared object that follows the keyboard and text-editing
// notifications and, once switched on (`enable`), keeps the focused text field or text view at a
// distance above the keyboard and its bar: it scrolls the enclosing scroll views, raises the
// bottom inset of the one it scrolls, insets a tall text view and shifts the page's root view, and
// puts all of it back when the keyboard leaves. Independently of `enable` it gives the focused
// input a previous/next/done bar (enableAutoToolbar), walks a form with Previous and Next, and can
// put the keyboard away on a tap outside the input.
//
// Creating the manager starts its observation at once, so a later `enable` can replay the last
// keyboard show. Adjustments are queued on the main queue, at most one at a time; hiding the
// keyboard cancels a queued one. Debug lines ("KBKeyboardManager: ...") go to the standard output
// while enableDebugging is on. Main thread only.

#include "keyboard/KBBarButtonItem.h"
#include "keyboard/KBViewHierarchy.h"
#include "platform/core/NotificationCenter.h"
#include "platform/gfx/EdgeInsets.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/InputAccessory.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TapGestureRecognizer.h"

#include <functional>
#include <limits>
#include <optional>
#include <string>

namespace keyboard {

enum class KBPreviousNextDisplayMode : std::int64_t { showWhenSeveral = 0, alwaysHidden = 1, alwaysShown = 2 };

// A saved origin equal to this means none is saved.
inline constexpr gfx::Point unsetOrigin{std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};

class KBKeyboardManager : public core::Object, public ui::GestureRecognizerDelegate {
    QUILLORA_CLASS(KBKeyboardManager)

    static constexpr long kToolbarTagPreviousNext = -1005;
    static constexpr long kToolbarTagDone = -1002;
    static constexpr unsigned kDefaultAnimationCurve = 0x20000;
    static constexpr double kDefaultAnimationDuration = 0.25;

    // The one manager, made on first use and kept for the life of the process.
    static std::shared_ptr<KBKeyboardManager> shared();
    // The same manager without a reference to it, for a use that ends before the main thread goes on.
    static KBKeyboardManager& sharedReference();
    // Drops the shared manager (its observers go with it) so the next read makes a new one.
    static void resetSharedForTesting();

    KBKeyboardManager() = default;
    void init() override;
    ~KBKeyboardManager() override;

    // ---- Settings
    bool enable() const { return enable_; }
    void setEnable(bool enable);
    double keyboardDistanceFromTextField() const { return keyboardDistance_; }
    void setKeyboardDistanceFromTextField(double distance);
    bool keyboardShowing() const { return keyboardShowing_; }
    double movedDistance() const { return movedDistance_; }
    bool preventShowingBottomBlankSpace = true;  // kept, not consulted
    bool enableAutoToolbar() const { return enableAutoToolbar_; }
    void setEnableAutoToolbar(bool enable);
    KBAutoToolbarManageBehaviour toolbarManageBehaviour = KBAutoToolbarManageBehaviour::subviewOrder;
    bool shouldToolbarUsesTextFieldTintColor = false;
    std::optional<gfx::Color> toolbarTintColor;
    std::optional<gfx::Color> toolbarBarTintColor;
    KBPreviousNextDisplayMode previousNextDisplayMode = KBPreviousNextDisplayMode::showWhenSeveral;
    gfx::ImagePtr toolbarPreviousBarButtonItemImage;
    gfx::ImagePtr toolbarNextBarButtonItemImage;
    gfx::ImagePtr toolbarDoneBarButtonItemImage;
    std::optional<std::string> toolbarPreviousBarButtonItemText;
    std::optional<std::string> toolbarNextBarButtonItemText;
    std::optional<std::string> toolbarDoneBarButtonItemText;
    bool shouldShowToolbarPlaceholder = true;
    bool shouldShowTextFieldPlaceholder() const { return shouldShowToolbarPlaceholder; }
    void setShouldShowTextFieldPlaceholder(bool show) { shouldShowToolbarPlaceholder = show; }
    std::optional<gfx::Font> placeholderFont;
    std::optional<gfx::Color> placeholderColor;
    std::optional<gfx::Color> placeholderButtonColor;
    bool overrideKeyboardAppearance = false;
    ui::KeyboardAppearance keyboardAppearance = ui::KeyboardAppearance::default_;
    bool shouldResignOnTouchOutside() const { return shouldResignOnTouchOutside_; }
    void setShouldResignOnTouchOutside(bool resign);
    const std::shared_ptr<ui::TapGestureRecognizer>& resignFirstResponderGesture();
    void setResignFirstResponderGesture(std::shared_ptr<ui::TapGestureRecognizer> gesture) { gesture_ = std::move(gesture); }
    bool shouldPlayInputClicks = true;
    bool layoutIfNeededOnUpdate = false;
    bool shouldFixInteractivePopGestureRecognizer = true;  // kept, not consulted
    bool canAdjustAdditionalSafeAreaInsets = false;        // kept, not consulted
    bool enableDebugging = false;

    KBClassList disabledDistanceHandlingClasses;
    KBClassList enabledDistanceHandlingClasses;
    KBClassList disabledToolbarClasses;
    KBClassList enabledToolbarClasses;
    KBClassList toolbarPreviousNextAllowedClasses;
    KBClassList disabledTouchResignedClasses;
    KBClassList enabledTouchResignedClasses;
    KBClassList touchResignedGestureIgnoreClasses;

    // Whether a feature applies to the focused input's controller: the flag, narrowed by the lists.
    bool resolveControllerSetting(bool flag, const KBClassList& enabled, const KBClassList& disabled) const;
    bool isDistanceHandlingEnabled() const;
    bool isAutoToolbarEnabled() const;
    bool isResignOnTouchOutsideEnabled() const;

    // Other kinds of text input: their begin and end notifications are followed too.
    void registerTextFieldViewClass(const KBClass& type, const std::string& didBeginEditingNotificationName,
                                    const std::string& didEndEditingNotificationName);
    void unregisterTextFieldViewClass(const KBClass& type, const std::string& didBeginEditingNotificationName,
                                      const std::string& didEndEditingNotificationName);
    const KBClassList& registeredClasses() const { return registeredClasses_; }
    void registerAllNotifications();
    void unregisterAllNotifications();

    // ---- Keyboard and editing events
    void keyboardWillShow(const core::Notification* notification);
    void keyboardDidShow(const core::Notification* notification);
    void keyboardWillHide(const core::Notification* notification);
    void keyboardDidHide(const core::Notification* notification);
    void textFieldViewDidBeginEditing(const core::Notification& notification);
    void textFieldViewDidEndEditing(const core::Notification& notification);
    void willChangeStatusBarOrientation(const core::Notification& notification);
    // Queues an adjustment when the keyboard shows for a focused input (after a layout change).
    void reloadLayoutIfNeeded();
    // The focused input's window, else the application's key window (the last one known).
    std::shared_ptr<ui::Window> currentKeyWindow();

    // ---- The bar
    void reloadInputViews();
    void addToolbarIfRequired();
    void removeToolbarIfRequired();

    // ---- Moving between inputs
    bool resignFirstResponder();
    bool canGoPrevious() const;
    bool canGoNext() const;
    bool goPrevious();
    bool goNext();
    void previousAction(core::Object* sender);
    void nextAction(core::Object* sender);
    void doneAction(core::Object* sender);
    void tapRecognized(ui::GestureRecognizer& recognizer);
    bool shouldReceiveTouch(ui::GestureRecognizer& recognizer, const std::shared_ptr<ui::Touch>& touch) override;
    bool shouldRecognizeSimultaneously(ui::GestureRecognizer& recognizer, ui::GestureRecognizer& other) override;
    // The focused input's previous/next group (none without one).
    std::optional<Views> currentResponderGroup() const;
    // An input's group as the manager forms it (kept between calls, see cachedResponderGroup).
    GroupList currentGroupList(const ui::View& input) const;

    // ---- State a screen or a test may read
    std::shared_ptr<ui::View> textFieldView() const { return textFieldView_.lock(); }
    gfx::Size keyboardSize() const { return kbSize_; }
    double animationDuration() const { return animationDuration_; }
    unsigned long animationCurve() const { return animationCurve_; }
    gfx::Point topViewBeginOrigin() const { return topViewBeginOrigin_; }
    bool hasPendingAdjustRequest() const { return hasPendingAdjustRequest_; }
    std::shared_ptr<ui::ScrollView> lastScrollView() const { return lastScrollView_.lock(); }
    std::shared_ptr<ui::ViewController> rootViewController() const { return rootViewController_.lock(); }
    bool hasKeyboardShowNotification() const { return kbShowNotification_.has_value(); }

    // Where debug lines go (tests capture them); null restores the standard output.
    static void setLogSinkForTesting(std::function<void(const std::string& line)> sink);

private:
    friend class KBKeyboardManagerAccess;
    void log(const std::string& message) const;
    void logStarted(const char* name) const;
    void logEnded(const char* name, double start) const;
    // The media time a "started" line counts from (read only while debugging: no line needs it otherwise).
    double startTime() const;
    void animate(const std::function<void()>& animations, std::function<void(bool)> completion = {}) const;
    bool canQueueFor(const std::shared_ptr<ui::View>& input) const;
    void scheduleAdjustPosition();
    void saveBeginOrigin();
    void adjustPosition();
    void restoreRootViewPosition();
    void restoreTextViewInsets();
    void applyRootViewOrigin(const std::shared_ptr<ui::ViewController>& controller, gfx::Point origin);
    // Moves the focus to the input's neighbour in its group: none when there is no neighbour, else
    // whether the neighbour took the focus.
    std::optional<bool> step(bool forward);
    void moveAction(core::Object* sender, bool forward);

    bool enable_ = false;
    double keyboardDistance_ = 10.0;
    bool enableAutoToolbar_ = true;
    bool shouldResignOnTouchOutside_ = false;
    std::shared_ptr<ui::TapGestureRecognizer> gesture_;
    std::weak_ptr<ui::Window> gestureWindow_;
    KBClassList registeredClasses_;

    gfx::EdgeInsets startingTextViewContentInsets_;
    gfx::EdgeInsets startingTextViewScrollIndicatorInsets_;
    bool isTextViewContentInsetChanged_ = false;
    std::weak_ptr<ui::View> textFieldView_;
    ui::View* textFieldViewPointer_ = nullptr;  // the same view, read only while textFieldView_ lives
    // The focused input without taking a reference to it (for a use that ends before the main thread goes on).
    ui::View* focusedInput() const { return textFieldView_.expired() ? nullptr : textFieldViewPointer_; }
    gfx::Point topViewBeginOrigin_ = unsetOrigin;
    std::weak_ptr<ui::ViewController> rootViewControllerWhilePopGestureRecognizerActive_;
    gfx::Point topViewBeginOriginWhilePopGestureRecognizerActive_ = unsetOrigin;
    std::weak_ptr<ui::ViewController> rootViewController_;
    std::weak_ptr<ui::ScrollView> lastScrollView_;
    ui::ScrollView* lastScrollViewPointer_ = nullptr;  // the same view, read only while lastScrollView_ lives
    ui::ScrollView* lastScrollViewPointer() const { return lastScrollView_.expired() ? nullptr : lastScrollViewPointer_; }
    void setLastScrollView(ui::ScrollView* scroll);
    gfx::Point startingContentOffset_;
    gfx::EdgeInsets startingScrollIndicatorInsets_;
    gfx::EdgeInsets startingContentInsets_;
    std::optional<core::Notification> kbShowNotification_;
    gfx::Size kbSize_;
    double animationDuration_ = kDefaultAnimationDuration;
    unsigned long animationCurve_ = kDefaultAnimationCurve;
    bool keyboardShowing_ = false;
    double movedDistance_ = 0;
    bool hasPendingAdjustRequest_ = false;
    std::uint64_t adjustGeneration_ = 0;  // a queued run that no longer matches does nothing
    // What a queued run carries: the manager and the generation it was queued in. One ticket
    // serves run after run; a new one is made only while a cancelled run still holds the last.
    struct AdjustTicket {
        std::weak_ptr<KBKeyboardManager> manager;
        std::uint64_t generation = 0;
    };
    std::shared_ptr<AdjustTicket> adjustTicket_;

    std::vector<core::NotificationCenter::Token> tokens_;
    std::vector<std::pair<std::string, core::NotificationCenter::Token>> editingTokens_;
};

} // namespace keyboard
