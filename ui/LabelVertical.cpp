#include "ui/LabelVertical.h"

#include "platform/gfx/TextLayout.h"
#include "ui/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace kit {
namespace {

// The bounding size of the label's text in its font, wrapped at `width` and cut to the lines that
// fit in `height` (no value: unlimited).
gfx::Size measure(const ui::Label& label, std::optional<double> width, std::optional<double> height) {
    gfx::TextLayout layout;
    layout.setText(label.text());
    layout.setFont(label.font());
    layout.setLineBreak(gfx::TextLayout::LineBreak::wordWrap);
    layout.setMaximumLines(0);
    layout.setWidth(width);
    layout.setHeight(height);
    return layout.size();
}

} // namespace

void alignTop(ui::Label& label) {
    setHeight(label, measure(label, width(label), height(label)).height + 20);
}

double alignTopMin(ui::Label& label, double minimum) {
    double h = measure(label, width(label), std::nullopt).height + 20;
    if (h < minimum) return minimum;
    setHeight(label, h);
    return h;
}

double alignTopMax(ui::Label& label, double maximum) {
    double h = measure(label, width(label), maximum).height + 5;
    if (h > maximum) return maximum;
    setHeight(label, h);
    return h;
}

double alignTopMaxAtt(ui::Label& label, double maximum) {
    double h = std::min(measure(label, width(label), maximum).height + 5, maximum);
    setHeight(label, h);
    return h;
}

double alignLeft(ui::Label& label) {
    double w = measure(label, 10000, height(label)).width + 5;
    setWidth(label, w);
    return w;
}

double alignLeft(ui::Label& label, double maximum) {
    double w = std::min(measure(label, std::nullopt, height(label)).width + 5, maximum);
    setWidth(label, w);
    return w;
}

double alignLeftMin(ui::Label& label, double minimum) {
    double w = std::max(measure(label, std::nullopt, height(label)).width + 5, minimum);
    setWidth(label, w);
    return w;
}

void alignBottom(ui::Label& label) {
    double lineHeight = measure(label, std::nullopt, std::nullopt).height;
    if (lineHeight <= 0) return; // an empty text has no line to count by
    double box = lineHeight * label.numberOfLines();
    double text = measure(label, width(label), box).height;
    // A hair of slack: rounding in the measures must not cost a whole line (3h - h over h is 2).
    auto n = static_cast<long>(std::trunc((box - text) / lineHeight + 1e-9));
    std::string pushed = label.text();
    for (long i = 0; i < n; ++i) pushed = " \n" + pushed;
    if (n > 0) label.setText(pushed);
}

} // namespace kit
