#include "keyboard/KBKeyboardManager.h"
#include "keyboard/KBLogText.h"

#include "keyboard/KBToolbarBuilder.h"
#include "keyboard/KBViewOptions.h"
#include "platform/ca/MediaTime.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Application.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/Control.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

namespace keyboard {
namespace {

std::function<void(const std::string&)>& logSink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}

using logtext::number;
using logtext::text;
std::string yesNo(bool v) { return v ? "Yes" : "NO"; }


ui::InputAccessoryHost* accessoryHost(ui::View* view) { return view->inputAccessoryHost(); }
bool isTextInput(const ui::View* view) { return core::isKindOf<ui::TextField>(*view) || core::isKindOf<ui::TextView>(*view); }
std::shared_ptr<ui::TextView> asTextView(const std::shared_ptr<ui::View>& view) {
    return view && core::isKindOf<ui::TextView>(*view) ? std::static_pointer_cast<ui::TextView>(view) : nullptr;
}

std::mutex sharedMutex;
std::shared_ptr<KBKeyboardManager>& sharedSlot() {
    static std::shared_ptr<KBKeyboardManager> slot;
    return slot;
}
// The slot's manager, read without the lock.
std::atomic<KBKeyboardManager*> sharedPointer{nullptr};

// The weak cache of currentKeyWindow.
std::weak_ptr<ui::Window>& cachedKeyWindow() {
    static std::weak_ptr<ui::Window> window;
    return window;
}

} // namespace

// ---- Creation

std::shared_ptr<KBKeyboardManager> KBKeyboardManager::shared() {
    std::lock_guard lock(sharedMutex);
    auto& slot = sharedSlot();
    if (!slot) {
        slot = core::make<KBKeyboardManager>();
        sharedPointer.store(slot.get(), std::memory_order_release);
    }
    return slot;
}

KBKeyboardManager& KBKeyboardManager::sharedReference() {
    if (auto* manager = sharedPointer.load(std::memory_order_acquire)) return *manager;
    return *shared();  // the slot keeps it
}

void KBKeyboardManager::resetSharedForTesting() {
    std::shared_ptr<KBKeyboardManager> old;
    {
        std::lock_guard lock(sharedMutex);
        old.swap(sharedSlot());
        sharedPointer.store(nullptr, std::memory_order_release);
    }
}

void KBKeyboardManager::setLogSinkForTesting(std::function<void(const std::string&)> sink) { logSink() = std::move(sink); }

void KBKeyboardManager::init() {
    core::Object::init();
    registerAllNotifications();
    resignFirstResponderGesture()->setEnabled(shouldResignOnTouchOutside_);
    {
        // Builds both bars once on a throwaway field, so the items' first-use work is done.
        auto field = core::make<ui::TextField>();
        addDoneOnKeyboardWithTarget(*field, nullptr, ui::selector(&KBKeyboardManager::doneAction), false);
        addPreviousNextDoneOnKeyboardWithTarget(*field, nullptr, ui::selector(&KBKeyboardManager::previousAction),
                                                ui::selector(&KBKeyboardManager::nextAction),
                                                ui::selector(&KBKeyboardManager::doneAction), false);
    }
    disabledDistanceHandlingClasses = {KBClass::of<ui::TableViewController>(), KBClass::of<ui::AlertController>()};
    disabledToolbarClasses = {KBClass::of<ui::AlertController>()};
    disabledTouchResignedClasses = {KBClass::of<ui::AlertController>()};
    toolbarPreviousNextAllowedClasses = {KBClass::of<ui::TableView>(), KBClass::of<ui::CollectionView>(),
                                         KBClass::of<KBPreviousNextView>()};
    touchResignedGestureIgnoreClasses = {KBClass::of<ui::Control>(), KBClass::of<ui::NavigationBar>()};
}

KBKeyboardManager::~KBKeyboardManager() {
    enable_ = false;
    ++adjustGeneration_;
    if (gesture_)
        if (auto window = gestureWindow_.lock()) window->removeGestureRecognizer(gesture_);
}

// ---- Logging

void KBKeyboardManager::log(const std::string& message) const {
    if (!enableDebugging) return;
    std::string line = "KBKeyboardManager: " + message;
    if (auto& sink = logSink()) {
        sink(line);
    } else {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
    }
}

