// Layout and drawing of RLLabel: the text rectangle, the frame drawn line by line with the
// label's line records, the truncated last line, and the run analysis (boxes, decorations,
// merging, painting).
//
// Two spaces are in play. Text space has y up from the bottom of the text rectangle T (the
// context is flipped and translated so); view space is the label's own, y down. A text-space
// point (px, py) lands at view point (px + insetRect.x, T.y + T.height - py).

#include "rich_label/RLLabel.h"

#include "platform/core/TextConversions.h"
#include "platform/gfx/Image.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "rich_label/RLCTRunUrl.h"
#include "rich_label/RLLabelKeys.h"

#include <algorithm>
#include <cmath>

using text::AttributedString;
using text::Range;

namespace {

constexpr double kLargeExtent = 100000.0;
constexpr double kWordWrapWidthFactor = 1.1557273497909217;  // pi / e

using Color = std::optional<gfx::Color>;

bool visible(const Color& c) { return c && !(*c == gfx::Color::clear()); }

Color colorAt(const core::Dictionary* a, std::string_view key) {
    if (!a) return std::nullopt;
    const gfx::Color* c = text::unbox<gfx::Color>(a->find(key));
    return c ? Color(*c) : std::nullopt;
}

// A number read as a float; absent or not a number reads 0.
double numberAt(const core::Dictionary* a, std::string_view key) {
    if (!a) return 0;
    const core::Value* v = a->find(key);
    return v && v->isNumber() ? core::doubleValue(*v) : 0;
}

bool holdsKey(const core::Dictionary* a, std::string_view key) {
    if (!a) return false;
    const core::Value* v = a->find(key);
    return v && !v->isNull();
}

const core::Dictionary* usableDictionary(const text::Attributes& a, std::string_view key) {
    const core::Value* v = a.find(key);
    return v ? v->dictionary() : nullptr;
}

struct Decoration {
    Color strokeColor, fillColor, activeStrokeColor, activeFillColor;
    double strokeLineWidth = 0, cornerRadius = 0, strikethroughStyle = 0;
    Color strikethroughColor;
};

// Each value comes from the run's own attributes, else from the link attributes (L), else from
// the pressed-link attributes (AL).
Decoration resolveDecoration(const text::Attributes& a) {
    const core::Dictionary* L = usableDictionary(a, kRLLinkAttributesName);
    const core::Dictionary* AL = usableDictionary(a, kRLActiveLinkAttributesName);
    auto colorWithFallback = [&](std::string_view key, const core::Dictionary* fallback) {
        Color c = colorAt(&a, key);
        if (!visible(c) && fallback) c = colorAt(fallback, key);
        return c;
    };
    Decoration d;
    d.strokeColor = colorWithFallback(kRLBackgroundStrokeColor, L);
    d.fillColor = colorWithFallback(kRLBackgroundFillColor, L);
    d.activeStrokeColor = colorWithFallback(kRLActiveBackgroundStrokeColor, AL);
    if (!d.activeStrokeColor) d.activeStrokeColor = d.strokeColor;
    d.activeFillColor = colorWithFallback(kRLActiveBackgroundFillColor, AL);
    if (!d.activeFillColor) d.activeFillColor = d.fillColor;
    d.strokeLineWidth = numberAt(&a, kRLBackgroundLineWidth);
    if (d.strokeLineWidth == 0 && AL) d.strokeLineWidth = numberAt(AL, kRLBackgroundLineWidth);
    if (d.strokeLineWidth == 0) d.strokeLineWidth = 1.0;
    d.cornerRadius = numberAt(&a, kRLBackgroundLineCornerRadius);
    if (d.cornerRadius == 0 && AL) d.cornerRadius = numberAt(AL, kRLBackgroundLineCornerRadius);
    // A radius given as 0 means square corners; only a radius given nowhere takes the default.
    if (!holdsKey(&a, kRLBackgroundLineCornerRadius) && !holdsKey(AL, kRLBackgroundLineCornerRadius))
        d.cornerRadius = 5.0;
    d.strikethroughStyle = numberAt(&a, kRLStrikethroughStyleAttributeName);
    if (d.strikethroughStyle == 0) d.strikethroughStyle = numberAt(L, kRLStrikethroughStyleAttributeName);
    if (d.strikethroughStyle == 0) d.strikethroughStyle = numberAt(AL, kRLStrikethroughStyleAttributeName);
    if (d.strikethroughStyle != 0) {
        d.strikethroughColor = colorAt(&a, kRLStrikethroughColorAttributeName);
        if (!visible(d.strikethroughColor) && L) d.strikethroughColor = colorAt(L, kRLStrikethroughColorAttributeName);
        if (!visible(d.strikethroughColor) && AL)
            d.strikethroughColor = colorAt(AL, kRLStrikethroughColorAttributeName);
        if (!visible(d.strikethroughColor)) d.strikethroughColor = gfx::Color::black();
    }
    return d;
}

void applyDecoration(RLGlyphRunStrokeItem& item, const Decoration& d) {
    item.strokeColor = d.strokeColor;
    item.fillColor = d.fillColor;
    item.activeStrokeColor = d.activeStrokeColor;
    item.activeFillColor = d.activeFillColor;
    item.strokeLineWidth = d.strokeLineWidth;
    item.cornerRadius = d.cornerRadius;
    item.strikethroughStyle = d.strikethroughStyle;
    item.strikethroughColor = d.strikethroughColor;
}

// The label's font's descender, negative below the baseline.
double descenderOf(const gfx::Font& font) { return font.ascender() - font.lineHeight(); }

bool isNewline(char16_t c) { return c == u'\n' || c == u'\r' || c == u'\u2029' || c == u'\u2028'; }

void drawUprightImage(gfx::Context& context, const gfx::Image& image, const gfx::Rect& box) {
    context.save();
    context.translate(box.x(), box.y() + box.height());
    context.scale(1, -1);
    context.drawImage(image, {0, 0, box.width(), box.height()});
    context.restore();
}

} // namespace

