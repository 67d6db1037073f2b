#pragma once
// The attribute keys the text layer itself reads. Values are boxed (BoxedValue.h):
//   kFontAttributeName             gfx::Font
//   kForegroundColorAttributeName  gfx::Color
//   kParagraphStyleAttributeName   text::ParagraphStyle
//   kRunDelegateAttributeName      text::RunDelegatePtr
// kLinkAttributeName holds any value (a link target); the layer only splits runs at it. Any
// other key is carried along invisibly and also splits runs where its value changes.

#include <string_view>

namespace text {

inline constexpr std::string_view kFontAttributeName = "Font";
inline constexpr std::string_view kForegroundColorAttributeName = "ForegroundColor";
inline constexpr std::string_view kParagraphStyleAttributeName = "ParagraphStyle";
inline constexpr std::string_view kRunDelegateAttributeName = "RunDelegate";
inline constexpr std::string_view kLinkAttributeName = "Link";

// The character that stands for an inserted object. Without a run delegate it takes no space
// and draws nothing.
inline constexpr char16_t kObjectReplacementCharacter = u'\uFFFC';

} // namespace text