void KBKeyboardManager::logStarted(const char* name) const {
    if (enableDebugging) log(std::string("****** ") + name + " started ******");
}

double KBKeyboardManager::startTime() const { return enableDebugging ? ca::currentMediaTime() : 0; }

void KBKeyboardManager::logEnded(const char* name, double start) const {
    if (!enableDebugging) return;
    if (enableDebugging) log(std::string("****** ") + name + " ended: " + number(ca::currentMediaTime() - start) + " seconds ******\n");
}

void KBKeyboardManager::animate(const std::function<void()>& animations, std::function<void(bool)> completion) const {
    ui::View::animate(animationDuration_, 0, static_cast<unsigned>(animationCurve_ | ui::animationBeginFromCurrentState), animations,
                      std::move(completion));
}

// ---- Settings

void KBKeyboardManager::setEnable(bool enable) {
    if (enable == enable_) return;
    enable_ = enable;
    if (enable) {
        if (kbShowNotification_) {
            auto replay = *kbShowNotification_;
            keyboardWillShow(&replay);
        }
        // The replay queues nothing when the size is unchanged; the focused input still needs a run.
        if (keyboardShowing_ && canQueueFor(textFieldView())) scheduleAdjustPosition();
        log("Enabled");
    } else {
        keyboardWillHide(nullptr);
        // The hide handler stops at the distance test, which is now off: put back what was moved.
        if (auto scroll = lastScrollView()) {
            auto insets = startingContentInsets_, indicators = startingScrollIndicatorInsets_;
            animate([&] {
                scroll->setContentInset(insets);
                scroll->setScrollIndicatorInsets(indicators);
            });
            if (shouldRestoreScrollViewContentOffset(*scroll)) scroll->setContentOffset(startingContentOffset_, false);
        }
        restoreTextViewInsets();
        restoreRootViewPosition();
        setLastScrollView(nullptr);
        startingContentInsets_ = startingScrollIndicatorInsets_ = {};
        startingContentOffset_ = {};
        log("Disabled");
    }
}

void KBKeyboardManager::setKeyboardDistanceFromTextField(double distance) {
    keyboardDistance_ = distance >= 0.0 ? distance : 0.0;
    if (enableDebugging) log("keyboardDistanceFromTextField: " + number(keyboardDistance_));
}

void KBKeyboardManager::setEnableAutoToolbar(bool enable) {
    enableAutoToolbar_ = enable;
    if (isAutoToolbarEnabled()) addToolbarIfRequired();
    else removeToolbarIfRequired();
    if (enableDebugging) log("enableAutoToolbar: " + yesNo(enable));
}

void KBKeyboardManager::setShouldResignOnTouchOutside(bool resign) {
    shouldResignOnTouchOutside_ = resign;
    resignFirstResponderGesture()->setEnabled(isResignOnTouchOutsideEnabled());
    if (enableDebugging) log("shouldResignOnTouchOutside: " + yesNo(resign));
}

const std::shared_ptr<ui::TapGestureRecognizer>& KBKeyboardManager::resignFirstResponderGesture() {
    if (!gesture_) {
        gesture_ = std::make_shared<ui::TapGestureRecognizer>();
        std::weak_ptr<KBKeyboardManager> weak = std::static_pointer_cast<KBKeyboardManager>(shared_from_this());
        gesture_->addAction([weak](ui::GestureRecognizer& r) {
            if (auto self = weak.lock()) self->tapRecognized(r);
        });
        gesture_->setCancelsTouchesInView(false);
        gesture_->setDelegate(std::static_pointer_cast<KBKeyboardManager>(shared_from_this()));
    }
    return gesture_;
}

bool KBKeyboardManager::resolveControllerSetting(bool flag, const KBClassList& enabled, const KBClassList& disabled) const {
    const ui::View* input = focusedInput();
    if (!input) return flag;
    const ui::ViewController* controller = viewContainingControllerPointer(*input);
    if (!controller) return flag;
    if (!flag && !isKindOfAny(*controller, enabled)) return false;
    if (isKindOfAny(*controller, disabled)) return false;
    auto name = controller->className();
    return !(name.find("UIAlertController") != std::string_view::npos && name.ends_with("TextFieldViewController"));
}