gfx::Rect RLLabel::textRectForBounds(const gfx::Rect& bounds, std::int64_t numberOfLines) {
    gfx::Rect r = bounds.inset(textInsets_);
    if (!attributedText_) return r;
    double height = font().lineHeight() * static_cast<double>(std::max<std::int64_t>(numberOfLines, 2));
    if (height < r.height()) height = r.height();
    gfx::Size suggested = framesetter()->suggestFrameSize({0, attributedText_->length()}, {r.width(), height});
    double h = std::ceil(suggested.height);
    yOffset_ = 0;
    if (h < r.height()) {
        if (verticalAlignment_ == 0) yOffset_ = std::floor((r.height() - h) * 0.5);
        else if (verticalAlignment_ == 2) yOffset_ = r.height() - h;
    }
    return {r.x(), r.y() + yOffset_, r.width(), height};
}

void RLLabel::drawRect(gfx::Context& context, const gfx::Rect&) { drawTextInRect(context, bounds()); }

void RLLabel::drawTextInRect(gfx::Context& context, const gfx::Rect& rect) {
    // Link boxes are those of this draw only; stale boxes must not take taps.
    linkStrokeItemArray_.clear();
    // Line records built for another size would drop or misplace lines.
    if (!(bounds().size == lineRecordsSize_)) {
        textNumberOfLines_ = -1;
        needRedrawn_ = true;
        CTLineVerticalLayoutArray_.clear();
    }
    gfx::Rect inset = rect.inset(textInsets_);
    if (!attributedText_) return;
    drawing_ = true;

    // Font shrink: computed from the text without its sentinel, and without asking for another
    // display from inside this one.
    std::optional<AttributedString> kept;
    if (adjustsFontSizeToFitWidth_ && numberOfLines() >= 1) {
        double width = (numberOfLines() > 1 ? sizeThatFits({kLargeExtent, kLargeExtent}) : sizeThatFits({})).width;
        double available = frame().width() * numberOfLines();
        if (numberOfLines() >= 2 && lineBreakMode() == ui::LineBreakMode::wordWrap) width *= kWordWrapWidthFactor;
        if (width > available && width > 0) {
            kept = attributedText_;
            double scale = std::max(available / width, minimumScaleFactor_);
            AttributedString shrunk = kept->substring({0, kept->length() - 1});
            const AttributedString source = shrunk;
            for (std::size_t run = 0; run < source.runCount(); ++run) {
                const gfx::Font* f = text::unbox<gfx::Font>(source.runAttributes(run).find(text::kFontAttributeName));
                if (!f) continue;
                gfx::Font smaller = *f;
                smaller.pointSize = std::floor(f->pointSize * scale);
                shrunk.addAttribute(text::kFontAttributeName, text::box(smaller), source.runRange(run));
            }
            bool copyMode = caculateCopySize_;
            setAttributedText(shrunk);
            caculateCopySize_ = copyMode;
        }
    }

    context.save();
    context.translate(0, inset.height());
    context.scale(1, -1);
    gfx::Rect textRect = textRectForBounds(rect, numberOfLines());
    insetRect_ = inset;
    translateCTMty_ = inset.height() - textRect.y() - textRect.height();
    context.translate(inset.x(), translateCTMty_);
    // One shadow under everything the text draws (glyphs, images, backgrounds, lines).
    bool shadowed = shadowColor() && !highlighted_;
    if (shadowed) {
        context.setShadow(shadowOffset(), shadowRadius_, shadowColor());
        context.beginTransparencyLayer(1);
    }

    Range range{0, attributedText_->length()};
    if (highlightedTextColor_ && highlighted_) {
        AttributedString recoloured = renderedAttributedText();
        recoloured.addAttribute(text::kForegroundColorAttributeName, text::box(*highlightedTextColor_),
                                {0, recoloured.length()});
        if (!highlightFramesetter_) setHighlightFramesetter(std::make_shared<text::Framesetter>(recoloured));
        drawFramesetter(*highlightFramesetter_, recoloured, range, textRect, context);
    } else {
        auto setter = framesetter();
        drawFramesetter(*setter, renderedAttributedText(), range, textRect, context);
    }
    if (shadowed) context.endTransparencyLayer();
    if (kept) {
        attributedText_ = std::move(kept);
        invalidateQuietly();
    }
    context.restore();
    drawing_ = false;
    needRedrawn_ = false;
    caculateCopySize_ = false;
    if (caculateCTRunSizeBlock_) {
        auto block = std::move(caculateCTRunSizeBlock_);
        caculateCTRunSizeBlock_ = nullptr;
        block();
    }
}

