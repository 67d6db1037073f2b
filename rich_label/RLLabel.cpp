#include "rich_label/RLLabel.h"

#include "platform/core/TextConversions.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "rich_label/RLCTRunUrl.h"
#include "rich_label/RLLabelKeys.h"
#include "rich_label/RLSelectBackView.h"

#include <cmath>

using text::AttributedString;
using text::Range;

namespace {

bool boolAt(const text::Attributes& a, std::string_view key) {
    const core::Value* v = a.find(key);
    return v && v->isBool() && v->asBool();
}

const core::Dictionary* dictionaryAt(const text::Attributes& a, std::string_view key) {
    const core::Value* v = a.find(key);
    return v ? v->dictionary() : nullptr;
}

std::uint64_t unsignedAt(const text::Attributes& a, std::string_view key) {
    const core::Value* v = a.find(key);
    if (!v || !v->isNumber()) return 0;
    return v->kind() == core::Value::Kind::UInt ? v->asUInt() : static_cast<std::uint64_t>(core::longLongValue(*v));
}

text::TextAlignment textAlignmentOf(ui::TextAlignment a) {
    switch (a) {
    case ui::TextAlignment::left: return text::TextAlignment::left;
    case ui::TextAlignment::center: return text::TextAlignment::center;
    case ui::TextAlignment::right: return text::TextAlignment::right;
    case ui::TextAlignment::justified: return text::TextAlignment::justified;
    default: return text::TextAlignment::natural;
    }
}

// The text without the trailing sentinel the label appends.
AttributedString withoutSentinel(const AttributedString& s) {
    if (!s.empty() && s.characters().back() == text::kObjectReplacementCharacter)
        return s.substring({0, s.length() - 1});
    return s;
}

} // namespace

void RLLabel::init() {
    ui::Label::init();
    commonInit();
}

void RLLabel::commonInit() {
    setUserInteractionEnabled(true);
    textInsets_ = {};
    verticalAlignment_ = 0;
    textNumberOfLines_ = -1;
    caculateCopySize_ = false;
    needRedrawn_ = true;
    longPress_ = false;
    extendsLinkTouchArea_ = false;
    lastGlyphRunStrokeItem_ = nullptr;
    linkStrokeItemArray_.reserve(3);
    allRunItemArray_.reserve(3);
    currentClickRunStrokeItem_ = nullptr;
    CTLineVerticalLayoutArray_.clear();
    std::weak_ptr<RLLabel> weak = std::static_pointer_cast<RLLabel>(shared_from_this());
    longPressGestureRecognizer_ = std::make_shared<ui::LongPressGestureRecognizer>();
    longPressGestureRecognizer_->addAction([weak](ui::GestureRecognizer& r) {
        if (auto self = weak.lock()) self->longPressGestureDidFire(r);
    });
    longPressGestureRecognizer_->setDelegate(weak);
    addGestureRecognizer(longPressGestureRecognizer_);
    enableCopy_ = false;
    caculateCTRunSizeBlock_ = nullptr;
}

void RLLabel::setText(std::optional<std::string> string) {
    if (!string) {
        setAttributedText(std::nullopt);
        text_.reset();
        return;
    }
    text::ParagraphStyle style;
    style.alignment = textAlignmentOf(textAlignment());
    AttributedString attributed(*string, {{std::string(text::kFontAttributeName), text::box(font())},
                                          {std::string(text::kForegroundColorAttributeName), text::box(textColor())},
                                          {std::string(text::kParagraphStyleAttributeName), text::box(style)}});
    setAttributedText(attributed);
    text_ = std::move(string);
}

void RLLabel::setText(const AttributedString& attributed) {
    setAttributedText(attributed);
    text_ = attributed.string();
}