bool KBKeyboardManager::isDistanceHandlingEnabled() const {
    return resolveControllerSetting(enable_, enabledDistanceHandlingClasses, disabledDistanceHandlingClasses);
}

bool KBKeyboardManager::isAutoToolbarEnabled() const {
    return resolveControllerSetting(enableAutoToolbar_, enabledToolbarClasses, disabledToolbarClasses);
}

bool KBKeyboardManager::isResignOnTouchOutsideEnabled() const {
    if (const ui::View* input = focusedInput()) {
        auto mode = shouldResignOnTouchOutsideMode(*input);
        if (mode == KBEnableMode::alwaysEnabled) return true;
        if (mode == KBEnableMode::alwaysDisabled) return false;
    }
    return resolveControllerSetting(shouldResignOnTouchOutside_, enabledTouchResignedClasses, disabledTouchResignedClasses);
}

// ---- Observation

void KBKeyboardManager::registerTextFieldViewClass(const KBClass& type, const std::string& begin, const std::string& end) {
    registeredClasses_.push_back(type);
    std::weak_ptr<KBKeyboardManager> weak = std::static_pointer_cast<KBKeyboardManager>(shared_from_this());
    auto& center = core::NotificationCenter::defaultCenter();
    editingTokens_.emplace_back(begin, center.addObserver(begin, [weak](const core::Notification& n) {
        if (auto self = weak.lock()) self->textFieldViewDidBeginEditing(n);
    }));
    editingTokens_.emplace_back(end, center.addObserver(end, [weak](const core::Notification& n) {
        if (auto self = weak.lock()) self->textFieldViewDidEndEditing(n);
    }));
}

void KBKeyboardManager::unregisterTextFieldViewClass(const KBClass& type, const std::string& begin, const std::string& end) {
    if (auto it = std::find(registeredClasses_.begin(), registeredClasses_.end(), type); it != registeredClasses_.end())
        registeredClasses_.erase(it);
    std::erase_if(editingTokens_, [&](const auto& entry) { return entry.first == begin || entry.first == end; });
}

void KBKeyboardManager::registerAllNotifications() {
    std::weak_ptr<KBKeyboardManager> weak = std::static_pointer_cast<KBKeyboardManager>(shared_from_this());
    auto& center = core::NotificationCenter::defaultCenter();
    using Handler = void (KBKeyboardManager::*)(const core::Notification*);
    auto observe = [&](const char* name, Handler handler) {
        tokens_.push_back(center.addObserver(name, [weak, handler](const core::Notification& n) {
            if (auto self = weak.lock()) ((*self).*handler)(&n);
        }));
    };
    observe(ui::Keyboard::kWillShowNotification, &KBKeyboardManager::keyboardWillShow);
    observe(ui::Keyboard::kDidShowNotification, &KBKeyboardManager::keyboardDidShow);
    observe(ui::Keyboard::kWillHideNotification, &KBKeyboardManager::keyboardWillHide);
    observe(ui::Keyboard::kDidHideNotification, &KBKeyboardManager::keyboardDidHide);
    registerTextFieldViewClass(KBClass::of<ui::TextField>(), ui::TextField::kTextDidBeginEditingNotification,
                               ui::TextField::kTextDidEndEditingNotification);
    registerTextFieldViewClass(KBClass::of<ui::TextView>(), ui::TextView::kTextDidBeginEditingNotification,
                               ui::TextView::kTextDidEndEditingNotification);
    tokens_.push_back(center.addObserver(ui::Application::kWillChangeStatusBarOrientationNotification, ui::Application::sender(),
                                         [weak](const core::Notification& n) {
                                             if (auto self = weak.lock()) self->willChangeStatusBarOrientation(n);
                                         }));
}

void KBKeyboardManager::unregisterAllNotifications() {
    tokens_.clear();
    unregisterTextFieldViewClass(KBClass::of<ui::TextField>(), ui::TextField::kTextDidBeginEditingNotification,
                                 ui::TextField::kTextDidEndEditingNotification);
    unregisterTextFieldViewClass(KBClass::of<ui::TextView>(), ui::TextView::kTextDidBeginEditingNotification,
                                 ui::TextView::kTextDidEndEditingNotification);
}

