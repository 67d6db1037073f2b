#pragma once
// Shorthands for the geometry the refresh controls read and write: one member of a view's frame,
// and a scroll view's effective insets, offset and content size. The inset setters write the
// scroll view's own inset so that the effective (adjusted) inset becomes the value given.

#include "platform/ui/ScrollView.h"

namespace refresh {

// Views: each reads the frame and writes it back with one member replaced.
double rf_x(const ui::View& view);
void setRf_x(ui::View& view, double x);
double rf_y(const ui::View& view);
void setRf_y(ui::View& view, double y);
double rf_w(const ui::View& view);
void setRf_w(ui::View& view, double w);
double rf_h(const ui::View& view);
void setRf_h(ui::View& view, double h);
gfx::Size rf_size(const ui::View& view);
void setRf_size(ui::View& view, gfx::Size size);
gfx::Point rf_origin(const ui::View& view);
void setRf_origin(ui::View& view, gfx::Point origin);

// Scroll views.
gfx::EdgeInsets rf_inset(const ui::ScrollView& scrollView);
double rf_insetT(const ui::ScrollView& scrollView);
void setRf_insetT(ui::ScrollView& scrollView, double top);
double rf_insetB(const ui::ScrollView& scrollView);
void setRf_insetB(ui::ScrollView& scrollView, double bottom);
double rf_insetL(const ui::ScrollView& scrollView);
void setRf_insetL(ui::ScrollView& scrollView, double left);
double rf_insetR(const ui::ScrollView& scrollView);
void setRf_insetR(ui::ScrollView& scrollView, double right);
double rf_offsetX(const ui::ScrollView& scrollView);
void setRf_offsetX(ui::ScrollView& scrollView, double x);
double rf_offsetY(const ui::ScrollView& scrollView);
void setRf_offsetY(ui::ScrollView& scrollView, double y);
double rf_contentW(const ui::ScrollView& scrollView);
void setRf_contentW(ui::ScrollView& scrollView, double w);
double rf_contentH(const ui::ScrollView& scrollView);
void setRf_contentH(ui::ScrollView& scrollView, double h);

} // namespace refresh
