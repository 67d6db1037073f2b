#include "rich_label/RLSelectBackView.h"

#include "platform/ui/Application.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/MenuController.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Window.h"
#include "rich_label/RLLabel.h"
#include "rich_label/RLMagnifierView.h"
#include "rich_label/RLSelectTextRangeView.h"

#include <algorithm>

using Item = std::shared_ptr<RLGlyphRunStrokeItem>;

namespace {

constexpr std::string_view kSelect = "select:";
constexpr std::string_view kSelectAll = "selectAll:";
constexpr std::string_view kCopy = "copy:";

} // namespace

std::shared_ptr<ui::View> RLWindowView::hitTest(gfx::Point p) {
    if (!bounds().contains(p) && hitTestBlock) hitTestBlock(true);
    return nullptr;
}

std::shared_ptr<RLSelectBackView> RLSelectBackView::instance() {
    // Never destroyed: it outlives every label and window of the process.
    static auto* shared = new std::shared_ptr<RLSelectBackView>(core::make<RLSelectBackView>(gfx::Rect{}));
    return *shared;
}

void RLSelectBackView::init() {
    ui::View::init();
    setBackgroundColor(gfx::Color::clear());
    std::weak_ptr<RLSelectBackView> weak = std::static_pointer_cast<RLSelectBackView>(shared_from_this());

    backWindView_ = core::make<RLWindowView>(gfx::Rect{0, 0, 1, 1});
    backWindView_->hitTestBlock = [weak](bool) {
        if (auto self = weak.lock()) self->hideView();
    };
    textRangeView_ = core::make<RLSelectTextRangeView>();
    textRangeView_->setHidden(true);
    addSubview(textRangeView_);
    magnifierView_ = core::make<RLMagnifierView>(gfx::Rect{0, 0, 120, 44});
    magnifierView_->setHidden(true);

    singleTapGes_ = std::make_shared<ui::TapGestureRecognizer>();
    singleTapGes_->addAction([weak](ui::GestureRecognizer& r) {
        if (auto self = weak.lock()) self->tapOneAct(r);
    });
    doubleTapGes_ = std::make_shared<ui::TapGestureRecognizer>();
    doubleTapGes_->setNumberOfTapsRequired(2);
    doubleTapGes_->setDelegate(weak);
    doubleTapGes_->addAction([weak](ui::GestureRecognizer& r) {
        if (auto self = weak.lock()) self->tapTwoAct(r);
    });
    longPressGestureRecognizer_ = std::make_shared<ui::LongPressGestureRecognizer>();
    longPressGestureRecognizer_->setDelegate(weak);
    longPressGestureRecognizer_->addAction([weak](ui::GestureRecognizer& r) {
        if (auto self = weak.lock()) self->longPressGestureDidFire(r);
    });
    addGestureRecognizer(singleTapGes_);
    addGestureRecognizer(doubleTapGes_);
    addGestureRecognizer(longPressGestureRecognizer_);
    singleTapGes_->requireGestureRecognizerToFail(doubleTapGes_);

    backgroundObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        ui::Application::kDidEnterBackgroundNotification, [weak](const core::Notification&) {
            if (auto self = weak.lock()) self->applicationEnterBackground();
        });
    scrlooViewArray_.reserve(3);
}

std::shared_ptr<ui::Window> RLSelectBackView::keyWindow() const { return ui::Application::shared().keyWindow(); }

Item RLSelectBackView::currentItem(gfx::Point point, const Items& allRunItemArray, double inset) {
    for (const auto& item : allRunItemArray)
        if (item->withOutMergeBounds.insetBy(-inset, -inset).contains(point)) return item->copy();
    return nullptr;
}

