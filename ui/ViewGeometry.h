#pragma once
// Frame accessors for every view, in its superview's coordinates: the layout code of the pages
// reads and moves views with these. Each setter rewrites one part of the frame (or of the centre)
// and keeps the rest.
#include "platform/gfx/Rect.h"
#include "platform/ui/View.h"

namespace kit {

inline double x(const ui::View& v) { return v.frame().origin.x; }
inline double y(const ui::View& v) { return v.frame().origin.y; }
inline double width(const ui::View& v) { return v.frame().size.width; }
inline double height(const ui::View& v) { return v.frame().size.height; }
inline double centerX(const ui::View& v) { return v.center().x; }
inline double centerY(const ui::View& v) { return v.center().y; }
inline gfx::Size size(const ui::View& v) { return v.frame().size; }
inline gfx::Point origin(const ui::View& v) { return v.frame().origin; }

void setX(ui::View& v, double value);
void setY(ui::View& v, double value);
void setWidth(ui::View& v, double value);
void setHeight(ui::View& v, double value);
void setCenterX(ui::View& v, double value);
void setCenterY(ui::View& v, double value);
void setSize(ui::View& v, gfx::Size value);
void setOrigin(ui::View& v, gfx::Point value);

} // namespace kit