void RLLabel::drawFramesetter(const text::Framesetter& setter, const AttributedString& string, Range textRange,
                              const gfx::Rect& rect, gfx::Context& context) {
    const long backTag = RLTagForName(kRLInsertBackViewTag);
    for (const auto& sub : subviews())
        if (sub->tag() == backTag) {
            sub->removeFromSuperview();
            break;
        }
    auto frame = setter.createFrame(textRange, rect);
    const auto& lines = frame->lines();
    const auto count = static_cast<std::int64_t>(lines.size());
    if (textNumberOfLines_ == -1) textNumberOfLines_ = numberOfLines() >= 1 ? std::min<std::int64_t>(numberOfLines(), count) : count;
    auto mode = lineBreakMode();
    bool truncate = mode == ui::LineBreakMode::truncateHead || mode == ui::LineBreakMode::truncateMiddle ||
                    mode == ui::LineBreakMode::truncateTail;
    const auto& origins = frame->lineOrigins();
    if (needRedrawn_)
        CTLineVerticalLayoutArray_ = allCTLineVerticalLayoutArray(lines, origins, rect, textRange, string, truncate);
    double flush = textAlignment() == ui::TextAlignment::center ? 0.5
                   : textAlignment() == ui::TextAlignment::right ? 1.0
                                                                 : 0.0;
    std::int64_t drawn = std::min(textNumberOfLines_, count);
    for (std::int64_t i = 0; i < drawn; ++i) {
        auto line = lines[static_cast<std::size_t>(i)];
        if (i == textNumberOfLines_ - 1 && truncate) line = handleLastCTLine(line, textRange, string, rect);
        double ascent = 0, descent = 0, leading = 0;
        line->typographicBounds(&ascent, &descent, &leading);
        double pen = line->penOffsetForFlush(flush, rect.width());
        RLCTLineLayoutModel* model = static_cast<std::size_t>(i) < CTLineVerticalLayoutArray_.size()
                                         ? CTLineVerticalLayoutArray_[static_cast<std::size_t>(i)].get()
                                         : nullptr;
        drawCTLine(*line, i, origins[static_cast<std::size_t>(i)], context, ascent, descent, rect, pen, model);
    }
}