// ---- Queueing and the saved origin

bool KBKeyboardManager::canQueueFor(const std::shared_ptr<ui::View>& input) const { return input && !isInAlertController(*input); }

void KBKeyboardManager::scheduleAdjustPosition() {
    if (hasPendingAdjustRequest_) return;
    hasPendingAdjustRequest_ = true;
    if (!adjustTicket_ || adjustTicket_.use_count() > 1) {
        adjustTicket_ = std::make_shared<AdjustTicket>();
        adjustTicket_->manager = std::static_pointer_cast<KBKeyboardManager>(shared_from_this());
    }
    adjustTicket_->generation = adjustGeneration_;
    dispatch::Queue::main()->async([ticket = adjustTicket_] {
        auto self = ticket->manager.lock();
        if (!self || ticket->generation != self->adjustGeneration_) return;
        self->adjustPosition();
        self->hasPendingAdjustRequest_ = false;
    });
}

void KBKeyboardManager::setLastScrollView(ui::ScrollView* scroll) {
    if (scroll) lastScrollView_ = std::static_pointer_cast<ui::ScrollView>(std::static_pointer_cast<ui::View>(scroll->shared_from_this()));
    else lastScrollView_.reset();
    lastScrollViewPointer_ = scroll;
}

void KBKeyboardManager::saveBeginOrigin() {
    auto input = textFieldView();
    auto controller = input ? parentContainerViewController(*input) : nullptr;
    rootViewController_ = controller;
    if (!controller) return;
    if (rootViewControllerWhilePopGestureRecognizerActive_.lock() == controller)
        topViewBeginOrigin_ = topViewBeginOriginWhilePopGestureRecognizerActive_;
    else
        topViewBeginOrigin_ = controller->view()->frame().origin;
    rootViewControllerWhilePopGestureRecognizerActive_.reset();
    topViewBeginOriginWhilePopGestureRecognizerActive_ = unsetOrigin;
    if (enableDebugging) log("Saving " + logDescription(*controller) + " beginning origin : " + text(topViewBeginOrigin_));
}

// ---- Keyboard events

void KBKeyboardManager::keyboardWillShow(const core::Notification* notification) {
    kbShowNotification_.reset();
    if (notification) kbShowNotification_ = *notification;
    keyboardShowing_ = true;
    gfx::Size oldSize = kbSize_;
    if (notification && !notification->userInfo.empty()) {
        const auto& info = notification->userInfo;
        const core::Value* curve = info.find(ui::Keyboard::kAnimationCurveUserInfoKey);
        if (curve && curve->kind() == core::Value::Kind::UInt) animationCurve_ = curve->asUInt();
        else if (curve && curve->kind() == core::Value::Kind::Int && curve->asInt() >= 0) animationCurve_ = static_cast<unsigned long>(curve->asInt());
        else animationCurve_ = kDefaultAnimationCurve;
        const core::Value* duration = info.find(ui::Keyboard::kAnimationDurationUserInfoKey);
        if (duration && duration->kind() == core::Value::Kind::Double) {
            if (duration->asDouble() != 0) animationDuration_ = duration->asDouble();
        } else {
            animationDuration_ = kDefaultAnimationDuration;
        }
        const core::Value* frame = info.find(ui::Keyboard::kFrameEndUserInfoKey);
        if (frame && frame->isArray() && frame->asArray().size() == 4) {
            gfx::Rect end = ui::Keyboard::frameFromUserInfo(info, ui::Keyboard::kFrameEndUserInfoKey);
            gfx::Rect screen = ui::Screen::main().bounds();
            gfx::Rect visible = end.intersection(screen);
            kbSize_ = visible.isEmpty() ? gfx::Size{screen.width(), 0} : visible.size;
            if (enableDebugging) log("UIKeyboard Size : " + text(kbSize_));
        }
    }
    if (!isDistanceHandlingEnabled()) return;
    logStarted("keyboardWillShow(_:)");
    double start = startTime();
    auto input = textFieldView();
    if (input && topViewBeginOrigin_ == unsetOrigin) saveBeginOrigin();
    if (kbSize_ != oldSize && keyboardShowing_ && canQueueFor(input)) scheduleAdjustPosition();
    logEnded("keyboardWillShow(_:)", start);
}

