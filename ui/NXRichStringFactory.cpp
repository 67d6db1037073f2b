#include "ui/NXRichStringFactory.h"

#include "platform/core/TextConversions.h"
#include "platform/core/Utf16.h"
#include "platform/gfx/Font.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/BoxedValue.h"
#include "ui/TextPieces.h"
#include "ui/c.h"

#include <algorithm>

namespace kit {
namespace {
// One colour part from two UTF-16 units of the colour text, by the shared digit rule. Texts that
// are not hexadecimal digits still give a value; it is kept within a colour part's range.
double colourPart(const std::u16string& digits, std::size_t at) {
    auto value = static_cast<double>(c::hexToInt(core::utf16::toUtf8(digits.substr(at, 2)))) / 255.0;
    return std::clamp(value, 0.0, 1.0);
}

std::optional<gfx::Color> colourOf(const std::map<std::string, std::string>& fields) {
    auto found = fields.find("c");
    if (found == fields.end()) return std::nullopt;
    auto digits = core::utf16::fromUtf8(found->second);
    if (digits.size() != 6) return std::nullopt;
    return gfx::Color{colourPart(digits, 0), colourPart(digits, 2), colourPart(digits, 4), 1};
}

} // namespace

text::AttributedString NXRichStringFactory::richString(std::string_view markup, bool plain, bool baseline,
                                                       double defaultSize) {
    text::AttributedString result;
    if (plain) {
        // Plain text is one segment in the default size, shown exactly as given.
        result.append(text::AttributedString(markup));
        attributedString({}, result, baseline, defaultSize);
        return result;
    }
    auto pieces = cutText(markup, "##");
    for (std::size_t i = 1; i < pieces.size(); ++i) result.append(segmentString(pieces[i], baseline, defaultSize));
    return result;
}

text::AttributedString NXRichStringFactory::segmentString(std::string_view segment, bool baseline, double defaultSize) {
    text::AttributedString result;
    std::map<std::string, std::string> fields;
    for (auto field : cutText(segment, ",&,")) {
        auto parts = cutText(field, ":&:");
        if (parts.size() < 2) continue;
        fields[std::string(parts[0])] = std::string(parts[1]);
    }
    attributedString(fields, result, baseline, defaultSize);
    return result;
}

void NXRichStringFactory::attributedString(const std::map<std::string, std::string>& fields,
                                           text::AttributedString& target, bool baseline, double defaultSize) {
    auto colour = colourOf(fields);

    double size = defaultSize;
    if (auto f = fields.find("f"); f != fields.end()) {
        double read = core::doubleValue(f->second);
        if (read >= 1) size = read;
    }
    double offset = 0;
    if (auto fo = fields.find("fo"); fo != fields.end()) offset = core::doubleValue(fo->second);

    if (auto v = fields.find("v"); v != fields.end()) target.append(text::AttributedString(replaceAll(v->second, "：：", ":")));

    double u = c::unit();
    text::Attributes attributes;
    if (baseline) attributes.set(std::string(kBaselineOffsetAttributeName), core::Value((2 * defaultSize - size - offset) * u));
    attributes.set(std::string(text::kFontAttributeName), text::box(gfx::Font::systemFont(size * u)));
    if (colour) attributes.set(std::string(text::kForegroundColorAttributeName), text::box(*colour));
    target.setAttributes(attributes, {0, target.length()});
}

} // namespace kit
