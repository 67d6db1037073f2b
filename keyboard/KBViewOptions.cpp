#include "keyboard/KBViewOptions.h"

#include "platform/ui/InputAccessory.h"

#include <any>
#include <string>

namespace keyboard {
namespace {

// The keys: only their addresses matter; the texts name the options.
const char kKBShouldIgnoreScrollingAdjustment[] = "kKBShouldIgnoreScrollingAdjustment";
const char kKBShouldRestoreScrollViewContentOffset[] = "kKBShouldRestoreScrollViewContentOffset";
const char kKBKeyboardDistanceFromTextField[] = "kKBKeyboardDistanceFromTextField";
const char kKBIgnoreSwitchingByNextPrevious[] = "kKBIgnoreSwitchingByNextPrevious";
const char kKBKeyboardShouldResignOnTouchOutsideMode[] = "kKBKeyboardShouldResignOnTouchOutsideMode";
const char kKBKeyboardToolbar[] = "kKBKeyboardToolbar";
const char kKBLayoutGuideConstraint[] = "kKBLayoutGuideConstraint";

template <class T>
void store(ui::AssociatedObjects& owner, const char* key, T value) {
    owner.setAssociatedObject(key, std::make_shared<std::any>(std::move(value)));
}

template <class T>
T read(const ui::AssociatedObjects& owner, const char* key, T fallback) {
    return detail::option<T>(owner, key).value_or(fallback);
}

} // namespace

namespace detail {
template <class T>
std::optional<T> option(const ui::AssociatedObjects& owner, const void* key) {
    auto boxed = std::static_pointer_cast<std::any>(owner.associatedObject(key));
    if (!boxed) return std::nullopt;
    if (const T* value = std::any_cast<T>(boxed.get())) return *value;
    return std::nullopt;  // another type reads as unset
}
template std::optional<bool> option<bool>(const ui::AssociatedObjects&, const void*);
template std::optional<std::string> option<std::string>(const ui::AssociatedObjects&, const void*);

void setOption(ui::AssociatedObjects& owner, const void* key, std::shared_ptr<void> boxed) { owner.setAssociatedObject(key, std::move(boxed)); }
} // namespace detail

bool shouldIgnoreScrollingAdjustment(const ui::ScrollView& v) { return read(v, kKBShouldIgnoreScrollingAdjustment, false); }
void setShouldIgnoreScrollingAdjustment(ui::ScrollView& v, bool value) { store(v, kKBShouldIgnoreScrollingAdjustment, value); }
bool shouldRestoreScrollViewContentOffset(const ui::ScrollView& v) { return read(v, kKBShouldRestoreScrollViewContentOffset, false); }
void setShouldRestoreScrollViewContentOffset(ui::ScrollView& v, bool value) { store(v, kKBShouldRestoreScrollViewContentOffset, value); }
double keyboardDistanceFromTextField(const ui::View& v) { return read(v, kKBKeyboardDistanceFromTextField, keyboardDistanceUseDefault); }
void setKeyboardDistanceFromTextField(ui::View& v, double distance) { store(v, kKBKeyboardDistanceFromTextField, distance); }
bool ignoreSwitchingByNextPrevious(const ui::View& v) { return read(v, kKBIgnoreSwitchingByNextPrevious, false); }
void setIgnoreSwitchingByNextPrevious(ui::View& v, bool value) {
    store(v, kKBIgnoreSwitchingByNextPrevious, value);
    v.noteChildStateChanged();  // the groups its superviews take part in may change
}
KBEnableMode shouldResignOnTouchOutsideMode(const ui::View& v) {
    return read(v, kKBKeyboardShouldResignOnTouchOutsideMode, KBEnableMode::useManagerSetting);
}
void setShouldResignOnTouchOutsideMode(ui::View& v, KBEnableMode mode) { store(v, kKBKeyboardShouldResignOnTouchOutsideMode, mode); }

std::shared_ptr<core::Object> KBLayoutGuideConstraint(const ui::ViewController& c) {
    return read<std::shared_ptr<core::Object>>(c, kKBLayoutGuideConstraint, nullptr);
}
void setKBLayoutGuideConstraint(ui::ViewController& c, std::shared_ptr<core::Object> constraint) {
    store(c, kKBLayoutGuideConstraint, std::move(constraint));
}

KBToolbar& keyboardToolbarOf(ui::View& view) {
    if (auto* host = view.inputAccessoryHost())
        if (const auto& accessory = host->inputAccessoryView(); accessory && core::isKindOf<KBToolbar>(*accessory))
            return static_cast<KBToolbar&>(*accessory);
    if (auto stored = std::static_pointer_cast<KBToolbar>(view.associatedObject(kKBKeyboardToolbar))) return *stored;
    auto bar = core::make<KBToolbar>();
    view.setAssociatedObject(kKBKeyboardToolbar, bar);
    return *bar;
}

std::shared_ptr<KBToolbar> keyboardToolbar(ui::View& view) {
    return std::static_pointer_cast<KBToolbar>(std::static_pointer_cast<ui::View>(keyboardToolbarOf(view).shared_from_this()));
}

} // namespace keyboard
