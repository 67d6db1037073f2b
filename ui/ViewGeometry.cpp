#include "ui/ViewGeometry.h"

namespace kit {

void setX(ui::View& v, double value) {
    auto f = v.frame();
    f.origin.x = value;
    v.setFrame(f);
}

void setY(ui::View& v, double value) {
    auto f = v.frame();
    f.origin.y = value;
    v.setFrame(f);
}

void setWidth(ui::View& v, double value) {
    auto f = v.frame();
    f.size.width = value;
    v.setFrame(f);
}

void setHeight(ui::View& v, double value) {
    auto f = v.frame();
    f.size.height = value;
    v.setFrame(f);
}

void setCenterX(ui::View& v, double value) { v.setCenter({value, v.center().y}); }
void setCenterY(ui::View& v, double value) { v.setCenter({v.center().x, value}); }

void setSize(ui::View& v, gfx::Size value) {
    auto f = v.frame();
    f.size = value;
    v.setFrame(f);
}

void setOrigin(ui::View& v, gfx::Point value) {
    auto f = v.frame();
    f.origin = value;
    v.setFrame(f);
}

} // namespace kit
