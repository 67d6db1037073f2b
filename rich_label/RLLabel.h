#pragma once
// A label that lays out and draws attributed text itself, on the platform's text layout layer:
// links with normal and pressed attributes, inserted images and views, run backgrounds,
// outlines and strikethrough lines, a vertical alignment inside its bounds, text insets and a
// truncation token on the last line. Its size calculation is what the answer rows' heights rest
// on.
//
// The stored text always ends with one U+FFFC without attributes (a sentinel, which lays out
// empty); text() carries no sentinel. Derived state is rebuilt lazily after one invalidation,
// setNeedsFramesetter(): the rendered text (link and pressed-link attributes applied), the
// framesetter (built under a lock), and the per-draw line records. Drawing happens in a y-up
// text space: the context is flipped, glyphs and images are drawn upright in it.
//
// Main thread only, except that the framesetter's creation is serialised by a lock.

#include "platform/gfx/EdgeInsets.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Framesetter.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Label.h"
#include "rich_label/RLCTLineLayoutModel.h"
#include "rich_label/RLGlyphRunStrokeItem.h"
#include "rich_label/RLLabelConfigure.h"
#include "rich_label/RLLabelLinkModel.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ui {
class LongPressGestureRecognizer;
class TapGestureRecognizer;
class ViewController;
}

class RLLabel : public ui::Label, public ui::GestureRecognizerDelegate {
    QUILLORA_CLASS(RLLabel)

    using ui::Label::Label;
    void init() override;
    void commonInit();

    // Text storage.
    // A plain string with the label's font, colour and alignment; nothing clears the text.
    void setText(std::optional<std::string> string);
    void setText(const text::AttributedString& attributed);
    const std::optional<std::string>& text() const { return text_; }
    // Nothing clears the text: the label draws nothing and measures (0, 0).
    void setAttributedText(std::optional<text::AttributedString> attributed);
    const std::optional<text::AttributedString>& attributedText() const { return attributedText_; }
    const text::AttributedString& renderedAttributedText() const;
    void setRenderedAttributedText(std::optional<text::AttributedString> rendered) const {
        renderedAttributedText_ = std::move(rendered);
    }
    void setNeedsFramesetter() const;
    std::shared_ptr<text::Framesetter> framesetter() const;
    std::shared_ptr<text::Framesetter> highlightFramesetter() const { return highlightFramesetter_; }
    void setFramesetter(std::shared_ptr<text::Framesetter> f) const { framesetter_ = std::move(f); }
    void setHighlightFramesetter(std::shared_ptr<text::Framesetter> f) const { highlightFramesetter_ = std::move(f); }

    // The platform label's look that this label reads.
    gfx::Color textColor() const { return ui::Label::textColor(); }
    void setTextColor(gfx::Color color);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    std::optional<gfx::Color> highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(std::optional<gfx::Color> color) { highlightedTextColor_ = color; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { adjustsFontSizeToFitWidth_ = adjusts; }
    double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double factor) { minimumScaleFactor_ = factor; }

