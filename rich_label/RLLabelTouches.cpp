// Link lookup, link presses and taps, and the gestures that start a selection.
#include "platform/ui/Application.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Window.h"
#include "rich_label/RLLabel.h"
#include "rich_label/RLMagnifierView.h"
#include "rich_label/RLSelectBackView.h"

using Item = std::shared_ptr<RLGlyphRunStrokeItem>;

namespace {

constexpr double kLinkTouchReach = 15;  // beyond the bounds no touch finds a link
constexpr double kExtendedRadii[] = {0, 2.5, 5, 7.5};

} // namespace

Item RLLabel::clickLinkItemAtRadius(double radius, gfx::Point aroundPoint) const {
    Item found;
    for (const auto& item : linkStrokeItemArray_) {
        gfx::Rect box = radius > 0 ? item->locBounds.insetBy(-radius, -radius) : item->locBounds;
        if (box.contains(aroundPoint)) found = item;
    }
    return found;
}

Item RLLabel::linkAtPoint(gfx::Point point, bool extends) const {
    if (!bounds().insetBy(-kLinkTouchReach, -kLinkTouchReach).contains(point) || linkStrokeItemArray_.empty())
        return nullptr;
    if (auto item = clickLinkItemAtRadius(0, point)) return item;
    if (!extends) return nullptr;
    for (double radius : kExtendedRadii)
        if (auto item = clickLinkItemAtRadius(radius, point)) return item;
    return nullptr;
}

bool RLLabel::containslinkAtPoint(gfx::Point point) const { return linkAtPoint(point, extendsLinkTouchArea_) != nullptr; }

std::shared_ptr<ui::View> RLLabel::hitTest(gfx::Point p) {
    if (linkAtPoint(p, false) && isUserInteractionEnabled() && !isHidden() && alpha() >= 0.01)
        return std::static_pointer_cast<ui::View>(shared_from_this());
    if (enableCopy_) return ui::Label::hitTest(p);
    return nullptr;
}

std::shared_ptr<RLLabelLinkModel> RLLabel::linkModel(const RLGlyphRunStrokeItem& item) {
    text::AttributedString linked;
    if (attributedText_ && item.range.end() <= attributedText_->length()) linked = attributedText_->substring(item.range);
    std::weak_ptr<RLLabel> weak = std::static_pointer_cast<RLLabel>(shared_from_this());
    return core::make<RLLabelLinkModel>(linked, item.insertView, item.locBounds, item.parameter, item.range,
                                        weak.lock());
}

// Draws the label now rather than at the next frame, so that a pressed link's look (and the link
// boxes it is found by) never lag behind the touch.
void RLLabel::redrawNow() {
    setNeedsDisplay();
    layer()->displayIfNeeded();
}

// Lets go of the pressed link and draws it unpressed.
void RLLabel::releasePressedLink() {
    needRedrawn_ = currentClickRunStrokeItem_->needRedrawn;
    currentClickRunStrokeItem_ = nullptr;
    setNeedsFramesetter();
    redrawNow();
}

void RLLabel::touchesBegan(const ui::TouchSet& touches) {
    currentClickRunStrokeItem_ = nullptr;
    if (auto item = linkAtPoint(touches.front()->locationInView(this), extendsLinkTouchArea_)) {
        currentClickRunStrokeItem_ = item;
        needRedrawn_ = item->needRedrawn;
        setNeedsFramesetter();
        redrawNow();
        return;
    }
    ui::Label::touchesBegan(touches);
}

void RLLabel::touchesMoved(const ui::TouchSet& touches) { ui::Label::touchesMoved(touches); }

void RLLabel::touchesEnded(const ui::TouchSet& touches) {
    if (longPress_ || !currentClickRunStrokeItem_) return ui::Label::touchesEnded(touches);
    auto item = currentClickRunStrokeItem_;
    auto model = linkModel(*item);
    if (item->linkBlock) item->linkBlock(model);
    if (auto d = delegate_.lock()) d->RLLableDidClickLink(*this, model);
    if (currentClickRunStrokeItem_) releasePressedLink();
}

void RLLabel::touchesCancelled(const ui::TouchSet& touches) {
    if (longPress_ || !currentClickRunStrokeItem_) return ui::Label::touchesCancelled(touches);
    // Taken by this label's own long press: its action reports the pressed link, then lets go.
    if (longPressGestureRecognizer_->state() == ui::GestureRecognizer::State::began) return;
    // As at the end of a tap, without running anything: the link must not stay painted pressed.
    releasePressedLink();
}

bool RLLabel::shouldReceiveTouch(ui::GestureRecognizer& recognizer, const std::shared_ptr<ui::Touch>& touch) {
    if (&recognizer == longPressGestureRecognizer_.get()) longPressTouch_ = touch;
    if (doubleTapGes_ && &recognizer == doubleTapGes_.get()) doubleTapTouch_ = touch;
    return true;
}

gfx::Point RLLabel::touchPoint(const ui::GestureRecognizer& recognizer) const {
    const auto& touch = &recognizer == longPressGestureRecognizer_.get() ? longPressTouch_ : doubleTapTouch_;
    return touch ? touch->locationInView(this) : recognizer.locationInView(this);
}

void RLLabel::caculateCTRunCopySizeBlock(std::function<void()> block) {
    if (!allRunItemArray_.empty()) return block();
    caculateCopySize_ = true;
    caculateCTRunSizeBlock_ = std::move(block);
    // The caller's text again, without the sentinel this label added (a second one would become
    // a selectable character).
    if (auto own = callerAttributedText()) {
        retaking_ = true;
        setAttributedText(*own);
        retaking_ = false;
    }
}

