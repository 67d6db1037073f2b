#include "keyboard/KBToolbarBuilder.h"

#include "keyboard/KBTextView.h"
#include "keyboard/KBViewOptions.h"
#include "platform/core/Files.h"
#include "platform/core/ProcessInfo.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

#include <any>

namespace keyboard {
namespace {

const char kKBShouldHideToolbarPlaceholder[] = "kKBShouldHideToolbarPlaceholder";
const char kKBToolbarPlaceholder[] = "kKBToolbarPlaceholder";
const char kBundleName[] = "KBKeyboardManager";

void retitleToolbar(ui::View& view) { keyboardToolbarOf(view).titleBarButton()->setTitle(drawingToolbarPlaceholder(view)); }

// The one flexible space that stands on both sides of every title.
const std::shared_ptr<KBBarButtonItem>& flexibleBarButtonItem() {
    static const std::shared_ptr<KBBarButtonItem> item = [] {
        auto made = core::make<KBBarButtonItem>();
        made->initWithBarButtonSystemItem(ui::BarButtonSystemItem::flexibleSpace, {}, {});
        return made;
    }();
    return item;
}

// Step of the builder for one role: the current item retitled (then nothing is returned), or a new
// one to put in its place.
std::shared_ptr<KBBarButtonItem> fill(const std::shared_ptr<KBBarButtonItem>& current, const KBBarButtonItemConfiguration& config,
                                      const std::shared_ptr<void>& target) {
    if (!config.barButtonSystemItem() && !current->isSystemItem()) {
        current->setTitle(config.title());
        current->setImage(config.image());
        current->setTarget(std::weak_ptr<void>(target));
        current->setAction(config.action());
        return nullptr;
    }
    auto item = core::make<KBBarButtonItem>();
    if (auto system = config.barButtonSystemItem()) {
        item->initWithBarButtonSystemItem(*system, target, config.action());
        item->setIsSystemItem(true);
    } else if (config.image()) {
        item->initWithImage(config.image(), ui::BarButtonItemStyle::plain, target, config.action());
    } else {
        item->initWithTitle(config.title(), ui::BarButtonItemStyle::plain, target, config.action());
    }
    item->setInvocation(current->invocation());
    item->setAccessibilityLabel(current->accessibilityLabel());
    return item;
}

// ---- Arrow images

ImageLoader& loader() {
    static ImageLoader current;
    return current;
}

struct Slots {
    gfx::ImagePtr up, down, left, right;
};
Slots& slots() {
    static Slots s;
    return s;
}

const gfx::ImagePtr& load(gfx::ImagePtr& slot, const char* name) {
    if (slot) return slot;
    // The arrows' own bundle when it ships beside the program, else the program's resources.
    std::string bundlePath = core::Bundle::resourcePath() + "/" + kBundleName + ".bundle";
    std::string bundle = core::files::exists(bundlePath) ? kBundleName : "";
    slot = loader() ? loader()(name, bundle) : gfx::Image::named(name, bundle);
    // The arrows are shapes drawn in the bar's tint, like the title and Done beside them.
    if (slot) slot = slot->imageWithRenderingMode(gfx::ImageRenderingMode::alwaysTemplate);
    if (slot && systemVersionAtLeast(9)) slot = slot->imageFlippedForRightToLeftLayoutDirection();
    return slot;
}

KBBarButtonItemConfiguration arrow(gfx::ImagePtr image, Selector action) {
    // A missing arrow leaves an empty image in its place.
    if (!image) image = std::make_shared<gfx::Image>(0, 0, 1, std::vector<uint32_t>{});
    return {std::move(image), std::move(action)};
}

} // namespace

// ---- Placeholder options

bool shouldHideToolbarPlaceholder(const ui::View& view) { return detail::option<bool>(view, kKBShouldHideToolbarPlaceholder).value_or(false); }

void setShouldHideToolbarPlaceholder(ui::View& view, bool hide) {
    detail::setOption(view, kKBShouldHideToolbarPlaceholder, std::make_shared<std::any>(hide));
    retitleToolbar(view);
}

Title toolbarPlaceholder(const ui::View& view) { return detail::option<std::string>(view, kKBToolbarPlaceholder); }

void setToolbarPlaceholder(ui::View& view, Title placeholder) {
    detail::setOption(view, kKBToolbarPlaceholder, placeholder ? std::make_shared<std::any>(*placeholder) : nullptr);
    retitleToolbar(view);
}

Title drawingToolbarPlaceholder(const ui::View& view) {
    if (shouldHideToolbarPlaceholder(view)) return std::nullopt;
    if (auto explicitText = toolbarPlaceholder(view); explicitText && !explicitText->empty()) return explicitText;
    if (core::isKindOf<ui::TextField>(view)) {
        const auto& field = static_cast<const ui::TextField&>(view);
        return field.placeholder().empty() ? Title{} : Title{field.placeholder()};
    }
    if (core::isKindOf<KBTextView>(view)) return static_cast<const KBTextView&>(view).placeholder();
    return std::nullopt;
}

// ---- The builder

void addKeyboardToolbarWithTargetWithTarget(ui::View& view, const std::shared_ptr<void>& target, Title titleText,
                                            const Configuration& right, const Configuration& previous, const Configuration& next) {
    auto* host = view.inputAccessoryHost();
    if (!host) return;
    KBToolbar& toolbar = keyboardToolbarOf(view);
    auto& items = toolbar.builtItems();
    std::size_t count = 0;
    auto put = [&](const auto& item) {
        if (count == items.size()) items.push_back(item);
        else if (items[count].get() != item.get()) items[count] = item;
        ++count;
    };
    if (previous) {
        if (auto made = fill(toolbar.previousBarButton(), *previous, target)) toolbar.setPreviousBarButton(std::move(made));
        put(toolbar.previousBarButton());
    }
    if (previous && next) put(toolbar.fixedSpaceBarButton());
    if (next) {
        if (auto made = fill(toolbar.nextBarButton(), *next, target)) toolbar.setNextBarButton(std::move(made));
        put(toolbar.nextBarButton());
    }
    const auto& flexible = flexibleBarButtonItem();
    flexible->setIsSystemItem(true);
    put(flexible);
    const auto& title = toolbar.titleBarButton();
    title->setTitle(std::move(titleText));
    if (!systemVersionAtLeast(11) && title->customView()) title->customView()->setFrame({});
    put(title);
    put(flexible);
    if (right) {
        if (auto made = fill(toolbar.doneBarButton(), *right, target)) toolbar.setDoneBarButton(std::move(made));
        put(toolbar.doneBarButton());
    }
    items.resize(count);
    toolbar.setItems(items);
    if (core::isKindOf<ui::TextField>(view) || core::isKindOf<ui::TextView>(view)) {
        if (host->inputAccessoryView().get() != &toolbar)
            host->setInputAccessoryView(std::static_pointer_cast<ui::View>(toolbar.shared_from_this()));
        toolbar.setBarStyle(host->keyboardAppearance() == ui::KeyboardAppearance::dark ? ui::BarStyle::black : ui::BarStyle::default_);
    }
}

// ---- The usual button sets

void addDoneOnKeyboardWithTarget(ui::View& view, const Target& target, Selector action, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText),
                                           KBBarButtonItemConfiguration(ui::BarButtonSystemItem::done, std::move(action)), {}, {});
}

