#pragma once
// The settings of one link or decorated range of a rich label, and the class-level operations
// that stamp the label's keys (RLLabelKeys.h) onto copies of attributed strings: over a range,
// over the first or every occurrence of a text, or on a one-character placeholder (U+FFFC with a
// run delegate) that stands for an inserted image or view.
//
// A null core::Value and an absent one are treated alike everywhere. Inputs are never changed.

#include "platform/core/Object.h"
#include "platform/core/Value.h"
#include "platform/gfx/Size.h"
#include "platform/text/AttributedString.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class RLLabelLinkModel;  // what a tapped or long-pressed link reports
using RLLinkBlock = std::function<void(const std::shared_ptr<RLLabelLinkModel>&)>;
using RLAttributes = text::Attributes;

class RLLabelConfigure : public core::Object {
    QUILLORA_CLASS(RLLabelConfigure)

    std::optional<RLAttributes> attributes;
    bool isLink = false;
    std::optional<RLAttributes> activeLinkAttributes;
    core::Value parameter;
    RLLinkBlock clickLinkBlock;
    RLLinkBlock longPressBlock;

    // Sets one entry of `attributes` (or removes it); nothing happens for a null value or an
    // empty key.
    void addAttributes(const core::Value& value, std::string_view key);
    void removeAttributesForKey(std::string_view key);
    void addActiveAttributes(const core::Value& value, std::string_view key);
    void removeActiveLinkAttributesForKey(std::string_view key);

    // Range configuration.
    static text::AttributedString configureLinkAttributedString(
        const text::AttributedString& string, text::Range range, const std::optional<RLAttributes>& linkAttributes,
        const std::optional<RLAttributes>& activeLinkAttributes, const core::Value& parameter,
        const RLLinkBlock& clickLinkBlock, const RLLinkBlock& longPressBlock, bool islink);
    // An image or view placeholder inserted at `index` (0 to the length; outside it the copy is
    // returned unchanged and the refusal logged). `image` is a boxed gfx::ImagePtr, an image
    // name, or a view.
    static text::AttributedString configureLinkAttributedString(
        const text::AttributedString& string, const core::Value& image, gfx::Size imageSize, std::size_t index,
        std::int64_t verticalAlignment, const std::optional<RLAttributes>& linkAttributes,
        const std::optional<RLAttributes>& activeLinkAttributes, const core::Value& parameter,
        const RLLinkBlock& clickLinkBlock, const RLLinkBlock& longPressBlock, bool islink);
    // The first or every occurrence of a text.
    static text::AttributedString configureLinkAttributedString(
        const text::AttributedString& string, std::u16string_view withString, bool sameStringEnable,
        const std::optional<RLAttributes>& linkAttributes, const std::optional<RLAttributes>& activeLinkAttributes,
        const core::Value& parameter, const RLLinkBlock& clickLinkBlock, const RLLinkBlock& longPressBlock,
        bool islink);
    // The first or every occurrence of an attributed pattern, matched by text and identifier.
    static text::AttributedString configureLinkAttributedString(
        const text::AttributedString& string, const text::AttributedString& withAttString, bool sameStringEnable,
        const std::optional<RLAttributes>& linkAttributes, const std::optional<RLAttributes>& activeLinkAttributes,
        const core::Value& parameter, const RLLinkBlock& clickLinkBlock, const RLLinkBlock& longPressBlock,
        bool islink);
    static text::AttributedString configureAttrString(const text::AttributedString& string,
                                                      const std::string& strIdentifier,
                                                      const std::shared_ptr<RLLabelConfigure>& configure,
                                                      const std::vector<text::Range>& linkRangeAry);

    static text::AttributedString linkAttStr(std::string_view text, const std::optional<RLAttributes>& attributes,
                                             const std::string& identifier);

    static text::Range getFirstRangeWithString(std::u16string_view string, const text::AttributedString& inAttString);
    static std::vector<text::Range> getLinkStringRangeArray(std::u16string_view string,
                                                            const text::AttributedString& inAttString);
    static text::Range getFirstRangeWithAttString(const text::AttributedString& attString,
                                                  const text::AttributedString& inAttString);
    static std::vector<text::Range> getLinkAttStringRangeArray(const text::AttributedString& attString,
                                                               const text::AttributedString& inAttString);
    static std::vector<text::Range>& getRangeArrayWithString(std::u16string_view string, std::u16string_view inString,
                                                             text::Range lastRange,
                                                             std::vector<text::Range>& rangeArray);
};
