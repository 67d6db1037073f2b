#pragma once
// Options that screens put on single views for the keyboard manager, kept with the view (see
// ui::AssociatedObjects) under a key of their own; an unset option reads as its default. Values
// are stored as given, unchecked (a distance of -5 reads back as -5). Also the view's input
// toolbar: its accessory view when that is a KBToolbar, else one kept with the view, made on the
// first read. Main thread only.

#include "keyboard/KBToolbar.h"
#include "platform/core/Object.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ViewController.h"

#include <cstdint>
#include <limits>

namespace keyboard {

enum class KBEnableMode : std::int64_t { useManagerSetting = 0, alwaysEnabled = 1, alwaysDisabled = 2 };

// A view's distance that means "the manager's own distance".
inline constexpr double keyboardDistanceUseDefault = std::numeric_limits<double>::max();

bool shouldIgnoreScrollingAdjustment(const ui::ScrollView& view);
void setShouldIgnoreScrollingAdjustment(ui::ScrollView& view, bool value);
bool shouldRestoreScrollViewContentOffset(const ui::ScrollView& view);
void setShouldRestoreScrollViewContentOffset(ui::ScrollView& view, bool value);
double keyboardDistanceFromTextField(const ui::View& view);
void setKeyboardDistanceFromTextField(ui::View& view, double distance);
bool ignoreSwitchingByNextPrevious(const ui::View& view);
void setIgnoreSwitchingByNextPrevious(ui::View& view, bool value);
KBEnableMode shouldResignOnTouchOutsideMode(const ui::View& view);
void setShouldResignOnTouchOutsideMode(ui::View& view, KBEnableMode mode);
// A layout constraint a screen keeps with its controller; nothing here reads it.
std::shared_ptr<core::Object> KBLayoutGuideConstraint(const ui::ViewController& controller);
void setKBLayoutGuideConstraint(ui::ViewController& controller, std::shared_ptr<core::Object> constraint);

std::shared_ptr<KBToolbar> keyboardToolbar(ui::View& view);
// The same bar without taking a reference to it (the view keeps it), for a use that ends before the
// main thread goes on.
KBToolbar& keyboardToolbarOf(ui::View& view);

// Storage shared with the toolbar options: a value of any type under a key, or nothing.
namespace detail {
template <class T>
std::optional<T> option(const ui::AssociatedObjects& owner, const void* key);
void setOption(ui::AssociatedObjects& owner, const void* key, std::shared_ptr<void> boxed);
} // namespace detail

} // namespace keyboard