std::shared_ptr<text::Line> RLLabel::handleLastCTLine(const std::shared_ptr<text::Line>& line, Range textRange,
                                                      const AttributedString& string, const gfx::Rect& rect) {
    Range lineRange = line->stringRange();
    if ((lineRange.location == 0 && lineRange.length == 0) || lineRange.end() >= textRange.end()) return line;
    auto mode = lineBreakMode();
    text::Line::TruncationType type = text::Line::TruncationType::end;
    std::size_t attributesIndex = lineRange.end() - 1;
    if (mode == ui::LineBreakMode::truncateHead) {
        type = text::Line::TruncationType::start;
        attributesIndex = lineRange.location;
    } else if (mode == ui::LineBreakMode::truncateMiddle) {
        type = text::Line::TruncationType::middle;
        attributesIndex = lineRange.location + lineRange.length / 2;
    }
    const text::Attributes& cutAttributes = string.attributesAt(attributesIndex);
    AttributedString token;
    if (attributedTruncationToken_) {
        token = *attributedTruncationToken_;
        if (!token.empty() && token.attributesAt(0).empty()) token.addAttributes(cutAttributes, {0, token.length()});
    } else {
        token = AttributedString(u"\u2026", cutAttributes);
    }
    auto tokenLine = text::Line::create(token);

    std::size_t tailLength = type == text::Line::TruncationType::end
                                 ? std::min(lineRange.length, string.length() - lineRange.location)
                                 : string.length() - lineRange.location;
    AttributedString tail = string.substring({lineRange.location, tailLength});
    if (lineRange.length >= 1 && !tail.empty()) {
        std::size_t at = std::min(lineRange.length - 1, tail.length() - 1);
        if (isNewline(tail.characters()[at]) && lineRange.length - 1 < tail.length())
            tail.deleteCharacters({lineRange.length - 1, 1});
    }
    if (type == text::Line::TruncationType::middle) tail.insert(token, tail.length() / 2);
    else if (type == text::Line::TruncationType::start) tail.insert(token, 0);
    else tail.append(token);
    auto truncated = text::Line::create(tail)->createTruncatedLine(rect.width(), type, tokenLine);
    return truncated ? truncated : tokenLine;
}