void RLLabel::setAttributedText(std::optional<AttributedString> attributed) {
    if (!attributed) {
        // Nothing given means nothing shown (the label used to keep drawing the old text).
        if (!attributedText_) return;
        attributedText_.reset();
        text_.reset();
        callerLength_ = 0;
        allRunItemArray_.clear();
        setNeedsFramesetter();
        // Nor does it keep the old text's layout (the measuring label would hold the last text
        // it measured, however long, for the life of the process).
        {
            std::lock_guard lock(framesetterLock_);
            framesetter_.reset();
            highlightFramesetter_.reset();
        }
        if (!drawing_) setNeedsDisplay();
        return;
    }
    bool equal = attributedText_ && *attributed == *attributedText_;
    if (caculateCopySize_) {
        if (!equal && !retaking_) caculateCopySize_ = false;
    } else if (equal) {
        return;
    }
    if (!equal && !retaking_) {
        callerLength_ = attributed->length();
        // Run items describe the characters of the text they were made for.
        allRunItemArray_.clear();
    }
    needRedrawn_ = true;
    longPress_ = false;
    linkStrokeItemArray_.clear();
    CTLineVerticalLayoutArray_.clear();
    currentClickRunStrokeItem_ = nullptr;

    AttributedString w = std::move(*attributed);
    w.reserve(w.length() + 1);  // room for the sentinel only, not twice the text
    w.append(AttributedString(std::u16string(1, text::kObjectReplacementCharacter)));

    if (!caculateSizeOnly_) {
        // The runs as they were before the edits below (not a copy of the whole text).
        std::vector<std::pair<Range, text::Attributes>> runs;
        runs.reserve(w.runCount());
        for (std::size_t run = 0; run < w.runCount(); ++run) runs.emplace_back(w.runRange(run), w.runAttributes(run));
        std::uint64_t lastIdentifier = 0;
        Range linkRange{0, 0};
        bool holdsImage = false;
        for (const auto& [r, a] : runs) {
            if (boolAt(a, kRLIsLinkAttributesName)) {
                std::uint64_t length = unsignedAt(a, kRLLinkLengthAttributesName);
                std::uint64_t identifier = unsignedAt(a, kRLLinkIdentifierAttributesName);
                if (identifier != lastIdentifier) {
                    lastIdentifier = identifier;
                    linkRange.location = r.location;
                }
                linkRange.length = static_cast<std::size_t>(length);
                w.addAttribute(kRLLinkRangeAttributesName, text::rangeToString(linkRange), r);
            } else {
                linkRange = {0, 0};
                w.removeAttribute(kRLLinkRangeAttributesName, r);
            }
            const core::Value* image = a.find(kRLImageAttributeName);
            if (image && !image->isNull()) holdsImage = true;
        }
        if (enableCopy_) {
            if (holdsImage) caculateCopySize_ = true;
            if (caculateCopySize_) {
                std::int64_t counter = 0;
                std::vector<std::pair<Range, core::Value>> links;
                const std::string prefix = "https://character." + std::string(className()) + "/";
                w.enumerateComposedCharacters([&](Range r) {
                    auto url = core::make<RLCTRunUrl>(prefix + std::to_string(counter));
                    url->index = counter;
                    url->rangeValue = r;
                    links.emplace_back(r, core::Value(url));
                    ++counter;
                });
                w.addAttribute(text::kLinkAttributeName, links);
                allRunItemArray_.clear();
            }
        }
    }
    attributedText_ = std::move(w);
    setNeedsFramesetter();
    if (!drawing_) setNeedsDisplay();
}

const AttributedString& RLLabel::renderedAttributedText() const {
    if (renderedAttributedText_) return *renderedAttributedText_;
    // Once laid out, the text lives in the framesetter only (a long text is not kept twice).
    if (!needsFramesetter_ && framesetter_) return framesetter_->attributedString();
    AttributedString r = attributedText_.value_or(AttributedString());
    // The runs are read from the label's text, which the edits to `r` leave alone.
    const AttributedString& source = attributedText_ ? *attributedText_ : r;
    for (std::size_t run = 0; run < source.runCount(); ++run) {
        const auto& a = source.runAttributes(run);
        Range range = source.runRange(run);
        const core::Dictionary* link = dictionaryAt(a, kRLLinkAttributesName);
        if (link) r.addAttributes(*link, range);
        if (caculateSizeOnly_) continue;
        const core::Dictionary* active = dictionaryAt(a, kRLActiveLinkAttributesName);
        if (!active) continue;
        if (currentClickRunStrokeItem_) {
            Range pressed = currentClickRunStrokeItem_->range;
            if (range.location >= pressed.location && range.end() <= pressed.end()) r.addAttributes(*active, range);
        } else {
            for (const auto& key : active->keys()) r.removeAttribute(key, range);
            if (link) r.addAttributes(*link, range);
        }
    }
    renderedAttributedText_ = std::move(r);
    return *renderedAttributedText_;
}

void RLLabel::setNeedsFramesetter() const {
    renderedAttributedText_.reset();
    needsFramesetter_ = true;
    linkStrokeItemArray_.clear();
    CTLineVerticalLayoutArray_.clear();
    textNumberOfLines_ = -1;
    needRedrawn_ = true;
    // Only this label's own selection ends: measuring or laying out another label leaves it.
    auto selection = RLSelectBackView::instance();
    if (selection->label().get() == this) selection->hideView();
}

