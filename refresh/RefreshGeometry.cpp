#include "refresh/RefreshGeometry.h"

namespace refresh {

double rf_x(const ui::View& v) { return v.frame().x(); }
void setRf_x(ui::View& v, double x) { auto f = v.frame(); f.origin.x = x; v.setFrame(f); }
double rf_y(const ui::View& v) { return v.frame().y(); }
void setRf_y(ui::View& v, double y) { auto f = v.frame(); f.origin.y = y; v.setFrame(f); }
double rf_w(const ui::View& v) { return v.frame().width(); }
void setRf_w(ui::View& v, double w) { auto f = v.frame(); f.size.width = w; v.setFrame(f); }
double rf_h(const ui::View& v) { return v.frame().height(); }
void setRf_h(ui::View& v, double h) { auto f = v.frame(); f.size.height = h; v.setFrame(f); }
gfx::Size rf_size(const ui::View& v) { return v.frame().size; }
void setRf_size(ui::View& v, gfx::Size s) { auto f = v.frame(); f.size = s; v.setFrame(f); }
gfx::Point rf_origin(const ui::View& v) { return v.frame().origin; }
void setRf_origin(ui::View& v, gfx::Point o) { auto f = v.frame(); f.origin = o; v.setFrame(f); }

gfx::EdgeInsets rf_inset(const ui::ScrollView& s) { return s.adjustedContentInset(); }

namespace {

// The system's share of an inset member is what the adjusted inset adds to the scroll view's own.
template <class Member>
void setEffectiveInset(ui::ScrollView& s, double value, Member member) {
    gfx::EdgeInsets own = s.contentInset();
    gfx::EdgeInsets adjusted = s.adjustedContentInset();
    own.*member = value - (adjusted.*member - own.*member);
    s.setContentInset(own);
}

} // namespace

double rf_insetT(const ui::ScrollView& s) { return rf_inset(s).top; }
void setRf_insetT(ui::ScrollView& s, double v) { setEffectiveInset(s, v, &gfx::EdgeInsets::top); }
double rf_insetB(const ui::ScrollView& s) { return rf_inset(s).bottom; }
void setRf_insetB(ui::ScrollView& s, double v) { setEffectiveInset(s, v, &gfx::EdgeInsets::bottom); }
double rf_insetL(const ui::ScrollView& s) { return rf_inset(s).left; }
void setRf_insetL(ui::ScrollView& s, double v) { setEffectiveInset(s, v, &gfx::EdgeInsets::left); }
double rf_insetR(const ui::ScrollView& s) { return rf_inset(s).right; }
void setRf_insetR(ui::ScrollView& s, double v) { setEffectiveInset(s, v, &gfx::EdgeInsets::right); }

double rf_offsetX(const ui::ScrollView& s) { return s.contentOffset().x; }
void setRf_offsetX(ui::ScrollView& s, double x) { s.setContentOffset({x, s.contentOffset().y}); }
double rf_offsetY(const ui::ScrollView& s) { return s.contentOffset().y; }
void setRf_offsetY(ui::ScrollView& s, double y) { s.setContentOffset({s.contentOffset().x, y}); }
double rf_contentW(const ui::ScrollView& s) { return s.contentSize().width; }
void setRf_contentW(ui::ScrollView& s, double w) { s.setContentSize({w, s.contentSize().height}); }
double rf_contentH(const ui::ScrollView& s) { return s.contentSize().height; }
void setRf_contentH(ui::ScrollView& s, double h) { s.setContentSize({s.contentSize().width, h}); }

} // namespace refresh
