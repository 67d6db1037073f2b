#pragma once
// Turns the app's small text markup into attributed text: a run of segments, each with its own
// text, colour, font size and, optionally, baseline offset.
//
// A markup text is cut at every "##"; the piece before the first one is ignored and every piece
// after one is a segment. A segment is cut at ",&," into fields, and a field at ":&:" into a key
// (before the first ":&:") and a value (up to the second one). Keys: "v" the text, in which every
// "：：" (two full-width colons) stands for ":"; "c" six hexadecimal digits of red, green and blue;
// "f" the font size and "fo" the baseline offset, both in design pixels of a 1080-wide screen.
// Malformed markup yields less text, never an error. Pure functions; they read only the window's
// short side for the layout unit, so they belong on the main thread like the views that use them.
#include "platform/text/AttributedString.h"

#include <map>
#include <string>
#include <string_view>

namespace kit {

// The key under which a segment's baseline offset is stored. The text layout layer carries it
// along without applying it; no caller asks for an offset today.
inline constexpr std::string_view kBaselineOffsetAttributeName = "BaselineOffset";

class NXRichStringFactory {
public:
    // The whole markup as attributed text. With `plain` set the markup is shown as it stands, as
    // one segment in the default size; `baseline` turns on the baseline offsets; `defaultSize` is
    // the size in design pixels of segments without a usable "f".
    static text::AttributedString richString(std::string_view markup, bool plain, bool baseline, double defaultSize);
    // One segment (the text between two "##") as attributed text.
    static text::AttributedString segmentString(std::string_view segment, bool baseline, double defaultSize);
    // Appends the text of one segment's fields to `target` and sets the segment's attributes on
    // the whole of `target`, replacing any it had.
    static void attributedString(const std::map<std::string, std::string>& fields, text::AttributedString& target,
                                 bool baseline, double defaultSize);
};

} // namespace kit
