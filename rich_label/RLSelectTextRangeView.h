#pragma once
// The highlight of a text selection in a rich label: the selected area in a translucent blue and
// the two pins, a knob above the start and one below the end, each on a thin stem.

#include "platform/ui/View.h"

#include <cmath>
#include <limits>

class RLSelectTextRangeView : public ui::View {
    QUILLORA_CLASS(RLSelectTextRangeView)

    using ui::View::View;
    void init() override;

    static constexpr gfx::Color kSelectionColor = gfx::Color::rgb(0, 84, 166, 0.2);
    static constexpr gfx::Color kPinColor = gfx::Color::rgb(0, 128, 255, 1);
    // The null rectangle: the middle of a selection over two adjacent lines.
    static gfx::Rect nullRect() {
        constexpr double inf = std::numeric_limits<double>::infinity();
        return {inf, inf, 0, 0};
    }
    static bool isNull(const gfx::Rect& r) { return std::isinf(r.x()) || std::isinf(r.y()); }

    bool differentLine() const { return differentLine_; }
    const gfx::Rect& headRect() const { return headRect_; }
    const gfx::Rect& middleRect() const { return middleRect_; }
    const gfx::Rect& tailRect() const { return tailRect_; }

    void updateFrame(const gfx::Rect& frame, const gfx::Rect& headRect, const gfx::Rect& middleRect,
                     const gfx::Rect& tailRect, bool differentLine);
    // One pin at the top of a stem from `point`, `height` tall: the knob above it (left) or below
    // the stem's end (right).
    static void updatePinLayer(gfx::Context& context, gfx::Point point, double height, bool isLeft);

    bool drawsContent() const override { return true; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    bool differentLine_ = false;
    gfx::Rect headRect_, middleRect_, tailRect_;
};
