#pragma once
// Input toolbars for text inputs: the title a view's toolbar shows (an explicit text, else the
// input's own placeholder, or none when hidden), one builder that puts previous, next, title and
// right buttons on the view's toolbar (keyboardToolbar) and makes it the accessory of a text field
// or text view, the usual button sets built on it, and the arrow images of the previous and next
// buttons from the resource bundle "KBKeyboardManager".
//
// A toolbar built once is rebuilt in place: a role item is retitled unless it or the new
// description is a system item, so invocations and accessibility labels stay. The title forms
// take the title text; the placeholder forms (a bool) show the view's drawingToolbarPlaceholder or
// no title. Main thread only.

#include "keyboard/KBBarButtonItem.h"
#include "keyboard/KBToolbar.h"
#include "platform/ui/View.h"

#include <concepts>
#include <functional>
#include <optional>
#include <string>

namespace keyboard {

using Title = std::optional<std::string>;
using Configuration = std::optional<KBBarButtonItemConfiguration>;

bool shouldHideToolbarPlaceholder(const ui::View& view);
void setShouldHideToolbarPlaceholder(ui::View& view, bool hide);
Title toolbarPlaceholder(const ui::View& view);
void setToolbarPlaceholder(ui::View& view, Title placeholder);
Title drawingToolbarPlaceholder(const ui::View& view);
inline bool shouldHidePlaceholderText(const ui::View& v) { return shouldHideToolbarPlaceholder(v); }
inline void setShouldHidePlaceholderText(ui::View& v, bool hide) { setShouldHideToolbarPlaceholder(v, hide); }
inline Title placeholderText(const ui::View& v) { return toolbarPlaceholder(v); }
inline void setPlaceholderText(ui::View& v, Title placeholder) { setToolbarPlaceholder(v, std::move(placeholder)); }
inline Title drawingPlaceholderText(const ui::View& v) { return drawingToolbarPlaceholder(v); }

void addKeyboardToolbarWithTargetWithTarget(ui::View& view, const std::shared_ptr<void>& target, Title titleText,
                                            const Configuration& right, const Configuration& previous, const Configuration& next);

using ui::Selector;
using Target = std::shared_ptr<void>;

void addDoneOnKeyboardWithTarget(ui::View& view, const Target& target, Selector action, Title titleText);
void addRightButtonOnKeyboardWithImage(ui::View& view, gfx::ImagePtr image, const Target& target, Selector action, Title titleText);
void addRightButtonOnKeyboardWithText(ui::View& view, std::string text, const Target& target, Selector action, Title titleText);
void addCancelDoneOnKeyboardWithTarget(ui::View& view, const Target& target, Selector cancelAction, Selector doneAction, Title titleText);
void addRightLeftOnKeyboardWithTarget(ui::View& view, const Target& target, std::string leftButtonTitle, std::string rightButtonTitle,
                                      Selector leftButtonAction, Selector rightButtonAction, Title titleText);
void addRightLeftOnKeyboardWithTarget(ui::View& view, const Target& target, gfx::ImagePtr leftButtonImage, gfx::ImagePtr rightButtonImage,
                                      Selector leftButtonAction, Selector rightButtonAction, Title titleText);
void addPreviousNextDoneOnKeyboardWithTarget(ui::View& view, const Target& target, Selector previousAction, Selector nextAction,
                                             Selector doneAction, Title titleText);
void addPreviousNextRightOnKeyboardWithTarget(ui::View& view, const Target& target, gfx::ImagePtr rightButtonImage, Selector previousAction,
                                              Selector nextAction, Selector rightButtonAction, Title titleText);
void addPreviousNextRightOnKeyboardWithTarget(ui::View& view, const Target& target, std::string rightButtonTitle, Selector previousAction,
                                              Selector nextAction, Selector rightButtonAction, Title titleText);

// The placeholder forms: the same buttons, titled with the view's placeholder or untitled.
namespace detail {
inline Title placeholderTitle(const ui::View& view, bool show) { return show ? drawingToolbarPlaceholder(view) : std::nullopt; }
} // namespace detail
template <std::same_as<bool> B>
void addDoneOnKeyboardWithTarget(ui::View& v, const Target& t, Selector a, B shouldShowPlaceholder) {
    addDoneOnKeyboardWithTarget(v, t, std::move(a), detail::placeholderTitle(v, shouldShowPlaceholder));
}
template <std::same_as<bool> B>
void addRightButtonOnKeyboardWithImage(ui::View& v, gfx::ImagePtr i, const Target& t, Selector a, B shouldShowPlaceholder) {
    addRightButtonOnKeyboardWithImage(v, std::move(i), t, std::move(a), detail::placeholderTitle(v, shouldShowPlaceholder));
}
template <std::same_as<bool> B>
void addRightButtonOnKeyboardWithText(ui::View& v, std::string s, const Target& t, Selector a, B shouldShowPlaceholder) {
    addRightButtonOnKeyboardWithText(v, std::move(s), t, std::move(a), detail::placeholderTitle(v, shouldShowPlaceholder));
}
template <std::same_as<bool> B>
void addCancelDoneOnKeyboardWithTarget(ui::View& v, const Target& t, Selector c, Selector d, B shouldShowPlaceholder) {
    addCancelDoneOnKeyboardWithTarget(v, t, std::move(c), std::move(d), detail::placeholderTitle(v, shouldShowPlaceholder));
}
template <class L, std::same_as<bool> B>
void addRightLeftOnKeyboardWithTarget(ui::View& v, const Target& t, L left, L right, Selector la, Selector ra, B shouldShowPlaceholder) {
    addRightLeftOnKeyboardWithTarget(v, t, std::move(left), std::move(right), std::move(la), std::move(ra),
                                     detail::placeholderTitle(v, shouldShowPlaceholder));
}
template <std::same_as<bool> B>
void addPreviousNextDoneOnKeyboardWithTarget(ui::View& v, const Target& t, Selector p, Selector n, Selector d, B shouldShowPlaceholder) {
    addPreviousNextDoneOnKeyboardWithTarget(v, t, std::move(p), std::move(n), std::move(d), detail::placeholderTitle(v, shouldShowPlaceholder));
}
template <class R, std::same_as<bool> B>
void addPreviousNextRightOnKeyboardWithTarget(ui::View& v, const Target& t, R right, Selector p, Selector n, Selector r, B shouldShowPlaceholder) {
    addPreviousNextRightOnKeyboardWithTarget(v, t, std::move(right), std::move(p), std::move(n), std::move(r),
                                             detail::placeholderTitle(v, shouldShowPlaceholder));
}

// The arrow images, each loaded once into a slot of its own; a miss leaves the slot empty so the
// next call tries again. Up and down serve system 10 and later, left and right before.
gfx::ImagePtr keyboardPreviousiOS10Image();
gfx::ImagePtr keyboardNextiOS10Image();
gfx::ImagePtr keyboardPreviousiOS9Image();
gfx::ImagePtr keyboardNextiOS9Image();
gfx::ImagePtr keyboardPreviousImage();
gfx::ImagePtr keyboardNextImage();
// Tests replace how an image is looked up by name in a bundle ("" for the program's own
// resources) and empty the slots; null restores gfx::Image::named.
using ImageLoader = std::function<gfx::ImagePtr(const std::string& name, const std::string& bundle)>;
void setImageLoaderForTesting(ImageLoader loader);

} // namespace keyboard
