#pragma once
// The height a row's text takes in the rich label at a width, with no line limit. The labels
// that draw the question and answer texts lay them out the same way, so a row sized by this
// never cuts a line off. Main thread only.
#include "platform/text/AttributedString.h"

namespace kit {

double rowTextHeight(const text::AttributedString& string, double width);

} // namespace kit
