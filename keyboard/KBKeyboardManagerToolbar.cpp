// The bar the manager gives the focused input, and moving between the inputs of its group.
#include "keyboard/KBKeyboardManager.h"

#include "keyboard/KBToolbarBuilder.h"
#include "keyboard/KBViewOptions.h"
#include "platform/ca/MediaTime.h"
#include "platform/ui/Device.h"
#include "platform/ui/TextView.h"

#include <algorithm>
#include <charconv>

namespace keyboard {
namespace {


std::optional<std::size_t> indexIn(const std::vector<ui::View*>& group, const ui::View* view) {
    // Walking a form looks up a place and then its neighbour: the last place found is tried first
    // (only a hint: whatever group it came from, the entry is compared before it is believed).
    static std::size_t hint = 0;
    for (std::size_t i : {hint + 1, hint, hint - 1})
        if (i < group.size() && group[i] == view) return hint = i;
    for (std::size_t i = 0; i < group.size(); ++i)
        if (group[i] == view) return hint = i;
    return std::nullopt;
}

bool isManagersTag(long tag) { return tag == KBKeyboardManager::kToolbarTagPreviousNext || tag == KBKeyboardManager::kToolbarTagDone; }

} // namespace

std::optional<Views> KBKeyboardManager::currentResponderGroup() const {
    auto input = textFieldView();
    if (!input) return std::nullopt;
    return responderGroup(*input, toolbarPreviousNextAllowedClasses, toolbarManageBehaviour);
}

GroupList KBKeyboardManager::currentGroupList(const ui::View& input) const {
    return cachedResponderGroup(input, toolbarPreviousNextAllowedClasses, toolbarManageBehaviour);
}

void KBKeyboardManager::addToolbarIfRequired() {
    double start = startTime();
    logStarted("addToolbarIfRequired()");
    auto input = textFieldView();
    auto group = input ? std::optional<GroupList>(currentGroupList(*input)) : std::nullopt;
    auto* host = input ? input->inputAccessoryHost() : nullptr;
    if (enableDebugging && group && !(*group)->empty()) log("Found " + std::to_string((*group)->size()) + " responder sibling(s)");
    bool owned = host && (!host->inputAccessoryView() || isManagersTag(host->inputAccessoryView()->tag()));
    if (group && !(*group)->empty() && owned) {
        auto target = std::static_pointer_cast<void>(std::static_pointer_cast<KBKeyboardManager>(shared_from_this()));
        // Made in place: handing the builder a configuration to wrap would copy it.
        Configuration done;
        if (toolbarDoneBarButtonItemImage) done.emplace(toolbarDoneBarButtonItemImage, ui::selector(&KBKeyboardManager::doneAction));
        else if (toolbarDoneBarButtonItemText) done.emplace(*toolbarDoneBarButtonItemText, ui::selector(&KBKeyboardManager::doneAction));
        else done.emplace(ui::BarButtonSystemItem::done, ui::selector(&KBKeyboardManager::doneAction));
        Title placeholder = shouldShowToolbarPlaceholder ? drawingToolbarPlaceholder(*input) : std::nullopt;
        std::size_t n = (*group)->size();
        auto mode = previousNextDisplayMode;
        if ((n == 1 && mode == KBPreviousNextDisplayMode::showWhenSeveral) || mode == KBPreviousNextDisplayMode::alwaysHidden) {
            addKeyboardToolbarWithTargetWithTarget(*input, target, placeholder, done, std::nullopt, std::nullopt);
            if (auto& bar = host->inputAccessoryView()) bar->setTag(kToolbarTagDone);
        } else {
            auto arrow = [](Configuration& config, const gfx::ImagePtr& image, const std::optional<std::string>& text, gfx::ImagePtr fallback,
                            ui::Selector action) {
                if (image) config.emplace(image, std::move(action));
                else if (text) config.emplace(*text, std::move(action));
                else config.emplace(fallback ? std::move(fallback) : std::make_shared<gfx::Image>(0, 0, 1, std::vector<uint32_t>{}), std::move(action));
            };
            Configuration previous, next;
            arrow(previous, toolbarPreviousBarButtonItemImage, toolbarPreviousBarButtonItemText, keyboardPreviousImage(),
                  ui::selector(&KBKeyboardManager::previousAction));
            arrow(next, toolbarNextBarButtonItemImage, toolbarNextBarButtonItemText, keyboardNextImage(), ui::selector(&KBKeyboardManager::nextAction));
            addKeyboardToolbarWithTargetWithTarget(*input, target, placeholder, done, previous, next);
            if (auto& bar = host->inputAccessoryView()) bar->setTag(kToolbarTagPreviousNext);
        }
        KBToolbar& toolbar = keyboardToolbarOf(*input);
        if (core::isKindOf<ui::TextField>(*input) || core::isKindOf<ui::TextView>(*input)) {
            if (host->keyboardAppearance() == ui::KeyboardAppearance::dark) {
                toolbar.setBarStyle(ui::BarStyle::black);
                toolbar.setTintColor(gfx::Color::whiteColor());
                toolbar.setBarTintColor(std::nullopt);
            } else {
                toolbar.setBarStyle(ui::BarStyle::default_);
                toolbar.setBarTintColor(toolbarBarTintColor);
                if (shouldToolbarUsesTextFieldTintColor) toolbar.setTintColor(input->tintColor());
                else toolbar.setTintColor(toolbarTintColor ? *toolbarTintColor : gfx::Color::black());
            }
        }
        const auto& titleItem = toolbar.titleBarButton();
        // The placeholder read above: nothing between reads the input's options or its texts.
        if (shouldShowToolbarPlaceholder && !shouldHideToolbarPlaceholder(*input)) {
            if (!(titleItem->title() && titleItem->title() == placeholder)) titleItem->setTitle(placeholder);
            if (placeholderFont) titleItem->setTitleFont(placeholderFont);
            if (placeholderColor) titleItem->setTitleColor(placeholderColor);
            if (placeholderButtonColor) titleItem->setSelectableTitleColor(placeholderButtonColor);
        } else {
            titleItem->setTitle(std::nullopt);
        }
        // An input outside its own group (a container group leaving it out) can go nowhere.
        auto index = indexIn(**group, input.get());
        bool canPrevious = index && *index > 0;
        bool canNext = index && *index + 1 < n;
        toolbar.previousBarButton()->setEnabled(canPrevious);
        toolbar.nextBarButton()->setEnabled(canNext);
    }
    logEnded("addToolbarIfRequired()", start);
}

void KBKeyboardManager::removeToolbarIfRequired() {
    double start = startTime();
    logStarted("removeToolbarIfRequired()");
    if (auto group = currentResponderGroup()) {
        if (enableDebugging) log("Found " + std::to_string(group->size()) + " responder sibling(s)");
        for (const auto& member : *group) {
            auto* host = member->inputAccessoryHost();
            if (!host) continue;
            auto bar = std::dynamic_pointer_cast<KBToolbar>(host->inputAccessoryView());
            bool input = dynamic_cast<ui::TextField*>(member.get()) || dynamic_cast<ui::TextView*>(member.get());
            if (bar && isManagersTag(bar->tag()) && input) {
                host->setInputAccessoryView(nullptr);
                host->reloadInputViews();
            }
        }
    }
    logEnded("removeToolbarIfRequired()", start);
}

// ---- Moving between inputs

bool KBKeyboardManager::canGoPrevious() const {
    auto input = textFieldView();
    if (!input) return false;
    auto index = indexIn(*currentGroupList(*input), input.get());
    return index && *index >= 1;
}

bool KBKeyboardManager::canGoNext() const {
    auto input = textFieldView();
    if (!input) return false;
    auto group = currentGroupList(*input);
    auto index = indexIn(*group, input.get());
    return index && *index + 1 < group->size();
}

std::optional<bool> KBKeyboardManager::step(bool forward) {
    auto input = textFieldView();
    if (!input) return std::nullopt;
    auto group = currentGroupList(*input);
    auto index = indexIn(*group, input.get());
    if (!index || (forward ? *index + 1 >= group->size() : *index == 0)) return std::nullopt;
    auto target = std::static_pointer_cast<ui::View>((*group)[forward ? *index + 1 : *index - 1]->shared_from_this());
    if (target->becomeFirstResponder()) return true;
    input->becomeFirstResponder();
    if (enableDebugging) log("Refuses to become first responder: " + logDescription(*target));
    return false;
}

bool KBKeyboardManager::goPrevious() { return step(false).value_or(false); }
bool KBKeyboardManager::goNext() { return step(true).value_or(false); }

bool KBKeyboardManager::resignFirstResponder() {
    auto input = textFieldView();
    if (!input) return false;
    if (input->resignFirstResponder()) return true;
    input->becomeFirstResponder();
    if (enableDebugging) log("Refuses to resign first responder: " + logDescription(*input));
    return false;
}

void KBKeyboardManager::moveAction(core::Object* sender, bool forward) {
    if (shouldPlayInputClicks) ui::Device::current().playInputClick();
    auto origin = textFieldView();
    // One look at the group both tells whether there is a neighbour and moves to it.
    auto stepped = step(forward);
    if (!stepped) return;
    bool moved = *stepped;
    auto* item = sender && core::isKindOf<KBBarButtonItem>(*sender) ? static_cast<KBBarButtonItem*>(sender) : nullptr;
    auto invocation = item ? item->invocation() : nullptr;
    if (auto bar = enclosingSearchBar(*origin)) {
        auto toolbar = keyboardToolbar(*bar);
        invocation = (forward ? toolbar->nextBarButton() : toolbar->previousBarButton())->invocation();
    }
    if (moved && invocation) invocation->invokeFrom(origin.get());
}

void KBKeyboardManager::previousAction(core::Object* sender) { moveAction(sender, false); }
void KBKeyboardManager::nextAction(core::Object* sender) { moveAction(sender, true); }

void KBKeyboardManager::doneAction(core::Object* sender) {
    if (shouldPlayInputClicks) ui::Device::current().playInputClick();
    auto origin = textFieldView();
    if (!origin) return;
    bool resigned = resignFirstResponder();
    auto* item = sender && core::isKindOf<KBBarButtonItem>(*sender) ? static_cast<KBBarButtonItem*>(sender) : nullptr;
    auto invocation = item ? item->invocation() : nullptr;
    if (auto bar = enclosingSearchBar(*origin)) invocation = keyboardToolbar(*bar)->doneBarButton()->invocation();
    if (resigned && invocation) invocation->invokeFrom(origin.get());
}

void KBKeyboardManager::tapRecognized(ui::GestureRecognizer& recognizer) {
    if (recognizer.state() == ui::GestureRecognizer::State::ended) resignFirstResponder();
}

bool KBKeyboardManager::shouldReceiveTouch(ui::GestureRecognizer&, const std::shared_ptr<ui::Touch>& touch) {
    auto view = touch ? touch->view() : nullptr;
    return !(view && isKindOfAny(*view, touchResignedGestureIgnoreClasses));
}

bool KBKeyboardManager::shouldRecognizeSimultaneously(ui::GestureRecognizer&, ui::GestureRecognizer&) { return false; }


} // namespace keyboard
