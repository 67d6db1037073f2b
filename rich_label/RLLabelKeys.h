#pragma once
// The rich label's attribute vocabulary. Every key's text is its own name. The label's keys are
// invisible to the text layer but split glyph runs wherever their values change.

#include <string>
#include <string_view>

inline constexpr std::string_view kRLLinkAttributesName = "kRLLinkAttributesName";
inline constexpr std::string_view kRLActiveLinkAttributesName = "kRLActiveLinkAttributesName";
inline constexpr std::string_view kRLIsLinkAttributesName = "kRLIsLinkAttributesName";
inline constexpr std::string_view kRLLinkIdentifierAttributesName = "kRLLinkIdentifierAttributesName";
inline constexpr std::string_view kRLLinkLengthAttributesName = "kRLLinkLengthAttributesName";
inline constexpr std::string_view kRLLinkRangeAttributesName = "kRLLinkRangeAttributesName";
inline constexpr std::string_view kRLLinkParameterAttributesName = "kRLLinkParameterAttributesName";
inline constexpr std::string_view kRLClickLinkBlockAttributesName = "kRLClickLinkBlockAttributesName";
inline constexpr std::string_view kRLLongPressBlockAttributesName = "kRLLongPressBlockAttributesName";
inline constexpr std::string_view kRLLinkNeedRedrawnAttributesName = "kRLLinkNeedRedrawnAttributesName";
inline constexpr std::string_view kRLImageAttributeName = "kRLImageAttributeName";
inline constexpr std::string_view kRLImage = "kRLImage";
inline constexpr std::string_view kRLImageWidth = "kRLImageWidth";
inline constexpr std::string_view kRLImageHeight = "kRLImageHeight";
inline constexpr std::string_view kRLImageLineVerticalAlignment = "kRLImageLineVerticalAlignment";
inline constexpr std::string_view kRLLinkStringIdentifierAttributesName = "kRLLinkStringIdentifierAttributesName";
inline constexpr std::string_view kRLBackgroundFillColor = "kRLBackgroundFillColor";
inline constexpr std::string_view kRLBackgroundStrokeColor = "kRLBackgroundStrokeColor";
inline constexpr std::string_view kRLBackgroundLineWidth = "kRLBackgroundLineWidth";
inline constexpr std::string_view kRLBackgroundLineCornerRadius = "kRLBackgroundLineCornerRadius";
inline constexpr std::string_view kRLActiveBackgroundFillColor = "kRLActiveBackgroundFillColor";
inline constexpr std::string_view kRLActiveBackgroundStrokeColor = "kRLActiveBackgroundStrokeColor";
inline constexpr std::string_view kRLStrikethroughStyleAttributeName = "kRLStrikethroughStyleAttributeName";
inline constexpr std::string_view kRLStrikethroughColorAttributeName = "kRLStrikethroughColorAttributeName";

// View tags are the hash of these names (RLTagForName).
inline constexpr std::string_view kRLInsertViewTag = "kRLInsertViewTag";
inline constexpr std::string_view kRLInsertBackViewTag = "kRLInsertBackViewTag";

long RLTagForName(std::string_view name);