void RLLabel::drawCTLine(const text::Line& line, std::int64_t lineIndex, gfx::Point origin, gfx::Context& context,
                         double lineAscent, double lineDescent, const gfx::Rect& rect, double penOffsetX,
                         RLCTLineLayoutModel* model) {
    RLCTLineVerticalLayout layout = model ? model->lineVerticalLayout : RLCTLineVerticalLayout{};
    double leading = 0;
    double width = line.typographicBounds(nullptr, nullptr, &leading);
    auto items = lineRunItemsFromCTLineRef(line, lineIndex, origin, rect, leading, width, layout);
    if (enableCopy_ && caculateCopySize_) allRunItemArray_.insert(allRunItemArray_.end(), items.begin(), items.end());
    auto merged = mergeLineSameStrokePathItems(items, lineAscent + std::fabs(lineDescent));
    for (const auto& item : merged)
        if (item->isLink) linkStrokeItemArray_.push_back(item);
    if (!caculateSizeOnly_) drawBackgroundColor(context, merged, false);

    double top = layout.lineRect.y();
    double excess = 0;
    // Glyphs wholly outside the clip (a label partly on screen) are not drawn.
    const gfx::Rect visibleArea = context.clipBoundingBox();
    for (const auto& item : items) {
        gfx::Rect box = item->runBounds;
        double y = box.y();
        if (!item->isInsertView) y += item->runDescent;
        auto run = item->runRef.lock();
        if (item->isInsertView) {
            double x = origin.x + (run ? line.offsetForStringIndex(run->stringRange().location) : 0) + penOffsetX -
                       item->strokeLineWidth * 0.5;
            const core::Value& inserted = item->insertView;
            std::shared_ptr<const gfx::Image> image;
            if (const gfx::ImagePtr* boxed = text::unbox<gfx::ImagePtr>(inserted)) image = *boxed;
            else if (inserted.string()) image = gfx::Image::named(*inserted.string());
            if (image) {
                drawUprightImage(context, *image, {x, y, box.width(), box.height()});
            } else if (auto view = inserted.object<ui::View>()) {
                view->setBackgroundColor(backgroundColor());
                view->setFrame(item->locBounds);
                view->setTag(RLTagForName(kRLInsertBackViewTag));
                addSubview(view);
                bringSubviewToFront(view);
            }
        } else if (run) {
            gfx::Point position = layout.verticalAlignment == 2 ? gfx::Point{penOffsetX, origin.y}
                                                                : gfx::Point{penOffsetX, y};
            // The run's box moved to where it is drawn, with a margin for glyphs reaching past it.
            gfx::Rect drawn{box.x() + position.x - 2 * box.height(), position.y - 2 * box.height(),
                            box.width() + 4 * box.height(), 4 * box.height() + std::fabs(position.y - y)};
            if (drawn.intersects(visibleArea)) run->draw(context, position);
        }
        top = std::min(top, item->locBounds.y());
        excess = std::max(excess, item->locBounds.y() + item->locBounds.height() -
                                      (layout.lineRect.y() + layout.lineRect.height()));
    }
    if (!caculateSizeOnly_) {
        drawBackgroundColor(context, merged, true);
        drawStrikethroughContext(context, merged);
    }
    if (model) {
        model->selectCopyBackY = top;
        model->selectCopyBackHeight = layout.lineRect.height() + excess + layout.lineRect.y() - top;
    }
}

std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> RLLabel::lineRunItemsFromCTLineRef(
    const text::Line& line, std::int64_t, gfx::Point origin, const gfx::Rect& rect, double lineLeading,
    double lineWidth, const RLCTLineVerticalLayout& layout) {
    std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> items;
    for (const auto& run : line.glyphRuns())
        items.push_back(RLGlyphRunStrokeItemFromCTRunRef(run, origin, line, lineLeading, lineWidth, layout, rect));
    return items;
}

std::vector<std::shared_ptr<RLCTLineLayoutModel>> RLLabel::allCTLineVerticalLayoutArray(
    const std::vector<std::shared_ptr<text::Line>>& lines, const std::vector<gfx::Point>& origins,
    const gfx::Rect& rect, Range textRange, const AttributedString& string, bool truncateLastLine) {
    std::vector<std::shared_ptr<RLCTLineLayoutModel>> models;
    std::int64_t count = std::min(textNumberOfLines_, static_cast<std::int64_t>(lines.size()));
    for (std::int64_t i = 0; i < count; ++i) {
        auto line = lines[static_cast<std::size_t>(i)];
        if (i == textNumberOfLines_ - 1 && truncateLastLine) line = handleLastCTLine(line, textRange, string, rect);
        double ascent = 0, descent = 0, leading = 0;
        line->typographicBounds(&ascent, &descent, &leading);
        auto model = core::make<RLCTLineLayoutModel>();
        model->lineIndex = i;
        model->lineVerticalLayout =
            RLCTLineVerticalLayoutFromLine(*line, i, origins[static_cast<std::size_t>(i)], ascent, descent, leading);
        models.push_back(model);
    }
    lineVerticalMaxWidth_ = bounds().width();
    lineRecordsSize_ = bounds().size;
    return models;
}