void RLSelectBackView::showSelectViewInRLLabel(const std::shared_ptr<RLLabel>& label, gfx::Point atPoint,
                                               const Item& runItem, double maxLineWidth, const Lines& lines,
                                               const Items& items, std::function<void()> hideViewBlock) {
    if (!label || !runItem || items.empty()) return;
    if (startCopyRunItem_ && startCopyRunItem_->withOutMergeBounds == runItem->withOutMergeBounds) return;
    hideView();
    label_ = label;
    attributedText_ = label->callerAttributedText();
    font_ = label->font();
    setFrame(label->bounds());

    lineVerticalMaxWidth_ = maxLineWidth;
    CTLineVerticalLayoutArray_ = lines;
    allRunItemArray_ = items;
    firstRunItem_ = items.front()->copy();
    lastRunItem_ = items.back()->copy();
    startCopyRunItem_ = runItem->copy();
    endCopyRunItem_ = runItem->copy();
    showRLSelectViewWithPoint(atPoint, 0, runItem, startCopyRunItem_, endCopyRunItem_, CTLineVerticalLayoutArray_,
                              false);

    if (auto window = keyWindow()) {
        backWindView_->setFrame(label->convertRect(label->bounds(), window.get()));
        backWindView_->setHidden(false);
        window->addSubview(backWindView_);
    }
    label->addSubview(selfView());
    label->bringSubviewToFront(selfView());
    if (auto window = keyWindow()) window->addSubview(magnifierView_);

    showMenuView();
    scrollViewUnable(false);
    hideViewBlock_ = std::move(hideViewBlock);
}

void RLSelectBackView::showMagnifyInRLLabel(const std::shared_ptr<RLLabel>& label, gfx::Point magnifyPoint,
                                            const Item& runItem) {
    if (!label) return;
    label_ = label;
    attributedText_ = label->callerAttributedText();
    font_ = label->font();
    setFrame(label->bounds());
    label->addSubview(selfView());
    label->bringSubviewToFront(selfView());
    if (auto window = keyWindow()) {
        window->addSubview(magnifierView_);
        magnifierView_->setHidden(false);
    }
    updateMagnifyPoint(magnifyPoint, runItem);
}

void RLSelectBackView::hideView() {
    attributedText_.reset();
    font_.reset();
    lineVerticalMaxWidth_ = 0;
    CTLineVerticalLayoutArray_.clear();
    allRunItemArray_.clear();
    firstRunItem_ = lastRunItem_ = nullptr;
    startCopyRunItem_ = endCopyRunItem_ = nullptr;
    scrollViewUnable(true);
    hideAllCopySelectView();
    if (hideViewBlock_) {
        auto block = std::move(hideViewBlock_);
        hideViewBlock_ = nullptr;
        block();
    }
}

void RLSelectBackView::hideAllCopySelectView() {
    startCopyRunItem_ = endCopyRunItem_ = nullptr;
    textRangeView_->setHidden(true);
    magnifierView_->setHidden(true);
    magnifierView_->removeFromSuperview();
    backWindView_->setHidden(true);
    backWindView_->removeFromSuperview();
    resignFirstResponder();
    removeFromSuperview();
    ui::MenuController::shared().setMenuVisible(false, false);
}

void RLSelectBackView::showRLSelectViewWithPoint(gfx::Point point, std::int64_t, const Item& item,
                                                 const Item& startCopyRunItem, const Item& endCopyRunItem,
                                                 const Lines& lines, bool needShowMagnifyView) {
    ui::MenuController::shared().setMenuVisible(false, false);
    updateSelectTextRangeViewStartCopyRunItem(startCopyRunItem, endCopyRunItem, lines);
    if (needShowMagnifyView) updateMagnifyPoint(point, item);
}