void KBKeyboardManager::keyboardDidShow(const core::Notification*) {
    if (!isDistanceHandlingEnabled()) return;
    logStarted("keyboardDidShow(_:)");
    double start = startTime();
    auto input = textFieldView();
    if (input) {
        auto controller = parentContainerViewController(*input);
        auto style = controller ? controller->modalPresentationStyle() : ui::ModalPresentationStyle::fullScreen;
        bool sheet = style == ui::ModalPresentationStyle::formSheet || style == ui::ModalPresentationStyle::pageSheet;
        if (sheet && canQueueFor(input)) scheduleAdjustPosition();
    }
    logEnded("keyboardDidShow(_:)", start);
}

void KBKeyboardManager::keyboardWillHide(const core::Notification* notification) {
    if (notification) kbShowNotification_.reset();
    keyboardShowing_ = false;
    if (notification) {
        const core::Value* duration = notification->userInfo.find(ui::Keyboard::kAnimationDurationUserInfoKey);
        if (duration && duration->kind() == core::Value::Kind::Double && duration->asDouble() != 0) animationDuration_ = duration->asDouble();
    }
    if (!isDistanceHandlingEnabled()) return;
    logStarted("keyboardWillHide(_:)");
    double start = startTime();
    if (auto scroll = lastScrollView()) {
        animate([&] {
            scroll->setContentInset(startingContentInsets_);
            scroll->setScrollIndicatorInsets(startingScrollIndicatorInsets_);
            if (shouldRestoreScrollViewContentOffset(*scroll)) scroll->setContentOffset(startingContentOffset_, false);
            if (enableDebugging) log("Restoring " + logDescription(*scroll) + " contentInset to : " + text(startingContentInsets_) +
                " and contentOffset to : " + text(startingContentOffset_));
            for (std::shared_ptr<ui::View> v = scroll; v;) {
                auto s = std::dynamic_pointer_cast<ui::ScrollView>(v);
                if (!s) break;
                double height = std::max(s->contentSize().height, s->frame().height());
                double lowest = height - s->frame().height();
                if (lowest < s->contentOffset().y) {
                    s->setContentOffset({s->contentOffset().x, lowest}, false);
                    if (enableDebugging) log("Restoring " + logDescription(*s) + " contentOffset to : " + text(s->contentOffset()));
                }
                v = superviewOfClassType(*s, KBClass::of<ui::ScrollView>());
            }
        });
    }
    restoreRootViewPosition();
    setLastScrollView(nullptr);
    kbSize_ = {};
    startingContentInsets_ = startingScrollIndicatorInsets_ = {};
    startingContentOffset_ = {};
    logEnded("keyboardWillHide(_:)", start);
}

void KBKeyboardManager::keyboardDidHide(const core::Notification*) {
    logStarted("keyboardDidHide(_:)");
    double start = startTime();
    topViewBeginOrigin_ = unsetOrigin;
    kbSize_ = {};
    logEnded("keyboardDidHide(_:)", start);
}

void KBKeyboardManager::restoreRootViewPosition() {
    hasPendingAdjustRequest_ = false;
    ++adjustGeneration_;
    auto controller = rootViewController();
    if (topViewBeginOrigin_ == unsetOrigin || !controller) return;
    animate([&] {
        if (enableDebugging) log("Restoring " + logDescription(*controller) + " origin to : " + text(topViewBeginOrigin_));
        const auto& view = controller->view();
        view->setFrame({topViewBeginOrigin_, view->frame().size});
        movedDistance_ = 0;
        if (auto nav = controller->navigationController())
            if (auto pop = nav->interactivePopGestureRecognizer(); pop && pop->state() == ui::GestureRecognizer::State::began) {
                rootViewControllerWhilePopGestureRecognizerActive_ = controller;
                topViewBeginOriginWhilePopGestureRecognizerActive_ = topViewBeginOrigin_;
            }
        if (layoutIfNeededOnUpdate) {
            view->setNeedsLayout();
            view->layoutIfNeeded();
        }
    });
    rootViewController_.reset();
}

