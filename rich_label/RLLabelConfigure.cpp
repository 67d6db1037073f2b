#include "rich_label/RLLabelConfigure.h"

#include "platform/core/Log.h"
#include "platform/core/TextConversions.h"
#include "platform/gfx/Font.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/RunDelegate.h"
#include "rich_label/RLLabelKeys.h"

#include <functional>
#include <random>

using text::AttributedString;
using text::Range;

long RLTagForName(std::string_view name) { return static_cast<long>(std::hash<std::string_view>{}(name)); }

namespace {

bool usable(const std::optional<RLAttributes>& attributes) { return attributes && !attributes->empty(); }

std::uint32_t randomIdentifier() {
    static std::random_device device;
    static std::mt19937 engine(device());
    return static_cast<std::uint32_t>(engine());
}

const gfx::Font* fontIn(const RLAttributes& attributes) {
    return text::unbox<gfx::Font>(attributes.find(text::kFontAttributeName));
}

// The link keys shared by range and placeholder configuration.
void stampLink(AttributedString& s, Range range, const std::optional<RLAttributes>& linkAttributes,
               const std::optional<RLAttributes>& activeLinkAttributes, const core::Value& parameter,
               const RLLinkBlock& click, const RLLinkBlock& longPress, bool islink, bool stampNeedRedrawn) {
    const gfx::Font* linkFont = nullptr;
    const gfx::Font* activeFont = nullptr;
    if (usable(linkAttributes)) {
        linkFont = fontIn(*linkAttributes);
        s.addAttribute(kRLLinkAttributesName, *linkAttributes, range);
    }
    if (usable(activeLinkAttributes)) {
        activeFont = fontIn(*activeLinkAttributes);
        s.addAttribute(kRLActiveLinkAttributesName, *activeLinkAttributes, range);
    }
    if (stampNeedRedrawn) {
        bool differ = linkFont && activeFont &&
                      (linkFont->family != activeFont->family || linkFont->weight != activeFont->weight ||
                       linkFont->pointSize != activeFont->pointSize);
        s.addAttribute(kRLLinkNeedRedrawnAttributesName, differ, range);
    }
    if (!parameter.isNull()) s.addAttribute(kRLLinkParameterAttributesName, parameter, range);
    if (click) s.addAttribute(kRLClickLinkBlockAttributesName, text::box(click), range);
    if (longPress) s.addAttribute(kRLLongPressBlockAttributesName, text::box(longPress), range);
    if (islink) {
        s.addAttribute(kRLIsLinkAttributesName, true, range);
        s.addAttribute(kRLLinkIdentifierAttributesName, randomIdentifier(), range);
        s.addAttribute(kRLLinkLengthAttributesName, static_cast<unsigned long>(range.length), range);
    } else {
        s.addAttribute(kRLIsLinkAttributesName, false, range);
        s.addAttribute(kRLLinkLengthAttributesName, 0, range);
    }
}

float metric(const core::Value& reference, std::string_view key) {
    const core::Value* v = reference.find(key);
    return v && v->isNumber() ? static_cast<float>(core::doubleValue(*v)) : 0.0f;
}

} // namespace

void RLLabelConfigure::addAttributes(const core::Value& value, std::string_view key) {
    if (value.isNull() || key.empty()) return;
    RLAttributes next = attributes.value_or(RLAttributes{});
    next.set(std::string(key), value);
    attributes = std::move(next);
}

void RLLabelConfigure::removeAttributesForKey(std::string_view key) {
    if (!attributes || key.empty()) return;
    attributes->erase(key);
}

void RLLabelConfigure::addActiveAttributes(const core::Value& value, std::string_view key) {
    if (value.isNull() || key.empty()) return;
    RLAttributes next = activeLinkAttributes.value_or(RLAttributes{});
    next.set(std::string(key), value);
    activeLinkAttributes = std::move(next);
}

void RLLabelConfigure::removeActiveLinkAttributesForKey(std::string_view key) {
    if (!activeLinkAttributes || key.empty()) return;
    activeLinkAttributes->erase(key);
}