void RLLabel::invalidateQuietly() const { setNeedsFramesetter(); }

std::shared_ptr<text::Framesetter> RLLabel::framesetter() const {
    if (needsFramesetter_) {
        std::lock_guard lock(framesetterLock_);
        if (needsFramesetter_) {
            renderedAttributedText();
            setFramesetter(std::make_shared<text::Framesetter>(std::move(*renderedAttributedText_)));
            renderedAttributedText_.reset();
            setHighlightFramesetter(nullptr);
            needsFramesetter_ = false;
        }
    }
    return framesetter_;
}

void RLLabel::setTextColor(gfx::Color color) {
    bool changed = !(color == textColor());
    ui::Label::setTextColor(color);
    if (changed) {
        setNeedsFramesetter();
        setNeedsDisplay();
    }
}

void RLLabel::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void RLLabel::setVerticalAlignment(std::int64_t alignment) {
    verticalAlignment_ = alignment;
    flushText();
}

void RLLabel::setEnableCopy(bool enable) {
    enableCopy_ = enable;
    if (!enable) return;
    std::weak_ptr<RLLabel> weak = std::static_pointer_cast<RLLabel>(shared_from_this());
    doubleTapGes_ = std::make_shared<ui::TapGestureRecognizer>();
    doubleTapGes_->setNumberOfTapsRequired(2);
    doubleTapGes_->addAction([weak](ui::GestureRecognizer& r) {
        if (auto self = weak.lock()) self->tapTwoAct(r);
    });
    doubleTapGes_->setDelegate(weak);
    addGestureRecognizer(doubleTapGes_);
    if (allRunItemArray_.empty()) {
        caculateCopySize_ = true;
        setAttributedText(attributedText_);
    }
}

void RLLabel::flushText() {
    allRunItemArray_.clear();
    setNeedsFramesetter();
    setNeedsDisplay();
}

gfx::Size RLLabel::intrinsicContentSize() const { return sizeThatFits(bounds().size); }

gfx::Size RLLabel::sizeThatFits(gfx::Size size) const {
    if (!attributedText_) return {0, 0};
    auto setter = framesetter();
    const AttributedString& rendered = renderedAttributedText();  // held by the framesetter
    std::int64_t n = numberOfLines();
    std::size_t length = rendered.length();
    double width = size.width;
    if (n == 1) {
        width = 100000.0;
    } else if (n > 1) {
        auto frame = setter->createFrame({0, length}, {0, 0, size.width, 100000.0});
        const auto& lines = frame->lines();
        if (!lines.empty())
            length = lines[std::min<std::size_t>(lines.size(), static_cast<std::size_t>(n)) - 1]->stringRange().end();
    }
    gfx::Size s = setter->suggestFrameSize({0, length}, {width, 100000.0});
    return {std::ceil(s.width) + textInsets_.left + textInsets_.right,
            std::ceil(s.height) + textInsets_.top + textInsets_.bottom};
}

// Measuring and builders.

std::shared_ptr<RLLabel> RLLabel::instance() {
    static const std::shared_ptr<RLLabel> shared = [] {
        auto label = core::make<RLLabel>(gfx::Rect(0, 0, 1, 1));
        label->setNumberOfLines(0);
        return label;
    }();
    shared->setCaculateSizeOnly(true);
    return shared;
}

gfx::Size RLLabel::sizeWithAttributedString(const std::optional<AttributedString>& string, gfx::Size constraints,
                                            std::int64_t limitedToNumberOfLines) {
    return sizeWithAttributedString(string, constraints, limitedToNumberOfLines, {});
}

gfx::Size RLLabel::sizeWithAttributedString(const std::optional<AttributedString>& string, gfx::Size constraints,
                                            std::int64_t limitedToNumberOfLines, const gfx::EdgeInsets& textInsets) {
    if (!string || string->empty()) return {0, 0};
    instance()->setTextInsets(textInsets);
    instance()->setNumberOfLines(static_cast<int>(limitedToNumberOfLines));
    instance()->setAttributedText(*string);
    gfx::Size size = instance()->sizeThatFits(constraints);
    instance()->setTextInsets({});
    instance()->setNumberOfLines(0);
    instance()->setAttributedText(std::nullopt);
    return size;
}