void KBKeyboardManager::restoreTextViewInsets() {
    if (!isTextViewContentInsetChanged_) return;
    auto textView = asTextView(textFieldView());
    if (!textView) return;
    animate([&] {
        isTextViewContentInsetChanged_ = false;
        if (enableDebugging) log("Restoring " + logDescription(*textView) + " textView.contentInset to : " + text(startingTextViewContentInsets_));
        textView->setContentInset(startingTextViewContentInsets_);
        textView->setScrollIndicatorInsets(startingTextViewScrollIndicatorInsets_);
    });
}

// ---- Editing events

void KBKeyboardManager::textFieldViewDidBeginEditing(const core::Notification& notification) {
    logStarted("textFieldViewDidBeginEditing(_:)");
    double start = startTime();
    auto input = notification.object && core::isKindOf<ui::View>(*notification.object) ? std::static_pointer_cast<ui::View>(notification.object)
                                                                                         : nullptr;
    textFieldView_ = input;
    textFieldViewPointer_ = input.get();
    if (overrideKeyboardAppearance && input && isTextInput(input.get())) {
        auto* host = accessoryHost(input.get());
        if (host->keyboardAppearance() != keyboardAppearance) {
            host->setKeyboardAppearance(keyboardAppearance);
            host->reloadInputViews();
        }
    }
    if (isAutoToolbarEnabled()) {
        auto textView = asTextView(input);
        if (textView && !textView->inputAccessoryView()) {
            std::weak_ptr<ui::TextView> weakView = textView;
            ui::View::animate(0.00001, 0, static_cast<unsigned>(animationCurve_ | ui::animationBeginFromCurrentState),
                              [this] { addToolbarIfRequired(); },
                              [weakView](bool) {
                                  if (auto v = weakView.lock()) v->reloadInputViews();
                              });
        } else {
            addToolbarIfRequired();
        }
    } else {
        removeToolbarIfRequired();
    }
    const auto& gesture = resignFirstResponderGesture();
    gesture->setEnabled(isResignOnTouchOutsideEnabled());
    if (input)
        if (auto window = input->window()) {
            window->addGestureRecognizer(gesture);
            gestureWindow_ = window;
        }
    if (isDistanceHandlingEnabled()) {
        if (topViewBeginOrigin_ == unsetOrigin) saveBeginOrigin();
        if (keyboardShowing_ && canQueueFor(input)) scheduleAdjustPosition();
    }
    logEnded("textFieldViewDidBeginEditing(_:)", start);
}

void KBKeyboardManager::textFieldViewDidEndEditing(const core::Notification&) {
    logStarted("textFieldViewDidEndEditing(_:)");
    double start = startTime();
    // The window the gesture was added to: a field leaving its window ends editing after leaving.
    if (auto window = gestureWindow_.lock()) window->removeGestureRecognizer(resignFirstResponderGesture());
    gestureWindow_.reset();
    restoreTextViewInsets();
    textFieldView_.reset();
    textFieldViewPointer_ = nullptr;
    logEnded("textFieldViewDidEndEditing(_:)", start);
}

void KBKeyboardManager::willChangeStatusBarOrientation(const core::Notification&) {
    logStarted("willChangeStatusBarOrientation(_:)");
    double start = startTime();
    restoreTextViewInsets();
    restoreRootViewPosition();
    logEnded("willChangeStatusBarOrientation(_:)", start);
}

void KBKeyboardManager::reloadLayoutIfNeeded() {
    if (isDistanceHandlingEnabled() && keyboardShowing_ && topViewBeginOrigin_ != unsetOrigin && canQueueFor(textFieldView()))
        scheduleAdjustPosition();
}

std::shared_ptr<ui::Window> KBKeyboardManager::currentKeyWindow() {
    if (auto input = textFieldView())
        if (auto window = input->window()) return window;
    auto& cache = cachedKeyWindow();
    if (auto key = ui::Application::shared().keyWindow(); key && cache.lock() != key) cache = key;
    return cache.lock();
}

void KBKeyboardManager::reloadInputViews() {
    if (isAutoToolbarEnabled()) addToolbarIfRequired();
    else removeToolbarIfRequired();
}

} // namespace keyboard
