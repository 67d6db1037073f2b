#pragma once
// The one controller of every text selection in rich labels. Laid over the selected label, it
// shows the highlight with its two pins, the loupe while a finger moves or presses, and the edit
// menu (select, select all, copy); copy puts the chosen characters on the general pasteboard as
// plain text. While a selection shows, the scroll views around the label neither delay nor take
// content touches, so dragging a pin never scrolls them. The selection ends with a copy, a touch
// outside the label, a single tap without movement, the app going to the background, or a new
// layout of its own label. Main thread only.

#include "platform/core/NotificationCenter.h"
#include "platform/gfx/Font.h"
#include "platform/text/AttributedString.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/View.h"
#include "rich_label/RLCTLineLayoutModel.h"
#include "rich_label/RLGlyphRunStrokeItem.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class RLLabel;
class RLMagnifierView;
class RLSelectTextRangeView;
namespace ui {
class TapGestureRecognizer;
class LongPressGestureRecognizer;
class ScrollView;
}

// Catches touches outside the selected label: it never takes a touch itself.
class RLWindowView : public ui::View {
    QUILLORA_CLASS(RLWindowView)
    using ui::View::View;

    std::function<void(bool)> hitTestBlock;
    std::shared_ptr<ui::View> hitTest(gfx::Point p) override;
};

class RLSelectBackView : public ui::View, public ui::GestureRecognizerDelegate {
    QUILLORA_CLASS(RLSelectBackView)

    using ui::View::View;
    void init() override;

    static std::shared_ptr<RLSelectBackView> instance();
    // The character under a point: the first item whose box, grown by `inset`, contains it (a
    // copy), or null.
    static std::shared_ptr<RLGlyphRunStrokeItem> currentItem(
        gfx::Point point, const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& allRunItemArray, double inset);

    using Lines = std::vector<std::shared_ptr<RLCTLineLayoutModel>>;
    using Items = std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>;

    void showSelectViewInRLLabel(const std::shared_ptr<RLLabel>& label, gfx::Point atPoint,
                                 const std::shared_ptr<RLGlyphRunStrokeItem>& runItem, double maxLineWidth,
                                 const Lines& allCTLineVerticalArray, const Items& allRunItemArray,
                                 std::function<void()> hideViewBlock);
    void showMagnifyInRLLabel(const std::shared_ptr<RLLabel>& label, gfx::Point magnifyPoint,
                              const std::shared_ptr<RLGlyphRunStrokeItem>& runItem);
    void hideView();
    void hideAllCopySelectView();
    void showRLSelectViewWithPoint(gfx::Point point, std::int64_t selectType,
                                   const std::shared_ptr<RLGlyphRunStrokeItem>& item,
                                   const std::shared_ptr<RLGlyphRunStrokeItem>& startCopyRunItem,
                                   const std::shared_ptr<RLGlyphRunStrokeItem>& endCopyRunItem,
                                   const Lines& allCTLineVerticalArray, bool needShowMagnifyView);
    void updateSelectTextRangeViewStartCopyRunItem(const std::shared_ptr<RLGlyphRunStrokeItem>& startCopyRunItem,
                                                   const std::shared_ptr<RLGlyphRunStrokeItem>& endCopyRunItem,
                                                   const Lines& allCTLineVerticalArray);
    void updateMagnifyPoint(gfx::Point point, const std::shared_ptr<RLGlyphRunStrokeItem>& item);
    void showMenuView();
    // false freezes the scroll views around the label, true gives them their settings back.
    void scrollViewUnable(bool unable);
    void setScrollView(const std::shared_ptr<ui::View>& view, bool scrollUnable);
    // Which pin a touch grabs: 0 none, 1 the left (start) pin, 2 the right (end) pin.
    std::int64_t choseSelectView(gfx::Point point);
    std::int64_t choseSelectView(gfx::Point point, double inset, gfx::Rect leftRect, gfx::Rect rightRect, int time);

    // Menu commands.
    void select();
    void selectAll();
    void copy();
    bool canPerformAction(std::string_view action) const override;
    void performAction(std::string_view action) override;
    bool canBecomeFirstResponder() const override { return true; }
    bool pointInside(gfx::Point) const override { return true; }