void RLSelectBackView::updateSelectTextRangeViewStartCopyRunItem(const Item& S, const Item& E, const Lines& lines) {
    if (!S || !E || lines.empty()) return;
    auto lineOf = [&](const Item& item) {
        auto i = static_cast<std::size_t>(std::clamp<std::int64_t>(item->lineVerticalLayout.line, 0,
                                                                   static_cast<std::int64_t>(lines.size()) - 1));
        return lines[i];
    };
    auto Ls = lineOf(S), Le = lineOf(E);
    std::int64_t sLine = S->lineVerticalLayout.line, eLine = E->lineVerticalLayout.line;
    double W = lineVerticalMaxWidth_;
    gfx::Rect s = S->withOutMergeBounds, e = E->withOutMergeBounds;
    startCopyRunItemY_ = Ls->selectCopyBackY;
    double tailTop = Le->selectCopyBackY, tailHeight = Le->selectCopyBackHeight;
    if (eLine >= 1 && static_cast<std::size_t>(eLine) <= lines.size() - 1) {
        const auto& previous = lines[static_cast<std::size_t>(eLine - 1)];
        tailTop = previous->selectCopyBackY + previous->selectCopyBackHeight;
        tailHeight = Le->selectCopyBackY + Le->selectCopyBackHeight - tailTop;
    }
    gfx::Rect head = RLSelectTextRangeView::nullRect(), middle = RLSelectTextRangeView::nullRect(),
              tail = RLSelectTextRangeView::nullRect();
    bool differentLine = sLine != eLine;
    double startBottom = Ls->selectCopyBackY + Ls->selectCopyBackHeight;
    if (!differentLine) {
        middle = {s.x(), Ls->selectCopyBackY, e.maxX() - s.x(), Ls->selectCopyBackHeight};
    } else {
        head = {s.x(), Ls->selectCopyBackY, W - s.x(), Ls->selectCopyBackHeight};
        tail = {0, tailTop, e.maxX(), tailHeight};
        if (eLine != sLine + 1) middle = {0, startBottom, W, tailTop - startBottom};
    }
    textRangeView_->updateFrame(bounds(), head, middle, tail, differentLine);
    textRangeView_->setHidden(false);
    bringSubviewToFront(textRangeView_);
}

void RLSelectBackView::updateMagnifyPoint(gfx::Point point, const Item& item) {
    double magnifyY = point.y, placeY = point.y;
    if (item) {
        gfx::Rect box = item->locBounds;
        magnifyY = box.midY();
        placeY = box.minY();
        const RLCTLineVerticalLayout& layout = item->lineVerticalLayout;
        Lines lines = CTLineVerticalLayoutArray_;
        if (lines.empty())
            if (auto label = label_.lock()) lines = label->lineLayoutModels();
        if (layout.maxImageHeight != 0 && layout.line >= 0 && static_cast<std::size_t>(layout.line) < lines.size()) {
            const auto& band = lines[static_cast<std::size_t>(layout.line)];
            double top = band->selectCopyBackY, height = band->selectCopyBackHeight, h = box.height();
            double y = box.midY();
            switch (layout.verticalAlignment) {
            case 0: y = top + (height - h) / 2 + h / 2; break;
            case 1: y = top + h / 2; break;
            case 2: y = top + height - h + h / 2; break;
            default: break;
            }
            magnifyY = placeY = y;
        }
    }
    placeY -= 20;
    gfx::Point magnify = convertPoint({point.x, magnifyY}, nullptr);
    gfx::Point place = convertPoint({point.x, placeY}, nullptr);
    magnifierView_->setHidden(false);
    magnifierView_->updateMagnifyPoint(magnify, place);
}

void RLSelectBackView::showMenuView() {
    bool loupeHidden = magnifierView_->isHidden() || !magnifierView_->superview();
    if (!loupeHidden || textRangeView_->isHidden() || !startCopyRunItem_ || !endCopyRunItem_) return;
    becomeFirstResponder();
    double W = lineVerticalMaxWidth_;
    gfx::Rect S = startCopyRunItem_->withOutMergeBounds, E = endCopyRunItem_->withOutMergeBounds;
    // The rectangle runs from just above the start line to below the end character.
    double top = startCopyRunItemY_ - 5;
    gfx::Rect target{bounds().x() + S.x() - W / 2, top, W, E.y() + E.height() + 16 - top};
    auto& menu = ui::MenuController::shared();
    menu.setTargetRect(target, selfView());
    menu.setMenuVisible(true, true);
}

void RLSelectBackView::scrollViewUnable(bool unable) {
    if (unable) {
        for (const auto& frozen : scrlooViewArray_)
            if (auto scroll = frozen.scrollView.lock()) {
                scroll->setDelaysContentTouches(frozen.delaysContentTouches);
                scroll->setCanCancelContentTouches(frozen.canCancelContentTouches);
            }
        scrlooViewArray_.clear();
        return;
    }
    scrlooViewArray_.clear();
    setScrollView(superview(), false);
}