AttributedString RLLabelConfigure::configureLinkAttributedString(
    const AttributedString& string, Range range, const std::optional<RLAttributes>& linkAttributes,
    const std::optional<RLAttributes>& activeLinkAttributes, const core::Value& parameter,
    const RLLinkBlock& clickLinkBlock, const RLLinkBlock& longPressBlock, bool islink) {
    AttributedString copy = string;
    if (range.end() > copy.length()) {
        core::log("RLLabelConfigure: range " + text::rangeToString(range) + " lies outside a text of length " +
                  std::to_string(copy.length()) + "; nothing configured");
        return copy;
    }
    stampLink(copy, range, linkAttributes, activeLinkAttributes, parameter, clickLinkBlock, longPressBlock, islink,
              true);
    return copy;
}

// Configures each range in turn, each on the previous result, so every range gets its own link
// identifier.
namespace {

AttributedString configureRanges(const AttributedString& string, const std::vector<Range>& ranges,
                                                   const std::optional<RLAttributes>& linkAttributes,
                                                   const std::optional<RLAttributes>& activeLinkAttributes,
                                                   const core::Value& parameter, const RLLinkBlock& clickLinkBlock,
                                                   const RLLinkBlock& longPressBlock, bool islink) {
    AttributedString result = string;
    for (Range r : ranges)
        result = RLLabelConfigure::configureLinkAttributedString(result, r, linkAttributes, activeLinkAttributes,
                                                                 parameter, clickLinkBlock, longPressBlock, islink);
    return result;
}

} // namespace

AttributedString RLLabelConfigure::configureLinkAttributedString(
    const AttributedString& string, const core::Value& image, gfx::Size imageSize, std::size_t index,
    std::int64_t verticalAlignment, const std::optional<RLAttributes>& linkAttributes,
    const std::optional<RLAttributes>& activeLinkAttributes, const core::Value& parameter,
    const RLLinkBlock& clickLinkBlock, const RLLinkBlock& longPressBlock, bool islink) {
    AttributedString copy = string;
    if (index > copy.length()) {
        core::log("RLLabelConfigure: insertion index " + std::to_string(index) + " lies outside a text of length " +
                  std::to_string(copy.length()) + "; nothing inserted");
        return copy;
    }
    core::Dictionary imageInfo{{std::string(kRLImage), image},
                               {std::string(kRLImageWidth), imageSize.width},
                               {std::string(kRLImageHeight), imageSize.height},
                               {std::string(kRLImageLineVerticalAlignment), static_cast<long long>(verticalAlignment)}};
    core::Value reference(imageInfo);
    // The box is as tall as the image above the baseline and as wide as it; the sizes are read
    // at single precision, as the box's metrics are.
    auto delegate = std::make_shared<const text::RunDelegate>(
        text::RunDelegate::Callbacks{[](const core::Value& r) { return double(metric(r, kRLImageHeight)); },
                                     [](const core::Value&) { return 0.0; },
                                     [](const core::Value& r) { return double(metric(r, kRLImageWidth)); }},
        reference);
    AttributedString placeholder(std::u16string(1, text::kObjectReplacementCharacter),
                                 {{std::string(text::kRunDelegateAttributeName), text::box(text::RunDelegatePtr(delegate))},
                                  {std::string(kRLImageAttributeName), reference}});
    stampLink(placeholder, {0, 1}, linkAttributes, activeLinkAttributes, parameter, clickLinkBlock, longPressBlock,
              islink, false);

    const core::Value* style = copy.empty() ? nullptr : copy.attributeAt(text::kParagraphStyleAttributeName, 0);
    if ((!style || style->isNull()) && linkAttributes) style = linkAttributes->find(text::kParagraphStyleAttributeName);
    core::Value chosen;
    if (style && !style->isNull()) {
        chosen = *style;
    } else {
        text::ParagraphStyle wrapping;
        wrapping.lineBreakMode = text::LineBreakMode::charWrap;
        chosen = text::box(wrapping);
    }
    copy.insert(placeholder, index);
    copy.addAttribute(text::kParagraphStyleAttributeName, chosen, {0, copy.length()});
    return copy;
}

AttributedString RLLabelConfigure::configureLinkAttributedString(
    const AttributedString& string, std::u16string_view withString, bool sameStringEnable,
    const std::optional<RLAttributes>& linkAttributes, const std::optional<RLAttributes>& activeLinkAttributes,
    const core::Value& parameter, const RLLinkBlock& clickLinkBlock, const RLLinkBlock& longPressBlock, bool islink) {
    std::vector<Range> ranges;
    if (sameStringEnable) {
        ranges = getLinkStringRangeArray(withString, string);
    } else if (Range first = getFirstRangeWithString(withString, string); first.location != text::kNotFound) {
        ranges.push_back(first);
    }
    return configureRanges(string, ranges, linkAttributes, activeLinkAttributes, parameter, clickLinkBlock,
                           longPressBlock, islink);
}