    std::shared_ptr<ui::View> hitTest(gfx::Point p) override;
    void touchesBegan(const ui::TouchSet& touches) override;
    void touchesMoved(const ui::TouchSet& touches) override;
    void touchesEnded(const ui::TouchSet& touches) override;
    void touchesCancelled(const ui::TouchSet& touches) override;
    bool shouldReceiveTouch(ui::GestureRecognizer& recognizer, const std::shared_ptr<ui::Touch>& touch) override;
    void tapOneAct(ui::GestureRecognizer& recognizer);
    void tapTwoAct(ui::GestureRecognizer& recognizer);
    void longPressGestureDidFire(ui::GestureRecognizer& recognizer);
    void applicationEnterBackground();

    // State, for the label and for tests.
    std::shared_ptr<RLLabel> label() const { return label_.lock(); }
    const std::shared_ptr<RLGlyphRunStrokeItem>& startCopyRunItem() const { return startCopyRunItem_; }
    const std::shared_ptr<RLGlyphRunStrokeItem>& endCopyRunItem() const { return endCopyRunItem_; }
    const std::shared_ptr<RLGlyphRunStrokeItem>& firstRunItem() const { return firstRunItem_; }
    const std::shared_ptr<RLGlyphRunStrokeItem>& lastRunItem() const { return lastRunItem_; }
    double startCopyRunItemY() const { return startCopyRunItemY_; }
    std::int64_t selectViewAction() const { return selectViewAction_; }
    bool haveMove() const { return haveMove_; }
    const std::shared_ptr<RLMagnifierView>& magnifierView() const { return magnifierView_; }
    const std::shared_ptr<RLSelectTextRangeView>& textRangeView() const { return textRangeView_; }
    const std::shared_ptr<RLWindowView>& backWindView() const { return backWindView_; }
    const std::shared_ptr<ui::TapGestureRecognizer>& singleTapGes() const { return singleTapGes_; }
    const std::shared_ptr<ui::TapGestureRecognizer>& doubleTapGes() const { return doubleTapGes_; }
    const std::shared_ptr<ui::LongPressGestureRecognizer>& longPressGestureRecognizer() const {
        return longPressGestureRecognizer_;
    }

private:
    struct FrozenScrollView {
        std::weak_ptr<ui::ScrollView> scrollView;
        bool delaysContentTouches;
        bool canCancelContentTouches;
    };
    std::shared_ptr<ui::View> selfView() { return std::static_pointer_cast<ui::View>(shared_from_this()); }
    std::shared_ptr<ui::Window> keyWindow() const;
    gfx::Point touchPoint(const ui::GestureRecognizer& recognizer) const;
    void selectOne(const std::shared_ptr<RLGlyphRunStrokeItem>& item);

    double lineVerticalMaxWidth_ = 0;
    Lines CTLineVerticalLayoutArray_;
    Items allRunItemArray_;
    std::shared_ptr<RLGlyphRunStrokeItem> firstRunItem_, lastRunItem_;
    std::shared_ptr<RLGlyphRunStrokeItem> startCopyRunItem_;
    double startCopyRunItemY_ = 0;
    std::shared_ptr<RLGlyphRunStrokeItem> endCopyRunItem_;
    bool haveMove_ = false;
    std::shared_ptr<RLMagnifierView> magnifierView_;
    std::shared_ptr<ui::TapGestureRecognizer> singleTapGes_, doubleTapGes_;
    std::shared_ptr<ui::LongPressGestureRecognizer> longPressGestureRecognizer_;
    std::weak_ptr<RLLabel> label_;
    std::shared_ptr<RLSelectTextRangeView> textRangeView_;
    std::int64_t selectViewAction_ = 0;
    std::shared_ptr<RLWindowView> backWindView_;
    std::vector<FrozenScrollView> scrlooViewArray_;
    std::function<void()> hideViewBlock_;
    std::optional<gfx::Font> font_;
    std::optional<text::AttributedString> attributedText_;
    std::shared_ptr<ui::Touch> doubleTapTouch_, longPressTouch_;
    core::NotificationCenter::Token backgroundObserver_;
};