RLCTLineVerticalLayout RLLabel::RLCTLineVerticalLayoutFromLine(const text::Line& line, std::int64_t lineIndex,
                                                               gfx::Point origin, double lineAscent,
                                                               double lineDescent, double) const {
    RLCTLineVerticalLayout v;
    v.line = lineIndex;
    v.lineAscentAndDescent = lineAscent + std::fabs(lineDescent);
    v.verticalAlignment = 2;
    for (const auto& run : line.glyphRuns()) {
        double ascent = 0, descent = 0;
        run->typographicBounds(&ascent, &descent, nullptr);
        double height = ascent + std::fabs(descent);
        const core::Value* image = run->attributes().find(kRLImageAttributeName);
        if (image && !image->isNull()) {
            if (height > v.maxImageHeight) {
                const core::Value* alignment = image->find(kRLImageLineVerticalAlignment);
                v.verticalAlignment = alignment && alignment->isNumber() ? core::longLongValue(*alignment) : 2;
                v.maxImageAscent = ascent;
                v.maxImageHeight = height;
            }
        } else if (height > v.maxRunHeight) {
            v.maxRunAscent = ascent;
            v.maxRunHeight = height;
        }
    }
    gfx::Rect g = line.imageBounds();
    v.lineRect = {origin.x + g.x(), insetRect_.height() - (origin.y + g.y()) - g.height() - translateCTMty_,
                  g.width() + textInsets_.left + textInsets_.right, g.height()};
    return v;
}

double RLLabel::yOffset(double y, const RLCTLineVerticalLayout& v, bool isImage, double runHeight,
                        std::int64_t imageVerticalAlignment, double lineLeading, double runAscent) const {
    std::int64_t alignment = isImage ? imageVerticalAlignment : v.verticalAlignment;
    if (alignment != 2) {
        double delta;
        if (v.maxRunHeight > v.maxImageHeight) {
            delta = v.maxRunAscent - runAscent;
            if (isImage) delta += descenderOf(font()) * 0.5 - lineLeading;
        } else {
            delta = v.maxImageAscent - runAscent;
        }
        if (std::max(v.maxRunHeight, v.maxImageHeight) > runHeight) {
            if (alignment == 1) return y + delta;
            if (alignment == 0) return y + delta * 0.5;
            return y;
        }
    }
    return isImage ? y + descenderOf(font()) * 0.5 - lineLeading : y;
}

gfx::Rect RLLabel::convertRectFromLoc(const gfx::Rect& r) const {
    return {r.x(), bounds().height() - textInsets_.top - textInsets_.bottom - translateCTMty_ - r.y() - r.height(),
            r.width(), r.height()};
}