    // Public properties.
    bool extendsLinkTouchArea() const { return extendsLinkTouchArea_; }
    void setExtendsLinkTouchArea(bool extends) { extendsLinkTouchArea_ = extends; }
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double radius) { shadowRadius_ = radius; }
    const gfx::EdgeInsets& textInsets() const { return textInsets_; }
    void setTextInsets(const gfx::EdgeInsets& insets) { textInsets_ = insets; }
    std::int64_t verticalAlignment() const { return verticalAlignment_; }
    void setVerticalAlignment(std::int64_t alignment);
    bool enableCopy() const { return enableCopy_; }
    void setEnableCopy(bool enable);
    const std::optional<text::AttributedString>& attributedTruncationToken() const { return attributedTruncationToken_; }
    void setAttributedTruncationToken(std::optional<text::AttributedString> token) {
        attributedTruncationToken_ = std::move(token);
    }

    std::shared_ptr<RLLabelLinkDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<RLLabelLinkDelegate> delegate) { delegate_ = std::move(delegate); }
    // Links and touches. A touch on a link presses it (its pressed attributes show) and a lift
    // runs its block, then the delegate's; without copy mode, touches outside links pass through
    // the label. In copy mode a double tap, or the end of a long press, starts a selection of one
    // character (see RLSelectBackView).
    std::shared_ptr<RLGlyphRunStrokeItem> linkAtPoint(gfx::Point point, bool extendsLinkTouchArea) const;
    std::shared_ptr<RLGlyphRunStrokeItem> clickLinkItemAtRadius(double radius, gfx::Point aroundPoint) const;
    bool containslinkAtPoint(gfx::Point point) const;
    std::shared_ptr<ui::View> hitTest(gfx::Point p) override;
    bool canBecomeFirstResponder() const override { return true; }
    void touchesBegan(const ui::TouchSet& touches) override;
    void touchesMoved(const ui::TouchSet& touches) override;
    void touchesEnded(const ui::TouchSet& touches) override;
    void touchesCancelled(const ui::TouchSet& touches) override;
    bool shouldReceiveTouch(ui::GestureRecognizer& recognizer, const std::shared_ptr<ui::Touch>& touch) override;
    void tapTwoAct(ui::GestureRecognizer& recognizer);
    void longPressGestureDidFire(ui::GestureRecognizer& recognizer);
    // Runs the block once the per-character run items exist (laying the text out again first
    // when they do not).
    void caculateCTRunCopySizeBlock(std::function<void()> block);
    static std::shared_ptr<ui::ViewController> topViewController();
    static std::shared_ptr<ui::ViewController> _topViewController(const std::shared_ptr<ui::ViewController>& controller);
    const std::shared_ptr<ui::LongPressGestureRecognizer>& longPressGestureRecognizer() const {
        return longPressGestureRecognizer_;
    }
    const std::shared_ptr<ui::TapGestureRecognizer>& doubleTapGes() const { return doubleTapGes_; }
    const std::shared_ptr<RLGlyphRunStrokeItem>& currentClickRunStrokeItem() const { return currentClickRunStrokeItem_; }

    // The caller's text (without the label's sentinels), and the run items of its characters: the
    // ones a selection may cover.
    std::optional<text::AttributedString> callerAttributedText() const;
    std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> selectableRunItems() const;

    // Private properties, open to the sizing label and to tests.
    bool caculateCopySize() const { return caculateCopySize_; }
    void setCaculateCopySize(bool on) { caculateCopySize_ = on; }
    bool caculateSizeOnly() const { return caculateSizeOnly_; }
    void setCaculateSizeOnly(bool on) { caculateSizeOnly_ = on; }
    void setCaculateCTRunSizeBlock(std::function<void()> block) { caculateCTRunSizeBlock_ = std::move(block); }

    // What the last draw left behind.
    std::int64_t textNumberOfLines() const { return textNumberOfLines_; }
    const std::vector<std::shared_ptr<RLCTLineLayoutModel>>& lineLayoutModels() const { return CTLineVerticalLayoutArray_; }
    const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& linkStrokeItems() const { return linkStrokeItemArray_; }
    const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& allRunItems() const { return allRunItemArray_; }
    double yOffset() const { return yOffset_; }

    // Layout and drawing.
    gfx::Rect textRectForBounds(const gfx::Rect& bounds, std::int64_t numberOfLines);
    void drawTextInRect(gfx::Context& context, const gfx::Rect& rect);
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    gfx::Size sizeThatFits(gfx::Size size) const override;
    gfx::Size intrinsicContentSize() const;
    std::optional<std::string> dumpText() const override { return text_; }

    // Run analysis (view-space and text-space boxes, decorations, merging, painting).
    RLCTLineVerticalLayout RLCTLineVerticalLayoutFromLine(const text::Line& line, std::int64_t lineIndex,
                                                          gfx::Point origin, double lineAscent, double lineDescent,
                                                          double lineLeading) const;
    double yOffset(double y, const RLCTLineVerticalLayout& layout, bool isImage, double runHeight,
                   std::int64_t imageVerticalAlignment, double lineLeading, double runAscent) const;
    gfx::Rect convertRectFromLoc(const gfx::Rect& rect) const;
    std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> mergeLineSameStrokePathItems(
        const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& items, double ascentAndDescent);
    static std::shared_ptr<RLGlyphRunStrokeItem> adjustItemHeight(const std::shared_ptr<RLGlyphRunStrokeItem>& item,
                                                                  double height);
    static std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> getLinkStrokeItems(
        const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& items);
    void drawBackgroundColor(gfx::Context& context, const RLGlyphRunStrokeItem& item, bool isStrokeColor, bool active,
                             bool isStrikethrough) const;

    // Measuring and builders.
    static gfx::Size sizeWithAttributedString(const std::optional<text::AttributedString>& string,
                                              gfx::Size constraints, std::int64_t limitedToNumberOfLines);
    static gfx::Size sizeWithAttributedString(const std::optional<text::AttributedString>& string,
                                              gfx::Size constraints, std::int64_t limitedToNumberOfLines,
                                              const gfx::EdgeInsets& textInsets);
    static std::shared_ptr<RLLabel> instance();
    static std::shared_ptr<RLLabelConfigure> configureAttributes(const std::optional<RLAttributes>& attributes,
                                                                 bool isLink,
                                                                 const std::optional<RLAttributes>& activeLinkAttributes,
                                                                 const core::Value& parameter,
                                                                 const RLLinkBlock& clickLinkBlock,
                                                                 const RLLinkBlock& longPressBlock);
    static text::AttributedString initWithImage(const core::Value& image, gfx::Size imageSize,
                                                std::int64_t imagelineAlignment,
                                                const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString insertImageAtAttrString(const text::AttributedString& string,
                                                          const core::Value& image, gfx::Size imageSize,
                                                          std::size_t atIndex, std::int64_t imagelineAlignment,
                                                          const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString initWithView(const core::Value& view, gfx::Size viewSize,
                                               std::int64_t lineAlignment,
                                               const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString insertViewAtAttrString(const text::AttributedString& string, const core::Value& view,
                                                         gfx::Size viewSize, std::size_t atIndex,
                                                         std::int64_t lineAlignment,
                                                         const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString configureAttrString(const text::AttributedString& string, text::Range atRange,
                                                      const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString configureAttrString(const text::AttributedString& string,
                                                      std::u16string_view withString, bool sameStringEnable,
                                                      const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString configureAttrString(const text::AttributedString& string,
                                                      const text::AttributedString& withAttributedString,
                                                      const std::string& strIdentifier, bool sameStringEnable,
                                                      const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString initWithString(std::string_view string,
                                                 const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString initWithNSString(std::string_view string, const std::string& strIdentifier,
                                                   const std::shared_ptr<RLLabelConfigure>& configure);
    static text::AttributedString initWithAttributedString(const text::AttributedString& string,
                                                           const std::string& strIdentifier,
                                                           const std::shared_ptr<RLLabelConfigure>& configure);
    static std::vector<text::Range> sameLinkStringRangeArray(std::u16string_view string,
                                                             const text::AttributedString& inAttString);
    static std::vector<text::Range> samelinkAttStringRangeArray(const text::AttributedString& attString,
                                                                const std::string& strIdentifier,
                                                                const text::AttributedString& inAttString);

    // Editing the label's links.
    std::optional<text::AttributedString> removeLinkAtRange(text::Range range);
    std::optional<text::AttributedString> removeAllLink();
    void flushText();

private:
    void drawFramesetter(const text::Framesetter& framesetter, const text::AttributedString& string,
                         text::Range textRange, const gfx::Rect& rect, gfx::Context& context);
    std::shared_ptr<text::Line> handleLastCTLine(const std::shared_ptr<text::Line>& line, text::Range textRange,
                                                 const text::AttributedString& string, const gfx::Rect& rect);
    void drawCTLine(const text::Line& line, std::int64_t lineIndex, gfx::Point origin, gfx::Context& context,
                    double lineAscent, double lineDescent, const gfx::Rect& rect, double penOffsetX,
                    RLCTLineLayoutModel* model);
    std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> lineRunItemsFromCTLineRef(
        const text::Line& line, std::int64_t lineIndex, gfx::Point origin, const gfx::Rect& rect, double lineLeading,
        double lineWidth, const RLCTLineVerticalLayout& layout);
    std::shared_ptr<RLGlyphRunStrokeItem> RLGlyphRunStrokeItemFromCTRunRef(
        const std::shared_ptr<text::Run>& run, gfx::Point origin, const text::Line& line, double lineLeading,
        double lineWidth, const RLCTLineVerticalLayout& layout, const gfx::Rect& rect);
    std::vector<std::shared_ptr<RLCTLineLayoutModel>> allCTLineVerticalLayoutArray(
        const std::vector<std::shared_ptr<text::Line>>& lines, const std::vector<gfx::Point>& origins,
        const gfx::Rect& rect, text::Range textRange, const text::AttributedString& string, bool truncateLastLine);
    void drawBackgroundColor(gfx::Context& context, const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& items,
                             bool isStrokeColor) const;
    void drawStrikethroughContext(gfx::Context& context,
                                  const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& items) const;
    // Invalidates without asking for a display (used while drawing).
    void invalidateQuietly() const;
    std::optional<text::AttributedString> removeLinks(std::optional<text::Range> range);
    std::shared_ptr<RLLabelLinkModel> linkModel(const RLGlyphRunStrokeItem& item);
    void releasePressedLink();
    void redrawNow();
    void startSelection(gfx::Point point, const std::shared_ptr<RLGlyphRunStrokeItem>& item);
    gfx::Point touchPoint(const ui::GestureRecognizer& recognizer) const;

    std::optional<std::string> text_;
    std::optional<text::AttributedString> attributedText_;
    mutable bool needsFramesetter_ = true;
    mutable std::int64_t textNumberOfLines_ = -1;
    mutable std::shared_ptr<text::Framesetter> framesetter_;
    mutable std::shared_ptr<text::Framesetter> highlightFramesetter_;
    mutable std::mutex framesetterLock_;
    double yOffset_ = 0;
    bool longPress_ = false;
    mutable bool needRedrawn_ = true;
    mutable std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> linkStrokeItemArray_;
    std::shared_ptr<RLGlyphRunStrokeItem> lastGlyphRunStrokeItem_;
    std::shared_ptr<RLGlyphRunStrokeItem> currentClickRunStrokeItem_;
    mutable std::vector<std::shared_ptr<RLCTLineLayoutModel>> CTLineVerticalLayoutArray_;
    double translateCTMty_ = 0;
    gfx::Rect insetRect_;
    std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> allRunItemArray_;
    double lineVerticalMaxWidth_ = 0;
    gfx::Size lineRecordsSize_;  // the bounds size the line records were built for
    bool extendsLinkTouchArea_ = false;
    bool enableCopy_ = false;
    bool caculateCopySize_ = false;
    bool caculateSizeOnly_ = false;
    double shadowRadius_ = 0;
    std::int64_t verticalAlignment_ = 0;
    std::optional<text::AttributedString> attributedTruncationToken_;
    mutable std::optional<text::AttributedString> renderedAttributedText_;
    std::function<void()> caculateCTRunSizeBlock_;
    gfx::EdgeInsets textInsets_;
    bool highlighted_ = false;
    std::optional<gfx::Color> highlightedTextColor_;
    bool adjustsFontSizeToFitWidth_ = false;
    double minimumScaleFactor_ = 0;
    bool drawing_ = false;
    bool afterLongPressEnd_ = false;
    bool retaking_ = false;         // taking the caller's text again for copy sizes
    std::size_t callerLength_ = 0;  // length of the caller's text, without sentinels
    std::weak_ptr<RLLabelLinkDelegate> delegate_;
    std::shared_ptr<ui::LongPressGestureRecognizer> longPressGestureRecognizer_;
    std::shared_ptr<ui::TapGestureRecognizer> doubleTapGes_;
    std::shared_ptr<ui::Touch> longPressTouch_, doubleTapTouch_;
};