void RLSelectBackView::setScrollView(const std::shared_ptr<ui::View>& view, bool scrollUnable) {
    if (!view) return;
    for (auto v = view->superview(); v; v = v->superview()) {
        auto scroll = std::dynamic_pointer_cast<ui::ScrollView>(v);
        if (!scroll) continue;
        scrlooViewArray_.push_back({scroll, scroll->delaysContentTouches(), scroll->canCancelContentTouches()});
        scroll->setDelaysContentTouches(scrollUnable);
        scroll->setCanCancelContentTouches(scrollUnable);
    }
}

std::int64_t RLSelectBackView::choseSelectView(gfx::Point point) {
    if (textRangeView_->isHidden() || !startCopyRunItem_ || !endCopyRunItem_ || CTLineVerticalLayoutArray_.empty())
        return 0;
    auto lineOf = [&](const Item& item) {
        return CTLineVerticalLayoutArray_[static_cast<std::size_t>(std::clamp<std::int64_t>(
            item->lineVerticalLayout.line, 0, static_cast<std::int64_t>(CTLineVerticalLayoutArray_.size()) - 1))];
    };
    auto Ls = lineOf(startCopyRunItem_), Le = lineOf(endCopyRunItem_);
    startCopyRunItemY_ = Ls->selectCopyBackY;
    gfx::Rect S = startCopyRunItem_->withOutMergeBounds, E = endCopyRunItem_->withOutMergeBounds;
    gfx::Rect left{S.x() - 5, Ls->selectCopyBackY - 10, 10, Ls->selectCopyBackHeight + 30};
    gfx::Rect right{E.maxX() - 5, Le->selectCopyBackY, 10, Le->selectCopyBackHeight + 20};
    return choseSelectView(point, 1, left, right, 0);
}

std::int64_t RLSelectBackView::choseSelectView(gfx::Point point, double inset, gfx::Rect leftRect, gfx::Rect rightRect,
                                               int time) {
    if (time > 15) return 0;
    bool inLeft = leftRect.insetBy(inset, inset).contains(point);
    bool inRight = rightRect.insetBy(inset, inset).contains(point);
    if (inLeft && !inRight) return 1;
    if (inRight && !inLeft) return 2;
    return choseSelectView(point, inLeft ? inset + 0.25 : inset - 0.35, leftRect, rightRect, time + 1);
}

void RLSelectBackView::select() {
    if (!startCopyRunItem_) return;
    endCopyRunItem_ = startCopyRunItem_->copy();
    showRLSelectViewWithPoint({}, 0, nullptr, startCopyRunItem_, endCopyRunItem_, CTLineVerticalLayoutArray_, false);
    magnifierView_->setHidden(true);
    showMenuView();
}

void RLSelectBackView::selectAll() {
    if (!firstRunItem_ || !lastRunItem_) return;
    startCopyRunItem_ = firstRunItem_->copy();
    endCopyRunItem_ = lastRunItem_->copy();
    showRLSelectViewWithPoint({}, 0, nullptr, startCopyRunItem_, endCopyRunItem_, CTLineVerticalLayoutArray_, false);
    magnifierView_->setHidden(true);
    showMenuView();
}

void RLSelectBackView::copy() {
    if (startCopyRunItem_ && endCopyRunItem_ && attributedText_) {
        std::size_t length = attributedText_->length();
        std::size_t location = std::min(startCopyRunItem_->characterRange.location, length);
        std::size_t end = endCopyRunItem_->characterRange.location + endCopyRunItem_->characterRange.length;
        std::size_t count = end > location ? end - location : 0;
        count = std::min(count, length - location);
        ui::Pasteboard::general().setString(attributedText_->substring({location, count}).string());
    }
    hideView();
}

bool RLSelectBackView::canPerformAction(std::string_view action) const {
    return attributedText_ && (action == kSelect || action == kSelectAll || action == kCopy);
}

void RLSelectBackView::performAction(std::string_view action) {
    if (action == kSelect) select();
    else if (action == kSelectAll) selectAll();
    else if (action == kCopy) copy();
}

std::shared_ptr<ui::View> RLSelectBackView::hitTest(gfx::Point p) {
    if (!bounds().contains(p)) {
        hideView();
        return nullptr;
    }
    return selfView();
}