void addRightButtonOnKeyboardWithImage(ui::View& view, gfx::ImagePtr image, const Target& target, Selector action, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText), KBBarButtonItemConfiguration(std::move(image), std::move(action)),
                                           {}, {});
}

void addRightButtonOnKeyboardWithText(ui::View& view, std::string text, const Target& target, Selector action, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText), KBBarButtonItemConfiguration(std::move(text), std::move(action)),
                                           {}, {});
}

void addCancelDoneOnKeyboardWithTarget(ui::View& view, const Target& target, Selector cancelAction, Selector doneAction, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText),
                                           KBBarButtonItemConfiguration(ui::BarButtonSystemItem::done, std::move(doneAction)),
                                           KBBarButtonItemConfiguration(ui::BarButtonSystemItem::cancel, std::move(cancelAction)), {});
}

void addRightLeftOnKeyboardWithTarget(ui::View& view, const Target& target, std::string leftButtonTitle, std::string rightButtonTitle,
                                      Selector leftButtonAction, Selector rightButtonAction, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText),
                                           KBBarButtonItemConfiguration(std::move(rightButtonTitle), std::move(rightButtonAction)),
                                           KBBarButtonItemConfiguration(std::move(leftButtonTitle), std::move(leftButtonAction)), {});
}