std::shared_ptr<RLGlyphRunStrokeItem> RLLabel::RLGlyphRunStrokeItemFromCTRunRef(
    const std::shared_ptr<text::Run>& run, gfx::Point origin, const text::Line& line, double lineLeading,
    double lineWidth, const RLCTLineVerticalLayout& layout, const gfx::Rect& rect) {
    const text::Attributes& a = run->attributes();
    Decoration decoration = resolveDecoration(a);
    const core::Value* isLinkValue = a.find(kRLIsLinkAttributesName);
    bool isLink = isLinkValue && isLinkValue->isBool() && isLinkValue->asBool();
    const core::Value* rangeText = a.find(kRLLinkRangeAttributesName);
    Range linkRange = rangeText && rangeText->string() ? text::rangeFromString(*rangeText->string()) : Range{};
    const core::Value* needRedrawn = a.find(kRLLinkNeedRedrawnAttributesName);
    const core::Dictionary* image = usableDictionary(a, kRLImageAttributeName);
    std::int64_t imageAlignment = 2;
    if (image) {
        const core::Value* alignment = image->find(kRLImageLineVerticalAlignment);
        if (alignment && alignment->isNumber()) imageAlignment = core::longLongValue(*alignment);
    }

    auto item = core::make<RLGlyphRunStrokeItem>();
    if (caculateCopySize_) {
        const core::Value* link = a.find(text::kLinkAttributeName);
        if (auto url = link ? link->object<RLCTRunUrl>() : nullptr) {
            item->characterIndex = url->index;
            item->characterRange = url->rangeValue;
        }
    }
    double ascent = 0, descent = 0;
    double width = run->typographicBounds(&ascent, &descent, nullptr);
    double height = ascent + std::fabs(descent);

    // The run's box in text space.
    Range runRange = run->stringRange();
    std::size_t start = runRange.location + (run->isRightToLeft() ? runRange.length : 0);
    double x = origin.x + rect.x() + line.offsetForStringIndex(start);
    double y = yOffset(origin.y, layout, image != nullptr, height, imageAlignment, lineLeading, ascent);
    if (!image) y -= height - ascent;
    item->runBounds = {x, y, width > lineWidth ? lineWidth : width, height};
    item->locBounds = convertRectFromLoc(item->runBounds);
    double tallestAscent = std::max(layout.maxRunAscent, layout.maxImageAscent);
    double tallest = std::max(layout.maxRunHeight, layout.maxImageHeight);
    item->withOutMergeBounds = {item->locBounds.x(), layout.lineRect.y() + layout.lineRect.height() - tallestAscent,
                                item->locBounds.width(), tallest};
    item->lineVerticalLayout = layout;
    item->runDescent = std::fabs(descent);
    item->runRef = run;

    const core::Value* inserted = image ? image->find(kRLImage) : nullptr;
    if (isLink) {
        applyDecoration(*item, decoration);
        item->range = linkRange;
        item->isLink = true;
        item->needRedrawn = needRedrawn && needRedrawn->isBool() && needRedrawn->asBool();
        const core::Value* parameter = a.find(kRLLinkParameterAttributesName);
        if (parameter && !parameter->isNull()) item->parameter = *parameter;
        if (auto* block = text::unbox<RLLinkBlock>(a.find(kRLClickLinkBlockAttributesName))) item->linkBlock = *block;
        if (auto* block = text::unbox<RLLinkBlock>(a.find(kRLLongPressBlockAttributesName)))
            item->longPressBlock = *block;
    } else if (visible(decoration.strokeColor) || visible(decoration.fillColor) ||
               visible(decoration.activeStrokeColor) || visible(decoration.activeFillColor) ||
               decoration.strikethroughStyle != 0) {
        applyDecoration(*item, decoration);
    }
    if (inserted && !inserted->isNull()) {
        item->insertView = *inserted;
        item->isInsertView = true;
    }
    return item;
}

std::shared_ptr<RLGlyphRunStrokeItem> RLLabel::adjustItemHeight(const std::shared_ptr<RLGlyphRunStrokeItem>& item,
                                                                double height) {
    if (item->runBounds.height() < height) item->runBounds = item->runBounds.insetBy(-1, -1);
    return item;
}

std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> RLLabel::mergeLineSameStrokePathItems(
    const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& items, double ascentAndDescent) {
    std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> result;
    if (items.size() < 2) {
        if (!items.empty()) result.push_back(adjustItemHeight(items.front(), ascentAndDescent));
        return result;
    }
    lastGlyphRunStrokeItem_ = items.front();
    for (std::size_t i = 1; i < items.size(); ++i) {
        auto& head = lastGlyphRunStrokeItem_;
        const auto& next = items[i];
        bool same = false;
        if (head->isLink && next->isLink) {
            same = head->range == next->range;
        } else if (!head->isLink && !next->isLink) {
            same = std::fabs(head->runBounds.x() + head->runBounds.width() - next->runBounds.x()) <= 1e-6 &&
                   head->cornerRadius == next->cornerRadius && head->strokeLineWidth == next->strokeLineWidth &&
                   next->strokeColor && next->fillColor && next->activeStrokeColor && next->activeFillColor &&
                   next->strokeColor == head->strokeColor && next->fillColor == head->fillColor &&
                   next->activeStrokeColor == head->activeStrokeColor && next->activeFillColor == head->activeFillColor;
        }
        if (same) {
            const gfx::Rect p = head->runBounds, x = next->runBounds;
            head->runBounds = {std::min(p.x(), x.x()), std::max(p.y(), x.y()), p.width() + x.width(),
                               std::max(p.height(), x.height())};
            const gfx::Rect pl = head->locBounds, xl = next->locBounds;
            head->locBounds = {std::min(pl.x(), xl.x()), std::min(pl.y(), xl.y()), pl.width() + xl.width(),
                               std::max(pl.height(), xl.height())};
            head->strikethroughStyle = std::max(head->strikethroughStyle, next->strikethroughStyle);
            if (head->strikethroughStyle != 0) {
                if (next->strikethroughColor) head->strikethroughColor = next->strikethroughColor;
                else if (!head->strikethroughColor) head->strikethroughColor = gfx::Color::black();
            }
        } else {
            result.push_back(adjustItemHeight(head, ascentAndDescent)->copy());
            head = next;
        }
    }
    result.push_back(adjustItemHeight(lastGlyphRunStrokeItem_, ascentAndDescent)->copy());
    return result;
}