void RLSelectBackView::touchesBegan(const ui::TouchSet& touches) {
    haveMove_ = false;
    selectViewAction_ = choseSelectView(touches.front()->locationInView(this));
}

void RLSelectBackView::touchesMoved(const ui::TouchSet& touches) {
    becomeFirstResponder();
    haveMove_ = true;
    gfx::Point p = touches.front()->locationInView(this);
    if (!lastRunItem_) return;
    gfx::Rect last = lastRunItem_->withOutMergeBounds;
    Item item = (p.y >= last.minY() && p.x >= last.maxX()) || p.y > last.maxY() + 1
                    ? lastRunItem_->copy()
                    : currentItem(p, allRunItemArray_, 0.5);
    if (!item || selectViewAction_ == 0 || !startCopyRunItem_ || !endCopyRunItem_) return;
    double y = item->lineVerticalLayout.lineRect.midY();
    if (selectViewAction_ == 1) {
        if (item->characterIndex > endCopyRunItem_->characterIndex) return;
        if (item->characterIndex == endCopyRunItem_->characterIndex) {
            startCopyRunItem_ = item->copy();
            endCopyRunItem_ = item->copy();
        } else {
            startCopyRunItem_ = item;
        }
    } else if (selectViewAction_ == 2) {
        if (item->characterIndex < startCopyRunItem_->characterIndex) return;
        if (item->characterIndex == startCopyRunItem_->characterIndex) {
            startCopyRunItem_ = item->copy();
            endCopyRunItem_ = item->copy();
        } else {
            endCopyRunItem_ = item;
        }
    }
    showRLSelectViewWithPoint({p.x, y}, 0, item, startCopyRunItem_, endCopyRunItem_, CTLineVerticalLayoutArray_, true);
}

void RLSelectBackView::touchesEnded(const ui::TouchSet&) {
    magnifierView_->setHidden(true);
    if (!textRangeView_->isHidden()) showMenuView();
    haveMove_ = false;
}

void RLSelectBackView::touchesCancelled(const ui::TouchSet& touches) { touchesEnded(touches); }

bool RLSelectBackView::shouldReceiveTouch(ui::GestureRecognizer& recognizer, const std::shared_ptr<ui::Touch>& touch) {
    if (&recognizer == doubleTapGes_.get()) doubleTapTouch_ = touch;
    if (&recognizer == longPressGestureRecognizer_.get()) longPressTouch_ = touch;
    return true;
}

gfx::Point RLSelectBackView::touchPoint(const ui::GestureRecognizer& recognizer) const {
    const auto& touch = &recognizer == doubleTapGes_.get() ? doubleTapTouch_ : longPressTouch_;
    return touch ? touch->locationInView(this) : recognizer.locationInView(this);
}

void RLSelectBackView::selectOne(const Item& item) {
    startCopyRunItem_ = item->copy();
    endCopyRunItem_ = item->copy();
    showRLSelectViewWithPoint({}, 0, item, startCopyRunItem_, endCopyRunItem_, CTLineVerticalLayoutArray_, false);
    showMenuView();
}

void RLSelectBackView::tapOneAct(ui::GestureRecognizer&) {
    if (!haveMove_) hideView();
}

void RLSelectBackView::tapTwoAct(ui::GestureRecognizer& recognizer) {
    if (auto item = currentItem(touchPoint(recognizer), allRunItemArray_, 1)) selectOne(item);
}

void RLSelectBackView::longPressGestureDidFire(ui::GestureRecognizer& recognizer) {
    using State = ui::GestureRecognizer::State;
    gfx::Point p = touchPoint(recognizer);
    switch (recognizer.state()) {
    case State::began:
    case State::changed:
        if (auto item = currentItem(p, allRunItemArray_, 0.5)) {
            ui::MenuController::shared().setMenuVisible(false, false);
            updateMagnifyPoint(p, item);
        }
        break;
    case State::ended:
        magnifierView_->setHidden(true);
        if (auto item = currentItem(p, allRunItemArray_, 1.5)) selectOne(item);
        break;
    default: break;
    }
}

void RLSelectBackView::applicationEnterBackground() { hideView(); }