std::shared_ptr<RLLabelConfigure> RLLabel::configureAttributes(const std::optional<RLAttributes>& attributes,
                                                               bool isLink,
                                                               const std::optional<RLAttributes>& activeLinkAttributes,
                                                               const core::Value& parameter,
                                                               const RLLinkBlock& clickLinkBlock,
                                                               const RLLinkBlock& longPressBlock) {
    auto configure = core::make<RLLabelConfigure>();
    configure->attributes = attributes;
    configure->isLink = isLink;
    configure->activeLinkAttributes = activeLinkAttributes;
    configure->parameter = parameter;
    configure->clickLinkBlock = clickLinkBlock;
    configure->longPressBlock = longPressBlock;
    return configure;
}

namespace {

const RLLabelConfigure& orEmpty(const std::shared_ptr<RLLabelConfigure>& configure) {
    static const auto empty = core::make<RLLabelConfigure>();
    return configure ? *configure : *empty;
}

AttributedString configureRange(const AttributedString& s, Range range, const RLLabelConfigure& c) {
    return RLLabelConfigure::configureLinkAttributedString(s, range, c.attributes, c.activeLinkAttributes, c.parameter,
                                                           c.clickLinkBlock, c.longPressBlock, c.isLink);
}

// An inserted view sits in a container of the requested size, tagged so the link model can
// hand the view itself back.
core::Value wrapView(const core::Value& view, gfx::Size size) {
    auto inner = view.object<ui::View>();
    if (!inner) return view;
    auto container = core::make<ui::View>(gfx::Rect(0, 0, size.width, size.height));
    inner->setFrame({0, 0, size.width, size.height});
    inner->setTag(RLTagForName(kRLInsertViewTag));
    inner->setUserInteractionEnabled(true);
    container->setUserInteractionEnabled(true);
    container->addSubview(inner);
    return core::Value(container);
}

} // namespace

AttributedString RLLabel::initWithImage(const core::Value& image, gfx::Size imageSize, std::int64_t imagelineAlignment,
                                        const std::shared_ptr<RLLabelConfigure>& configure) {
    return insertImageAtAttrString(AttributedString(), image, imageSize, 0, imagelineAlignment, configure);
}

AttributedString RLLabel::insertImageAtAttrString(const AttributedString& string, const core::Value& image,
                                                  gfx::Size imageSize, std::size_t atIndex,
                                                  std::int64_t imagelineAlignment,
                                                  const std::shared_ptr<RLLabelConfigure>& configure) {
    const RLLabelConfigure& c = orEmpty(configure);
    return RLLabelConfigure::configureLinkAttributedString(string, image, imageSize, atIndex, imagelineAlignment,
                                                           c.attributes, c.activeLinkAttributes, c.parameter,
                                                           c.clickLinkBlock, c.longPressBlock, c.isLink);
}

AttributedString RLLabel::initWithView(const core::Value& view, gfx::Size viewSize, std::int64_t lineAlignment,
                                       const std::shared_ptr<RLLabelConfigure>& configure) {
    return insertImageAtAttrString(AttributedString(), wrapView(view, viewSize), viewSize, 0, lineAlignment,
                                   configure);
}

AttributedString RLLabel::insertViewAtAttrString(const AttributedString& string, const core::Value& view,
                                                 gfx::Size viewSize, std::size_t atIndex, std::int64_t lineAlignment,
                                                 const std::shared_ptr<RLLabelConfigure>& configure) {
    return insertImageAtAttrString(string, wrapView(view, viewSize), viewSize, atIndex, lineAlignment, configure);
}

AttributedString RLLabel::configureAttrString(const AttributedString& string, Range atRange,
                                              const std::shared_ptr<RLLabelConfigure>& configure) {
    return configureRange(string, atRange, orEmpty(configure));
}

AttributedString RLLabel::configureAttrString(const AttributedString& string, std::u16string_view withString,
                                              bool sameStringEnable,
                                              const std::shared_ptr<RLLabelConfigure>& configure) {
    const RLLabelConfigure& c = orEmpty(configure);
    return RLLabelConfigure::configureLinkAttributedString(string, withString, sameStringEnable, c.attributes,
                                                           c.activeLinkAttributes, c.parameter, c.clickLinkBlock,
                                                           c.longPressBlock, c.isLink);
}