std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> RLLabel::getLinkStrokeItems(
    const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& items) {
    std::vector<std::shared_ptr<RLGlyphRunStrokeItem>> links;
    for (const auto& item : items)
        if (item->isLink) links.push_back(item);
    return links;
}

void RLLabel::drawBackgroundColor(gfx::Context& context, const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& items,
                                  bool isStrokeColor) const {
    for (const auto& item : items) {
        bool active = currentClickRunStrokeItem_ && currentClickRunStrokeItem_->range == item->range;
        drawBackgroundColor(context, *item, isStrokeColor, active, false);
    }
}

void RLLabel::drawStrikethroughContext(gfx::Context& context,
                                       const std::vector<std::shared_ptr<RLGlyphRunStrokeItem>>& items) const {
    for (const auto& item : items) drawBackgroundColor(context, *item, false, false, true);
}

void RLLabel::drawBackgroundColor(gfx::Context& context, const RLGlyphRunStrokeItem& item, bool isStrokeColor,
                                  bool active, bool isStrikethrough) const {
    // Most runs (every character in copy mode) have nothing to paint: no state to save then.
    if (isStrikethrough && item.strikethroughStyle == 0) return;
    if (!isStrikethrough) {
        const Color& paint = isStrokeColor ? (active ? item.activeStrokeColor : item.strokeColor)
                                           : (active ? item.activeFillColor : item.fillColor);
        if (!visible(paint) || (!isStrokeColor && item.isInsertView)) return;
    }
    context.save();
    context.setLineJoin(gfx::Context::LineJoin::round);
    gfx::Rect r = item.runBounds;
    double x = r.x() - textInsets_.left, y = r.y(), w = r.width(), h = r.height();
    if (isStrokeColor) {
        double half = item.strokeLineWidth * 0.5;
        x -= half;
        y -= half;
        h += 2 * half;
        w += (item.isInsertView ? 3 : 2) * half;
    }
    if (isStrikethrough) {
        if (item.strikethroughStyle != 0) {
            double style = item.strikethroughStyle;
            gfx::Path line;
            line.moveTo({x + style * 0.5, y + r.height() * 0.5});
            line.lineTo({x + r.width() - style * 0.5, y + r.height() * 0.5});
            context.setLineCap(gfx::Context::LineCap::square);
            context.setLineWidth(style);
            context.setStrokeColor(item.strikethroughColor.value_or(gfx::Color::black()));
            context.strokePath(line);
        }
        context.restore();
        return;
    }
    Color fill = active ? item.activeFillColor : item.fillColor;
    Color stroke = active ? item.activeStrokeColor : item.strokeColor;
    double radius = item.cornerRadius;
    if (!isStrokeColor && item.strokeLineWidth > 1 && visible(fill) && visible(stroke)) radius = 0;
    // Radii larger than half the box would make the corners overlap.
    radius = std::clamp(radius, 0.0, std::min(std::fabs(w), std::fabs(h)) * 0.5);
    gfx::Path path = gfx::Path::roundedRect({x, y, w, h}, radius);
    if (isStrokeColor) {
        if (visible(stroke)) {
            context.setStrokeColor(*stroke);
            context.setLineWidth(item.strokeLineWidth);
            context.strokePath(path);
        }
    } else if (!item.isInsertView && visible(fill)) {
        context.setFillColor(*fill);
        context.fillPath(path);
    }
    context.restore();
}
