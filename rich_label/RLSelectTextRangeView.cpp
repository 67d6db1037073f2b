#include "rich_label/RLSelectTextRangeView.h"

#include <cmath>

void RLSelectTextRangeView::init() {
    ui::View::init();
    setBackgroundColor(gfx::Color::clear());
    setUserInteractionEnabled(false);
    headRect_ = middleRect_ = tailRect_ = nullRect();
}

void RLSelectTextRangeView::updateFrame(const gfx::Rect& frame, const gfx::Rect& headRect, const gfx::Rect& middleRect,
                                        const gfx::Rect& tailRect, bool differentLine) {
    differentLine_ = differentLine;
    setFrame(frame);
    headRect_ = headRect;
    middleRect_ = middleRect;
    tailRect_ = tailRect;
    setNeedsDisplay();
}

void RLSelectTextRangeView::updatePinLayer(gfx::Context& context, gfx::Point point, double height, bool isLeft) {
    context.setFillColor(kPinColor);
    double top = isLeft ? point.y - 10 : point.y + height;
    context.fillPath(gfx::Path::ellipse({point.x - 5, top, 10, 10}));
    gfx::Path stem;
    stem.moveTo(point);
    stem.lineTo({point.x, point.y + height});
    context.setStrokeColor(kPinColor);
    context.setLineWidth(2);
    context.strokePath(stem);
}

void RLSelectTextRangeView::drawRect(gfx::Context& context, const gfx::Rect&) {
    context.setFillColor(kSelectionColor);
    if (!differentLine_) {
        if (isNull(middleRect_)) return;
        context.fillRect(middleRect_);
        updatePinLayer(context, middleRect_.origin, middleRect_.height(), true);
        updatePinLayer(context, {middleRect_.maxX(), middleRect_.minY()}, middleRect_.height(), false);
        return;
    }
    gfx::Path area = gfx::Path::rect(headRect_);
    if (!isNull(middleRect_)) area.append(gfx::Path::rect(middleRect_));
    area.append(gfx::Path::rect(tailRect_));
    context.fillPath(area);
    updatePinLayer(context, headRect_.origin, headRect_.height(), true);
    updatePinLayer(context, {tailRect_.maxX(), tailRect_.minY()}, tailRect_.height(), false);
}
