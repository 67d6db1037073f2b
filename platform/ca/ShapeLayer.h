#pragma once
// A layer that draws a path: filled (black unless told otherwise, nothing when the fill colour is
// absent) and stroked (only when a stroke colour is set). strokeStart and strokeEnd trim the
// stroke to that part of the path's length; the fill always covers the whole path.

#include "platform/ca/Layer.h"

namespace ca {

class ShapeLayer : public Layer {
    QUILLORA_CLASS(ShapeLayer)

    enum class LineCap { butt, round, square };
    enum class LineJoin { miter, round, bevel };
    enum class FillRule { nonZero, evenOdd };

    static std::shared_ptr<ShapeLayer> make() { return core::make<ShapeLayer>(); }

    const gfx::Path& path() const { return model_.path; }
    void setPath(gfx::Path p) { model_.path = std::move(p); changed(); }
    std::optional<gfx::Color> fillColor() const { return model_.fillColor; }
    void setFillColor(std::optional<gfx::Color> c) { model_.fillColor = c; changed(); }
    std::optional<gfx::Color> strokeColor() const { return model_.strokeColor; }
    void setStrokeColor(std::optional<gfx::Color> c) { model_.strokeColor = c; changed(); }
    double lineWidth() const { return model_.lineWidth; }
    void setLineWidth(double w) { model_.lineWidth = w; changed(); }
    double strokeStart() const { return model_.strokeStart; }
    void setStrokeStart(double s) { model_.strokeStart = s; changed(); }
    double strokeEnd() const { return model_.strokeEnd; }
    void setStrokeEnd(double e) { model_.strokeEnd = e; changed(); }
    LineCap lineCap() const { return lineCap_; }
    void setLineCap(LineCap c) { lineCap_ = c; changed(); }
    LineJoin lineJoin() const { return lineJoin_; }
    void setLineJoin(LineJoin j) { lineJoin_ = j; changed(); }
    FillRule fillRule() const { return fillRule_; }
    void setFillRule(FillRule r) { fillRule_ = r; changed(); }

private:
    LineCap lineCap_ = LineCap::butt;
    LineJoin lineJoin_ = LineJoin::miter;
    FillRule fillRule_ = FillRule::nonZero;
};

} // namespace ca