AttributedString RLLabel::configureAttrString(const AttributedString& string,
                                              const AttributedString& withAttributedString,
                                              const std::string& strIdentifier, bool sameStringEnable,
                                              const std::shared_ptr<RLLabelConfigure>& configure) {
    const RLLabelConfigure& c = orEmpty(configure);
    if (strIdentifier.empty())
        return configureAttrString(string, withAttributedString.characters(), sameStringEnable, configure);
    text::Attributes first = withAttributedString.empty() ? text::Attributes{} : withAttributedString.attributesAt(0);
    const core::Value* own = first.find(kRLLinkStringIdentifierAttributesName);
    std::string identifier = own && own->string() ? *own->string() : std::string();
    AttributedString pattern = RLLabelConfigure::linkAttStr(withAttributedString.string(), first, identifier);
    return RLLabelConfigure::configureLinkAttributedString(string, pattern, sameStringEnable, c.attributes,
                                                           c.activeLinkAttributes, c.parameter, c.clickLinkBlock,
                                                           c.longPressBlock, c.isLink);
}

AttributedString RLLabel::initWithString(std::string_view string, const std::shared_ptr<RLLabelConfigure>& configure) {
    const RLLabelConfigure& c = orEmpty(configure);
    AttributedString s(string);
    if (c.attributes && !c.attributes->empty()) s.setAttributes(*c.attributes, {0, s.length()});
    return configureRange(s, {0, s.length()}, c);
}

AttributedString RLLabel::initWithNSString(std::string_view string, const std::string& strIdentifier,
                                           const std::shared_ptr<RLLabelConfigure>& configure) {
    const RLLabelConfigure& c = orEmpty(configure);
    AttributedString s = RLLabelConfigure::linkAttStr(string, c.attributes, strIdentifier);
    return configureRange(s, {0, s.length()}, c);
}

AttributedString RLLabel::initWithAttributedString(const AttributedString& string, const std::string& strIdentifier,
                                                   const std::shared_ptr<RLLabelConfigure>& configure) {
    const RLLabelConfigure& c = orEmpty(configure);
    text::Attributes attributes = string.empty() ? text::Attributes{} : string.attributesAt(0);
    if (c.attributes && !c.attributes->empty())
        for (const auto& [key, value] : *c.attributes) attributes.set(key, value);
    AttributedString s = RLLabelConfigure::linkAttStr(string.string(), attributes, strIdentifier);
    return configureRange(s, {0, s.length()}, c);
}

std::vector<Range> RLLabel::sameLinkStringRangeArray(std::u16string_view string, const AttributedString& inAttString) {
    return RLLabelConfigure::getLinkStringRangeArray(string, inAttString);
}

std::vector<Range> RLLabel::samelinkAttStringRangeArray(const AttributedString& attString,
                                                        const std::string& strIdentifier,
                                                        const AttributedString& inAttString) {
    text::Attributes first = attString.empty() ? text::Attributes{} : attString.attributesAt(0);
    return RLLabelConfigure::getLinkAttStringRangeArray(
        RLLabelConfigure::linkAttStr(attString.string(), first, strIdentifier), inAttString);
}

std::optional<AttributedString> RLLabel::removeLinkAtRange(Range range) { return removeLinks(range); }
std::optional<AttributedString> RLLabel::removeAllLink() { return removeLinks(std::nullopt); }

std::optional<AttributedString> RLLabel::removeLinks(std::optional<Range> range) {
    if (!attributedText_) return std::nullopt;
    static constexpr std::string_view kBoth[] = {
        kRLLinkAttributesName,  kRLActiveLinkAttributesName,     kRLIsLinkAttributesName,
        kRLLinkRangeAttributesName, kRLLinkNeedRedrawnAttributesName, kRLBackgroundFillColor,
        kRLBackgroundStrokeColor, kRLBackgroundLineWidth,        kRLBackgroundLineCornerRadius,
        kRLActiveBackgroundFillColor, kRLActiveBackgroundStrokeColor};
    const AttributedString source = *attributedText_;
    AttributedString copy = source;
    for (std::size_t run = 0; run < source.runCount(); ++run) {
        if (!boolAt(source.runAttributes(run), kRLIsLinkAttributesName)) continue;
        Range r = source.runRange(run);
        if (range && r.end() < range->end()) continue;
        Range target = range ? *range : r;
        for (auto key : kBoth) copy.removeAttribute(key, target);
        if (range) copy.removeAttribute(kRLLinkLengthAttributesName, target);
    }
    setNeedsFramesetter();
    // The stored text carries the sentinel; taking it in again must not add a second one.
    setAttributedText(withoutSentinel(copy));
    return attributedText_;
}