void addRightLeftOnKeyboardWithTarget(ui::View& view, const Target& target, gfx::ImagePtr leftButtonImage, gfx::ImagePtr rightButtonImage,
                                      Selector leftButtonAction, Selector rightButtonAction, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText),
                                           KBBarButtonItemConfiguration(std::move(rightButtonImage), std::move(rightButtonAction)),
                                           KBBarButtonItemConfiguration(std::move(leftButtonImage), std::move(leftButtonAction)), {});
}

void addPreviousNextDoneOnKeyboardWithTarget(ui::View& view, const Target& target, Selector previousAction, Selector nextAction,
                                             Selector doneAction, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText),
                                           KBBarButtonItemConfiguration(ui::BarButtonSystemItem::done, std::move(doneAction)),
                                           arrow(keyboardPreviousImage(), std::move(previousAction)), arrow(keyboardNextImage(), std::move(nextAction)));
}

void addPreviousNextRightOnKeyboardWithTarget(ui::View& view, const Target& target, gfx::ImagePtr rightButtonImage, Selector previousAction,
                                              Selector nextAction, Selector rightButtonAction, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText),
                                           KBBarButtonItemConfiguration(std::move(rightButtonImage), std::move(rightButtonAction)),
                                           arrow(keyboardPreviousImage(), std::move(previousAction)), arrow(keyboardNextImage(), std::move(nextAction)));
}

void addPreviousNextRightOnKeyboardWithTarget(ui::View& view, const Target& target, std::string rightButtonTitle, Selector previousAction,
                                              Selector nextAction, Selector rightButtonAction, Title titleText) {
    addKeyboardToolbarWithTargetWithTarget(view, target, std::move(titleText),
                                           KBBarButtonItemConfiguration(std::move(rightButtonTitle), std::move(rightButtonAction)),
                                           arrow(keyboardPreviousImage(), std::move(previousAction)), arrow(keyboardNextImage(), std::move(nextAction)));
}

// ---- Arrow images

gfx::ImagePtr keyboardPreviousiOS10Image() { return load(slots().up, "KBButtonBarArrowUp"); }
gfx::ImagePtr keyboardNextiOS10Image() { return load(slots().down, "KBButtonBarArrowDown"); }
gfx::ImagePtr keyboardPreviousiOS9Image() { return load(slots().left, "KBButtonBarArrowLeft"); }
gfx::ImagePtr keyboardNextiOS9Image() { return load(slots().right, "KBButtonBarArrowRight"); }
gfx::ImagePtr keyboardPreviousImage() { return systemVersionAtLeast(10) ? keyboardPreviousiOS10Image() : keyboardPreviousiOS9Image(); }
gfx::ImagePtr keyboardNextImage() { return systemVersionAtLeast(10) ? keyboardNextiOS10Image() : keyboardNextiOS9Image(); }

void setImageLoaderForTesting(ImageLoader l) {
    loader() = std::move(l);
    slots() = {};
}

} // namespace keyboard
