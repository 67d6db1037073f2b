#pragma once
// Sizing helpers for plain labels that must hug their text: each measures the label's text in the
// label's font and grows the label downwards or to the right (through the frame accessors), or
// pushes a short text to the bottom of its lines. Margins: 20 points for alignTop and
// alignTopMin, 5 for the others. Main thread only.
#include "platform/ui/Label.h"

namespace kit {

// Height := text height (within the label's size) + 20.
void alignTop(ui::Label& label);
// When the text height (within the label's width) + 20 is below `minimum`, nothing changes and
// the minimum is returned; else the height becomes that and is returned.
double alignTopMin(ui::Label& label, double minimum);
// When the text height (within the label's width and `maximum`) + 5 is above `maximum`, nothing
// changes and the maximum is returned; else the height becomes that and is returned.
double alignTopMax(ui::Label& label, double maximum);
// Height := min(text height + 5, maximum), returned. A plain label's attributed text is its text
// in its font, so this measures like alignTopMax.
double alignTopMaxAtt(ui::Label& label, double maximum);
// Width := text width (within 10000 x the label's height) + 5, returned.
double alignLeft(ui::Label& label);
// Width := min(text width + 5, maximum), returned.
double alignLeft(ui::Label& label, double maximum);
// Width := max(text width + 5, minimum), returned.
double alignLeftMin(ui::Label& label, double minimum);
// Puts as many " \n" in front of the text as whole empty lines remain below it within the
// label's numberOfLines (none for numberOfLines 0).
void alignBottom(ui::Label& label);

} // namespace kit