AttributedString RLLabelConfigure::configureLinkAttributedString(
    const AttributedString& string, const AttributedString& withAttString, bool sameStringEnable,
    const std::optional<RLAttributes>& linkAttributes, const std::optional<RLAttributes>& activeLinkAttributes,
    const core::Value& parameter, const RLLinkBlock& clickLinkBlock, const RLLinkBlock& longPressBlock, bool islink) {
    std::vector<Range> ranges;
    if (sameStringEnable) {
        ranges = getLinkAttStringRangeArray(withAttString, string);
    } else if (Range first = getFirstRangeWithAttString(withAttString, string); first.location != text::kNotFound) {
        ranges.push_back(first);
    }
    return configureRanges(string, ranges, linkAttributes, activeLinkAttributes, parameter, clickLinkBlock,
                           longPressBlock, islink);
}

AttributedString RLLabelConfigure::configureAttrString(const AttributedString& string, const std::string&,
                                                       const std::shared_ptr<RLLabelConfigure>& configure,
                                                       const std::vector<Range>& linkRangeAry) {
    if (!configure) return string;
    return configureRanges(string, linkRangeAry, configure->attributes, configure->activeLinkAttributes,
                           configure->parameter, configure->clickLinkBlock, configure->longPressBlock,
                           configure->isLink);
}

AttributedString RLLabelConfigure::linkAttStr(std::string_view text, const std::optional<RLAttributes>& attributes,
                                              const std::string& identifier) {
    AttributedString s(text, attributes.value_or(RLAttributes{}));
    s.addAttribute(kRLLinkStringIdentifierAttributesName, identifier, {0, s.length()});
    return s;
}

Range RLLabelConfigure::getFirstRangeWithString(std::u16string_view string, const AttributedString& inAttString) {
    return inAttString.find(string);
}

std::vector<Range> RLLabelConfigure::getLinkStringRangeArray(std::u16string_view string,
                                                             const AttributedString& inAttString) {
    std::vector<Range> ranges;
    return getRangeArrayWithString(string, inAttString.characters(), {0, 0}, ranges);
}

std::vector<Range>& RLLabelConfigure::getRangeArrayWithString(std::u16string_view string, std::u16string_view inString,
                                                              Range lastRange, std::vector<Range>& rangeArray) {
    // Left to right, without overlaps, until the first miss.
    while (!string.empty()) {
        std::size_t at = inString.find(string);
        if (at == std::u16string_view::npos) break;
        Range found{lastRange.location + lastRange.length + at, string.size()};
        rangeArray.push_back(found);
        inString = inString.substr(at + string.size());
        lastRange = found;
    }
    return rangeArray;
}

namespace {

const core::Value* identifierAt(const AttributedString& s, std::size_t index) {
    if (index >= s.length()) return nullptr;
    const core::Value* v = s.attributeAt(kRLLinkStringIdentifierAttributesName, index);
    return v && !v->isNull() ? v : nullptr;
}

} // namespace

Range RLLabelConfigure::getFirstRangeWithAttString(const AttributedString& attString,
                                                   const AttributedString& inAttString) {
    Range first = inAttString.find(attString.characters());
    if (first.location == text::kNotFound) return first;
    // Only the first textual occurrence is looked at.
    const core::Value* found = identifierAt(inAttString, first.location);
    const core::Value* wanted = identifierAt(attString, 0);
    if (found && wanted && *found == *wanted) return first;
    return {text::kNotFound, 0};
}

std::vector<Range> RLLabelConfigure::getLinkAttStringRangeArray(const AttributedString& attString,
                                                                const AttributedString& inAttString) {
    std::vector<Range> out;
    out.reserve(3);
    const core::Value* wanted = identifierAt(attString, 0);
    for (Range r : getLinkStringRangeArray(attString.characters(), inAttString)) {
        const core::Value* found = identifierAt(inAttString, r.location);
        if (found && wanted && *found == *wanted) out.push_back(r);
    }
    return out;
}