std::optional<text::AttributedString> RLLabel::callerAttributedText() const {
    if (!attributedText_) return std::nullopt;
    return attributedText_->substring({0, std::min(callerLength_, attributedText_->length())});
}

std::vector<Item> RLLabel::selectableRunItems() const {
    std::vector<Item> items;
    for (const auto& item : allRunItemArray_)
        if (item->characterRange.location < callerLength_) items.push_back(item);
    return items;
}

void RLLabel::startSelection(gfx::Point point, const Item& item) {
    // Line records dropped by a layout change since the last frame come back before they are used.
    if (CTLineVerticalLayoutArray_.empty()) redrawNow();
    std::weak_ptr<ui::NavigationController> weakNav;
    bool popWasEnabled = false;
    if (auto top = topViewController())
        if (auto nav = top->navigationController()) {
            popWasEnabled = nav->interactivePopGestureRecognizer()->isEnabled();
            nav->interactivePopGestureRecognizer()->setEnabled(false);
            weakNav = nav;
        }
    std::weak_ptr<RLLabel> weak = std::static_pointer_cast<RLLabel>(shared_from_this());
    RLSelectBackView::instance()->showSelectViewInRLLabel(
        weak.lock(), point, item->copy(), lineVerticalMaxWidth_, CTLineVerticalLayoutArray_, selectableRunItems(),
        [weak, weakNav, popWasEnabled] {
            if (auto self = weak.lock()) self->caculateCopySize_ = false;
            if (auto nav = weakNav.lock()) nav->interactivePopGestureRecognizer()->setEnabled(popWasEnabled);
        });
}

void RLLabel::tapTwoAct(ui::GestureRecognizer& recognizer) {
    gfx::Point p = touchPoint(recognizer);
    if (auto item = linkAtPoint(p, extendsLinkTouchArea_)) {
        currentClickRunStrokeItem_ = item;
        auto model = linkModel(*item);
        if (item->linkBlock) item->linkBlock(model);
        if (auto d = delegate_.lock()) d->RLLableDidClickLink(*this, model);
        if (currentClickRunStrokeItem_) releasePressedLink();
        return;
    }
    if (!enableCopy_) return;
    std::weak_ptr<RLLabel> weak = std::static_pointer_cast<RLLabel>(shared_from_this());
    caculateCTRunCopySizeBlock([weak, p] {
        auto self = weak.lock();
        if (!self) return;
        if (auto item = RLSelectBackView::currentItem(p, self->selectableRunItems(), 1)) self->startSelection(p, item);
    });
}

void RLLabel::longPressGestureDidFire(ui::GestureRecognizer& recognizer) {
    using State = ui::GestureRecognizer::State;
    gfx::Point p = touchPoint(recognizer);
    bool onLink = containslinkAtPoint(p);
    auto selection = RLSelectBackView::instance();
    std::weak_ptr<RLLabel> weak = std::static_pointer_cast<RLLabel>(shared_from_this());
    switch (recognizer.state()) {
    case State::began:
        if (onLink) {
            longPress_ = true;
            if (auto item = currentClickRunStrokeItem_) {
                auto model = linkModel(*item);
                if (item->longPressBlock) item->longPressBlock(model);
                if (auto d = delegate_.lock()) d->RLLableDidLongPressLink(*this, model);
            }
            longPress_ = false;
            if (currentClickRunStrokeItem_) releasePressedLink();
        } else if (enableCopy_) {
            afterLongPressEnd_ = false;
            caculateCTRunCopySizeBlock([weak, p] {
                auto self = weak.lock();
                if (!self || self->afterLongPressEnd_) return;
                auto item = RLSelectBackView::currentItem(p, self->selectableRunItems(), 0.5);
                if (item || self->bounds().contains(p)) RLSelectBackView::instance()->showMagnifyInRLLabel(self, p, item);
            });
        }
        break;
    case State::changed:
        if (enableCopy_ && !selection->magnifierView()->isHidden() && selection->magnifierView()->superview()) {
            auto item = RLSelectBackView::currentItem(p, selectableRunItems(), 1);
            if (item || bounds().contains(p)) selection->showMagnifyInRLLabel(weak.lock(), p, item);
        }
        break;
    case State::ended:
        afterLongPressEnd_ = true;
        selection->hideView();
        if (onLink) {
            longPress_ = false;
            if (currentClickRunStrokeItem_) releasePressedLink();
        }
        if (enableCopy_) {
            if (auto item = RLSelectBackView::currentItem(p, selectableRunItems(), 1)) startSelection(p, item);
            else selection->hideView();
        }
        break;
    default: break;
    }
}

std::shared_ptr<ui::ViewController> RLLabel::_topViewController(const std::shared_ptr<ui::ViewController>& controller) {
    if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(controller))
        return _topViewController(nav->topViewController());
    if (auto tabs = std::dynamic_pointer_cast<ui::TabBarController>(controller))
        return _topViewController(tabs->selectedViewController());
    return controller;
}

std::shared_ptr<ui::ViewController> RLLabel::topViewController() {
    auto window = ui::Application::shared().keyWindow();
    if (!window) return nullptr;
    auto top = _topViewController(window->rootViewController());
    while (top && top->presentedViewController()) top = _topViewController(top->presentedViewController());
    return top;
}
